#include "printer/settings/measurement.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <strings.h>

#include "printer/base/errors.h"

namespace zemprint {

namespace {

std::string trim(const std::string& text)
{
    const char* spaces = " \t\r\n";
    const auto first = text.find_first_not_of(spaces);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(spaces) - first + 1);
}

// Converts the number text; the separator is the only non-digit it may hold, once.
bool toNumber(const std::string& text, char separator, double& result)
{
    if (text.empty()) return false;
    std::string plain;
    int separators = 0;
    for (char c : text) {
        if (c == separator) {
            ++separators;
            plain += '.';
        } else {
            plain += c;
        }
    }
    if (separators > 1 || plain == ".") return false;
    const auto [rest, error] = std::from_chars(plain.data(), plain.data() + plain.size(), result);
    return error == std::errc() && rest == plain.data() + plain.size();
}
}  // namespace

int parseMeasurement(const std::string& text, char decimalSeparator)
{
    const std::string t = trim(text);
    std::size_t end = 0;
    while (end < t.size() && (std::isdigit(static_cast<unsigned char>(t[end])) || t[end] == decimalSeparator)) ++end;
    const std::string number = t.substr(0, end);
    const std::string unit = trim(t.substr(end));

    int factor = 0;
    if (unit.empty() || strcasecmp(unit.c_str(), "mm") == 0)
        factor = kTenthsPerMm;
    else if (strcasecmp(unit.c_str(), "cm") == 0)
        factor = kTenthsPerCm;
    else if (unit == "\"")
        factor = kTenthsPerInch;
    else
        throw EZEMPrint(formatMessage("Illegal unit \"%s\"", unit.c_str()));

    double value = 0.0;
    if (!toNumber(number, decimalSeparator, value))
        throw EZEMPrint(formatMessage("Illegal value \"%s\"", number.c_str()));
    const double tenths = std::nearbyint(value * factor);  // ties to even
    if (!(std::fabs(tenths) <= 2147483647.0)) throw EZEMPrint(formatMessage("Illegal value \"%s\"", number.c_str()));
    return static_cast<int>(tenths);
}

}  // namespace zemprint
