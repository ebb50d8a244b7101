// TPrinter driven directly, as the interpreter drives it, onto PNG pages.
#include <QImage>
#include <filesystem>
#include <gtest/gtest.h>

#include "printer/base/errors.h"
#include "printer/host_fonts.h"
#include "printer/page/printer.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "printer/base/trace.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

constexpr int kDpi = 100;

class PrinterModel : public ::testing::Test {
protected:
    PrinterModel() : settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.')
    {
        settings.load();
        settings.debug = true;
        setTraceSink([this](const std::string& line) { traces.push_back(line); });
        EXPECT_TRUE(setup.open(dir.file("page.png")));
        setup.deviceMode().printQuality = kDpi;
        setup.capture();
    }
    ~PrinterModel() override { setTraceSink({}); }

    QImage page(int n) const { return QImage(QString::fromStdString(dir.file("page-" + std::to_string(n) + ".png"))); }
    bool traced(const std::string& line) const { return std::find(traces.begin(), traces.end(), line) != traces.end(); }
    static int dots(int twips) { return twips * kDpi / kTwipsPerInch; }

    zemtest::TempDir dir;
    TSettings settings;
    TPrinterSetup setup;
    std::vector<std::string> traces;
};

// A bit image wider than the room to the right limit is cut there, not squeezed.
TEST_F(PrinterModel, BitmapIsCutAtTheRightLimitInTheColour)
{
    {
        TPrinter printer(settings, setup);
        printer.open(setup.printerName());
        printer.setRightLimit(1440);
        printer.setX(720);
        printer.setColour({255, 0, 0});
        MonoBitmap image(120, 8);  // two inches at 60 dpi, every other column set
        for (int x = 0; x < image.width; x += 2)
            for (int y = 0; y < image.height; ++y) image.setDot(x, y);
        printer.placeBitmap(image, 60, 60, true);
        EXPECT_EQ(printer.pageCount(), 1);
        EXPECT_EQ(printer.getX(), printer.leftLimit());  // advanced to the limit, so the next character wraps
        EXPECT_EQ(printer.y(), kDefaultTopLimit + kDefaultLineSpacing);
        printer.close();
    }
    EXPECT_TRUE(traced("Graphics hor. overflow: 3600 >= 1440"));
    const QImage first = page(1);
    ASSERT_FALSE(first.isNull());
    const int top = dots(kDefaultTopLimit) + 2;
    int red = 0;
    int beyond = 0;
    for (int x = 0; x < first.width(); ++x) {
        const QRgb p = first.pixel(x, top);
        const bool isRed = qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
        red += isRed;
        if (isRed && (x < dots(720) - 1 || x > dots(1440) + 1)) ++beyond;
    }
    EXPECT_GT(red, dots(720) / 3);  // the first half inch of columns, every other one
    EXPECT_EQ(beyond, 0);
}

TEST_F(PrinterModel, SpacesAloneStartNoPageAndWrappingIsTraced)
{
    {
        TPrinter printer(settings, setup);
        printer.open(setup.printerName());
        printer.setRightLimit(5 * printer.cellWidth());
        for (int i = 0; i < 12; ++i) printer.printCharacter(u' ');
        EXPECT_EQ(printer.pageCount(), 0);
        EXPECT_EQ(printer.y(), kDefaultTopLimit + 2 * kDefaultLineSpacing);  // two wraps
        printer.endPage();
        EXPECT_EQ(printer.pageCount(), 0);
        printer.close();
    }
    EXPECT_TRUE(traced("Auto-Wrap: 720 >= 720"));
    EXPECT_FALSE(fs::exists(dir.file("page-1.png")));
}

// Superscript sits a third of the point size higher in a smaller font;
// subscript keeps the baseline.
TEST_F(PrinterModel, ScriptsChangeBaselineAndFontHeight)
{
    TPrinter printer(settings, setup);
    printer.open(setup.printerName());
    const int normalHeight = printer.currentFont().pixelSize();
    printer.setScript(Script::Super);
    EXPECT_EQ(printer.currentFont().pixelSize(), normalHeight * 2 / 3);
    printer.setScript(Script::Sub);
    EXPECT_EQ(printer.currentFont().pixelSize(), normalHeight * 2 / 3);
    printer.setScript(Script::None);
    printer.setDoubleHeight(true);
    EXPECT_EQ(printer.currentFont().pixelSize(), 2 * normalHeight);
    // The score pen follows the face: a sixteenth of its line height.
    EXPECT_EQ(printer.score().penWidth(), static_cast<int>(printer.textMetrics().height) / 16);
    printer.close();
}

