#include "printer/settings/settings.h"

#include <gtest/gtest.h>

#include "printer/base/errors.h"
#include "printer/settings/font_choice.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

// A machine with only the free metric twins and a couple of others.
std::vector<std::string> linuxFamilies()
{
    return {"Bitstream Vera Sans Mono", "DejaVu Sans", "Liberation Mono", "Liberation Sans", "Liberation Serif"};
}

TSettings makeSettings(const std::string& path, std::vector<std::string> families = linuxFamilies())
{
    return TSettings(
        path, [families] { return families; }, '.');
}

TEST(Settings, MissingFileGivesDefaultsAndAutomaticFonts)
{
    zemtest::TempDir dir;
    auto settings = makeSettings(dir.file("ZEMPrint.ini"));
    settings.load();
    const auto& v = settings.values();
    EXPECT_EQ(v.fontNames[0], "Liberation Mono");  // Courier New's twin
    EXPECT_EQ(v.fontNames[1], "Bitstream Vera Sans Mono");
    EXPECT_EQ(v.fontNames[9], "Liberation Mono");
    EXPECT_EQ(v.fontNames[10], "Liberation Serif");  // Times New Roman's twin
    EXPECT_EQ(v.fontNames[11], "Liberation Sans");   // Arial's twin
    for (int zoom : v.zoom) EXPECT_EQ(zoom, 140);
    for (int charset : v.charsets) EXPECT_EQ(charset, 768);
    EXPECT_EQ(v.letterheadLeftText, "0 mm");
    EXPECT_EQ(v.letterheadLeft, 0);
    EXPECT_EQ(v.letterheadDpi, 300);
    EXPECT_TRUE(v.letterheadFile.empty());
    EXPECT_FALSE(v.letterheadFirstPageOnly);
    EXPECT_FALSE(v.hideDialog);
    EXPECT_FALSE(settings.debug);
    EXPECT_FALSE(settings.changed());
}

TEST(Settings, ReadsStoredValuesAndRangeChecksZoom)
{
    zemtest::TempDir dir;
    const std::string path = dir.write("ZEMPrint.ini",
                                       "[Fonts]\n"
                                       "Font0Name=dejavu sans\n"  // installed: taken as installed
                                       "Font2Name=Nonexistent Face\n"
                                       "Font0Zoom=400\nFont1Zoom=1\nFont2Zoom=0\nFont3Zoom=500\nFont4Zoom=0x64\n"
                                       "Font5Zoom=wide\n"
                                       "[Defaults]\n"
                                       "Charset0=0x7F01\nCharset3=256\n"
                                       "LHFilename=/tmp/head.jpg\nLHLeft=1 cm\nLHTop=1\"\nLHDPI=600\n"
                                       "LHFirstPage=1\nHideDialog=5\nDebug=1\nPins=9\nPaperSize=Letter\n");
    auto settings = makeSettings(path);
    settings.load();
    const auto& v = settings.values();
    EXPECT_EQ(v.fontNames[0], "DejaVu Sans");
    EXPECT_EQ(v.fontNames[2], "Liberation Mono");
    const int zooms[] = {400, 1, 140, 140, 100, 140, 140};
    for (std::size_t t = 0; t < std::size(zooms); ++t) EXPECT_EQ(v.zoom[t], zooms[t]) << "Font" << t << "Zoom";
    EXPECT_EQ(v.charsets[0], 32513);
    EXPECT_EQ(v.charsets[1], 768);
    EXPECT_EQ(v.charsets[3], 256);
    EXPECT_EQ(v.letterheadFile, "/tmp/head.jpg");
    EXPECT_EQ(v.letterheadLeft, 100);
    EXPECT_EQ(v.letterheadTop, 254);
    EXPECT_EQ(v.letterheadDpi, 600);
    EXPECT_TRUE(v.letterheadFirstPageOnly);
    EXPECT_TRUE(v.hideDialog);
    EXPECT_FALSE(settings.debug);  // never read from the file
    EXPECT_EQ(v.pins, 9);
    EXPECT_EQ(v.paperSize, "Letter");
    // Any other model is the 24-pin one; the command line overrides for the run.
    auto other = makeSettings(dir.write("other.ini", "[Defaults]\nPins=12\n"));
    other.load();
    EXPECT_EQ(other.values().pins, 24);
    other.runPins = 9;
    EXPECT_EQ(other.pins(), 9);
}

