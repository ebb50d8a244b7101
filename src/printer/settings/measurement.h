// Letterhead offsets are typed as measurements such as "12.5 mm", "1 cm" or 1".
#pragma once

#include <string>

namespace zemprint {

// Tenths of a millimetre per unit.
inline constexpr int kTenthsPerMm = 10;
inline constexpr int kTenthsPerCm = 100;
inline constexpr int kTenthsPerInch = 254;

// Parses a measurement into tenths of a millimetre. The number is the leading
// run of digits and decimal separators; a missing unit means millimetres.
// Throws EZEMPrint "Illegal unit \"%s\"" or "Illegal value \"%s\"".
int parseMeasurement(const std::string& text, char decimalSeparator);

}  // namespace zemprint
