// Page layout shared by the file outputs: the set-up's paper and orientation,
// the whole page printable.
#pragma once

#include <QPageLayout>

namespace zemprint {

class TPrinterSetup;

inline constexpr double kMmPerInch = 25.4;

QPageLayout filePageLayout(const TPrinterSetup& setup);
// The set-up's print quality when it is a resolution, else fallback.
int fileResolution(const TPrinterSetup& setup, int fallback);

}  // namespace zemprint