TEST_F(PrinterModel, PageLengthAndSinglePageOutput)
{
    {
        TPrinter printer(settings, setup);
        printer.open(setup.printerName());
        EXPECT_THROW(printer.setPageLength(0), EIllegalParameter);
        EXPECT_THROW(printer.setPageLength(31681), EIllegalParameter);
        printer.setTopLimit(1000);
        printer.setPageLength(720);
        EXPECT_EQ(printer.topLimit(), kDefaultTopLimit);  // the top margin returns to its default
        EXPECT_EQ(printer.bottomLimit(), kDefaultTopLimit + 720);
        printer.setSinglePage(2);
        for (const char16_t c : std::u16string(u"ABC")) {
            printer.printCharacter(c);
            EXPECT_EQ(printer.pageOutput(), printer.pageCount() == 2);
            printer.endPage();
        }
        EXPECT_EQ(printer.pageCount(), 3);
        printer.close();
    }
    EXPECT_TRUE(fs::exists(dir.file("page-1.png")));
    EXPECT_FALSE(fs::exists(dir.file("page-2.png")));
}

TEST_F(PrinterModel, ResetKeepsItalicAndScriptButRestoresTheRest)
{
    TPrinter printer(settings, setup);
    printer.open(setup.printerName());
    printer.setItalic(true);
    printer.setScript(Script::Sub);
    printer.setBold(true);
    printer.setPitch(15);
    printer.setExtraSpace(30);
    printer.setColour({0, 255, 0});
    printer.setLineSpacing(100);
    printer.setLeftLimit(500);
    printer.reset(false);
    EXPECT_TRUE(printer.attributes().italic);
    EXPECT_EQ(printer.attributes().script, Script::Sub);
    EXPECT_FALSE(printer.attributes().bold);
    EXPECT_EQ(printer.cellWidth(), 144);
    EXPECT_EQ(printer.colour(), Rgb{});
    EXPECT_EQ(printer.lineSpacing(), kDefaultLineSpacing);
    EXPECT_EQ(printer.leftLimit(), 0);
    printer.close();
}

// The underline of the last word before a reset is not lost.
TEST_F(PrinterModel, ResetDrawsThePendingScoreRun)
{
    {
        TPrinter printer(settings, setup);
        printer.open(setup.printerName());
        printer.setUnderline(ScoreStyle::Single);
        for (const char16_t c : std::u16string(u"XXXXX")) printer.printCharacter(c);
        printer.reset(true);
        printer.close();
    }
    const QImage first = page(1);
    ASSERT_FALSE(first.isNull());
    int longestRow = 0;
    const int baseline = dots(kDefaultTopLimit + kBaselineOffset);
    for (int y = baseline; y <= baseline + 4; ++y) {
        int dark = 0;
        for (int x = 0; x < dots(5 * 144); ++x) dark += qGray(first.pixel(x, y)) < 128;
        longestRow = std::max(longestRow, dark);
    }
    EXPECT_GE(longestRow, dots(5 * 144) - 2);
}

TEST_F(PrinterModel, UnreadableLetterheadIsTracedEvenWithoutDebug)
{
    settings.debug = false;
    settings.values().letterheadFile = dir.write("head.jpg", "not a picture");
    TPrinter printer(settings, setup);
    EXPECT_TRUE(traced("Error while loading heading bitmap \"" + dir.file("head.jpg") + "\""));
}

TEST_F(PrinterModel, LongPrinterNamesAreRefused)
{
    TPrinter printer(settings, setup);
    try {
        printer.open(std::string(256, 'p'));
        FAIL() << "a 256-character name was accepted";
    } catch (const EPrinter& error) {
        EXPECT_EQ(std::string(error.what()), "Illegal printer name \"" + std::string(256, 'p') + "\"");
    }
}

}  // namespace
}  // namespace zemprint
