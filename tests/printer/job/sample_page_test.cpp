#include "printer/job/sample_page.h"

#include <gtest/gtest.h>

#include <string>

namespace zemprint {
namespace {

// The page as listed: title, settings, then each typeface's two alphabets.
TEST(SamplePage, IsTheListedByteString)
{
    const std::string esc = "\x1b";
    std::string expected = esc + "@" + esc + "k\x0a" + esc + "X\x01\x40" + std::string(1, '\0') + esc + "(V\x02" +
                           std::string(1, '\0') + "\x40" + std::string(1, '\0') + esc + "$\x78" + std::string(1, '\0') +
                           "ZEMPrint sample page\r";
    expected += esc + "k" + std::string(1, '\0') + esc + "!" + std::string(1, '\0') + esc + "D\x16" +
                std::string(1, '\0') + esc + "w1" + esc + "W1" + esc + "(V\x02" + std::string(1, '\0') + "\x30\x01" +
                esc + "+\x80";
    const char* names[] = {"Roman", "Sans Serif", "Courier",  "Prestige", "Script",  "OCR-B",
                           "OCR-A", "Orator",     "Orator-S", "Script-C", "Roman T", "Sans Serif H"};
    for (int t = 0; t < 12; ++t) {
        if (t > 0) expected += esc + "k" + std::string(1, static_cast<char>(t));
        if (t == 10) expected += esc + "p1";
        expected += std::string(names[t]) + "\tABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n\tabcdefghijklmnopqrstuvwxyz";
        expected += t == 0 ? "\r\n" : "\n";
    }
    expected += "\f";
    const auto& page = samplePage();
    EXPECT_EQ(std::string(page.begin(), page.end()), expected);
}

}  // namespace
}  // namespace zemprint
