#include "printer/output/file_output_layout.h"

#include "printer/output/printer_setup.h"

namespace zemprint {

QPageLayout filePageLayout(const TPrinterSetup& setup)
{
    const auto& mode = setup.deviceMode();
    const QPageSize size = mode.pageSize.isValid() ? mode.pageSize : defaultFilePageSize();
    const auto orientation =
        mode.orientation.value_or(kPortrait) == kLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0));
}

int fileResolution(const TPrinterSetup& setup, int fallback)
{
    const int quality = setup.deviceMode().printQuality.value_or(0);
    return quality > 0 ? quality : fallback;
}

}  // namespace zemprint