TEST(Settings, BadLetterheadOffsetFailsTheLoad)
{
    zemtest::TempDir dir;
    auto settings = makeSettings(dir.write("ZEMPrint.ini", "[Defaults]\nLHTop=1 in\n"));
    try {
        settings.load();
        FAIL() << "load accepted an illegal unit";
    } catch (const EZEMPrint& error) {
        EXPECT_STREQ(error.what(), "Illegal unit \"in\"");
    }
}

TEST(Settings, SaveWritesEveryKeyAndTakesTheSnapshot)
{
    zemtest::TempDir dir;
    const std::string path = dir.write("ZEMPrint.ini", "; my printer\n[Defaults]\nLHDPI=300\n");
    auto settings = makeSettings(path);
    settings.load();
    settings.values().zoom[3] = 120;
    EXPECT_TRUE(settings.changed());
    settings.setLetterheadLeftText("2.5 cm");
    settings.values().hideDialog = true;
    settings.values().pins = 9;
    settings.values().paperSize = "A5";
    settings.debug = true;
    settings.save();
    EXPECT_FALSE(settings.changed());

    const std::string text = zemtest::readFile(path);
    EXPECT_EQ(text.rfind("; my printer\n", 0), 0u);
    // HideDialog is written last: it is the key a half-written file must not have.
    EXPECT_LT(text.find("LHFirstPage=0"), text.find("HideDialog=1"));
    EXPECT_LT(text.find("Pins=9"), text.find("HideDialog=1"));
    EXPECT_LT(text.find("PaperSize=A5"), text.find("HideDialog=1"));
    EXPECT_EQ(text.find("Debug"), std::string::npos);

    auto reloaded = makeSettings(path);
    reloaded.load();
    EXPECT_EQ(reloaded.values(), settings.values());
    EXPECT_EQ(reloaded.values().letterheadLeft, 250);
    EXPECT_FALSE(reloaded.debug);

    reloaded.values().fontNames[11] = "DejaVu Sans";
    EXPECT_TRUE(reloaded.changed());
}

TEST(Settings, RejectedOffsetLeavesTheValueAlone)
{
    zemtest::TempDir dir;
    auto settings = makeSettings(dir.file("ZEMPrint.ini"));
    settings.load();
    EXPECT_THROW(settings.setLetterheadTopText("3 furlongs"), EZEMPrint);
    EXPECT_EQ(settings.values().letterheadTopText, "0 mm");
    EXPECT_FALSE(settings.changed());
}

TEST(FontChoice, CandidateOrderThenTwinThenFirstFamily)
{
    struct Case {
        int typeface;
        std::vector<std::string> families;
        const char* chosen;
    };
    const Case cases[] = {
        {0, {"courier new", "Luxi Mono"}, "Luxi Mono"},  // earlier candidate wins
        {0, {"COURIER NEW", "Zzz"}, "COURIER NEW"},      // name as installed
        {2, {"Alpha", "Liberation Mono"}, "Liberation Mono"},
        {10, {"Alpha", "Liberation Mono"}, "Alpha"},  // no serif twin: first family
        {11, {"Arial", "Liberation Sans"}, "Arial"},
        {5, {"OCRB", "OCR-B"}, "OCR-B"},
        {6, {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseFont(c.typeface, c.families), c.chosen) << "typeface " << c.typeface;
}

}  // namespace
}  // namespace zemprint
