#include "printer/settings/measurement.h"

#include <gtest/gtest.h>

#include "printer/base/errors.h"

namespace zemprint {
namespace {

TEST(Measurement, ConvertsToTenthsOfMillimetres)
{
    struct Case {
        const char* text;
        char separator;
        int tenths;
    };
    const Case
        cases
            [] =
                {
                    {"0 mm", '.', 0},     {"1 cm", '.', 100},    {"1\"", '.', 254},
                    {"12.5", '.', 125},   {" 3MM ", '.', 30},    {"2 Cm", '.', 200},
                    {"0.5 \"", '.', 127}, {"12,5 mm", ',', 125}, {"0.25", '.', 2},  // ties go to the even neighbour
                    {"0.35", '.', 4},     {"7", '.', 70},
                };
    for (const auto& c : cases) EXPECT_EQ(parseMeasurement(c.text, c.separator), c.tenths) << c.text;
}

TEST(Measurement, RejectsUnknownUnitsAndBadNumbers)
{
    struct Case {
        const char* text;
        char separator;
        const char* message;
    };
    const Case cases[] = {
        {"1 in", '.', "Illegal unit \"in\""},       {"5 pt", '.', "Illegal unit \"pt\""},
        {"12,5 mm", '.', "Illegal unit \",5 mm\""},  // a comma is no separator here
        {"mm", '.', "Illegal value \"\""},          {"1.2.3 mm", '.', "Illegal value \"1.2.3\""},
        {"-5 mm", '.', "Illegal unit \"-5 mm\""},   {"", '.', "Illegal value \"\""},
    };
    for (const auto& c : cases) {
        try {
            parseMeasurement(c.text, c.separator);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const EZEMPrint& error) {
            EXPECT_STREQ(error.what(), c.message) << c.text;
        }
    }
}

}  // namespace
}  // namespace zemprint
