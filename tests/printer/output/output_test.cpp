// Output devices, printer set-up and the page model's page handling, in process.
#include <QImage>
#include <QMessageBox>
#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <gtest/gtest.h>

#include "pdf_tools.h"
#include "printer/base/errors.h"
#include "printer/settings/font_choice.h"
#include "printer/host_fonts.h"
#include "printer/ui/message.h"
#include "printer/run/print_run.h"
#include "printer/page/printer.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

class Output : public ::testing::Test {
protected:
    Output() : settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.') { settings.load(); }

    TPrinterSetup setupFor(const std::string& name)
    {
        TPrinterSetup setup;
        EXPECT_TRUE(setup.open(name));
        return setup;
    }

    zemtest::TempDir dir;
    TSettings settings;
};

TEST_F(Output, PdfPagesFollowFormFeeds)
{
    const std::string pdf = dir.file("out.pdf");
    auto setup = setupFor(pdf);
    const auto result = printJob(settings, setup, dir.write("job.prn", "First\fSecond\r\nline\f\f\fThird"));
    EXPECT_EQ(result.pages, 3);  // form feeds on empty pages start none
    ASSERT_EQ(test::pdfPageCount(pdf), 3);
    EXPECT_NE(test::pdfText(pdf, 1).find("First"), std::string::npos);
    const std::string second = test::pdfText(pdf, 2);
    EXPECT_LT(second.find("Second"), second.find("line"));
    EXPECT_EQ(second.find("First"), std::string::npos);
    EXPECT_NE(test::pdfText(pdf, 3).find("Third"), std::string::npos);
}

// Job bytes go through the character table of the setting Charset0 (PC850 unless set).
TEST_F(Output, BytesPrintThroughTheConfiguredTable)
{
    struct Case {
        int charset;
        std::string job;
        const char* text;
    };
    const Case cases[] = {
        {768, "caf\x82 \x9b", "café ø"},
        {32513, "caf\xe9 \xf8", "café ø"},
        {12345, "caf\x82", "café"},  // no such table: PC850
    };
    for (const auto& c : cases) {
        const std::string pdf = dir.file("chars.pdf");
        settings.values().charsets[0] = c.charset;
        auto setup = setupFor(pdf);
        printJob(settings, setup, dir.write("chars.prn", c.job));
        EXPECT_NE(test::pdfText(pdf).find(c.text), std::string::npos) << c.charset << ": " << test::pdfText(pdf);
    }
}

TEST_F(Output, NothingVisibleMeansNoPageAndNoFile)
{
    for (const char* name : {"blank.pdf", "blank.png"}) {
        auto setup = setupFor(dir.file(name));
        const auto result = printJob(settings, setup, dir.write("blank.prn", "    \r\n\r\n\f"));
        EXPECT_EQ(result.pages, 0) << name;
    }
    EXPECT_TRUE(fs::exists(dir.file("blank.prn")));
    EXPECT_FALSE(fs::exists(dir.file("blank.pdf")));
    EXPECT_FALSE(fs::exists(dir.file("blank-1.png")));
}

TEST_F(Output, FailedRunStillClosesTheDocument)
{
    const std::string pdf = dir.file("cut.pdf");
    auto setup = setupFor(pdf);
    try {
        printJob(settings, setup, dir.write("cut.prn", std::string("Before\fAfter\x1b", 13)));
        FAIL() << "a truncated job printed without error";
    } catch (const EReadError& error) {
        EXPECT_STREQ(error.what(), "Read beyond end of file 13");
    }
    ASSERT_EQ(test::pdfPageCount(pdf), 2);
    EXPECT_NE(test::pdfText(pdf, 2).find("After"), std::string::npos);
}

// A character whose advance reaches the right limit exactly already wraps.
TEST_F(Output, CharacterReachingTheRightLimitWraps)
{
    const std::string pdf = dir.file("wrap.pdf");
    auto setup = setupFor(pdf);
    {
        TPrinter printer(settings, setup);
        printer.open(pdf);
        printer.setRightLimit(80 * printer.cellWidth());
        for (int i = 0; i < 80; ++i) printer.printCharacter(static_cast<char16_t>('0' + i % 10));
        printer.close();
    }
    std::string text = test::pdfText(pdf);
    std::string expected;
    for (int i = 0; i < 79; ++i) expected += static_cast<char>('0' + i % 10);
    EXPECT_NE(text.find(expected + "\n9"), std::string::npos) << text;
    EXPECT_EQ(text.find(expected + "9"), std::string::npos);
}

TEST_F(Output, PngPagesHavePageSizeAndInk)
{
    auto setup = setupFor(dir.file("page.png"));
    printJob(settings, setup, dir.write("job.prn", "XXXXXXXXXX\fY"));
    const QImage first(QString::fromStdString(dir.file("page-1.png")));
    ASSERT_FALSE(first.isNull());
    const QSizeF mm = setup.deviceMode().pageSize.size(QPageSize::Millimeter);
    EXPECT_EQ(first.width(), qRound(mm.width() / 25.4 * kPngResolution));
    EXPECT_EQ(first.height(), qRound(mm.height() / 25.4 * kPngResolution));
    // The first line sits 323 twips down; its ten cells span 1 inch from the left.
    int dark = 0;
    for (int y = 0; y < kPngResolution / 2; ++y)
        for (int x = 0; x < kPngResolution; ++x) dark += qGray(first.pixel(x, y)) < 128;
    EXPECT_GT(dark, 100);
    int darkElsewhere = 0;
    for (int y = first.height() / 2; y < first.height(); y += 4)
        for (int x = 0; x < first.width(); x += 4) darkElsewhere += qGray(first.pixel(x, y)) < 128;
    EXPECT_EQ(darkElsewhere, 0);
    EXPECT_TRUE(fs::exists(dir.file("page-2.png")));
}

TEST_F(Output, LandscapeDeviceModeTurnsThePage)
{
    const std::string pdf = dir.file("wide.pdf");
    auto setup = setupFor(pdf);
    setup.setOrientation(kLandscape);
    setup.capture();
    printJob(settings, setup, dir.write("job.prn", "Wide"));
    const auto info = test::runProcess("/usr/bin/pdfinfo", {pdf}).out;
    const QSizeF pt = setup.deviceMode().pageSize.size(QPageSize::Point);
    const std::string size = std::to_string(qRound(pt.height())) + " x " + std::to_string(qRound(pt.width()));
    EXPECT_NE(info.find(size), std::string::npos) << info;
}

TEST(PrinterSetup, CaptureAndRestoreUndoAJobsChanges)
{
    zemtest::TempDir dir;
    TPrinterSetup setup;
    ASSERT_TRUE(setup.open(dir.file("x.pdf")));
    EXPECT_EQ(setup.deviceMode().defaultSource, kSourceAutomatic);
    EXPECT_EQ(setup.deviceMode().orientation, kPortrait);
    EXPECT_EQ(setup.deviceMode().printQuality, kQualityMedium);
    EXPECT_FALSE(setup.rotated());
    setup.setOrientation(kLandscape);
    setup.deviceMode().defaultSource = 2;
    setup.deviceMode().printQuality = 360;
    EXPECT_TRUE(setup.rotated());
    setup.restore();
    EXPECT_FALSE(setup.rotated());
    EXPECT_EQ(setup.deviceMode().orientation, kPortrait);
    EXPECT_EQ(setup.deviceMode().defaultSource, kSourceAutomatic);
    EXPECT_EQ(setup.deviceMode().printQuality, kQualityMedium);
}

// The dialog starts from the captured values, not from what a job changed, and
// its answer becomes the captured state.
TEST(PrinterSetup, SetupDialogStartsFromTheCapturedModeAndKeepsItsAnswer)
{
    zemtest::TempDir dir;
    for (const bool accept : {false, true}) {
        TPrinterSetup setup;
        ASSERT_TRUE(setup.open(dir.file("x.pdf")));
        setup.setOrientation(kLandscape);  // as a job's ESC EM "L" would
        int shownOrientation = 0;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            shownOrientation =
                dialog->printer()->pageLayout().orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
            if (accept) {
                dialog->printer()->setPageOrientation(QPageLayout::Landscape);
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
        EXPECT_EQ(setup.setupDialog(nullptr), accept);
        EXPECT_EQ(shownOrientation, kPortrait);
        EXPECT_FALSE(setup.rotated());
        EXPECT_EQ(setup.deviceMode().orientation, accept ? kLandscape : kPortrait);
        EXPECT_EQ(setup.outputKind(), OutputKind::PdfFile);
    }
}

TEST(PrinterSetup, UnknownPrintersAndMissingFoldersDoNotOpen)
{
    zemtest::TempDir dir;
    TPrinterSetup setup;
    EXPECT_FALSE(setup.open("zemprint-no-such-queue"));
    EXPECT_FALSE(setup.open(dir.file("missing/out.pdf")));
    EXPECT_FALSE(setup.open(dir.file("missing/out.png")));
    EXPECT_TRUE(setup.open(dir.file("OUT.PDF")));
    EXPECT_EQ(setup.outputKind(), OutputKind::PdfFile);
}

TEST(PrinterSetup, PaperSourcesMapBothWays)
{
    for (int bin : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15})
        EXPECT_EQ(paperSourceToBin(binToPaperSource(bin)), bin) << bin;
    EXPECT_EQ(paperSourceToBin(QPrinter::Auto), kSourceAutomatic);
    EXPECT_EQ(binToPaperSource(12), QPrinter::Auto);  // no such bin in Qt
}

TEST(Messages, ErrorBoxIsCaptionedZemprintWithTheErrorIcon)
{
    const auto box = makeErrorBox("Cannot open printer");
    EXPECT_EQ(box->windowTitle(), QStringLiteral("ZEMPrint"));
    EXPECT_EQ(box->text(), QStringLiteral("Cannot open printer"));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_FALSE(displayAvailable());  // offscreen: errors go to standard error instead
}

TEST(HostFonts, SettingsFileIsNamedBesideTheProgramOrInTheConfigurationFolder)
{
    zemtest::TempDir dir;
    const std::string program = dir.file("bin");
    const std::string config = dir.file("config");
    fs::create_directories(program);
    // Nothing beside the program: the user's configuration folder, in a folder of its own.
    EXPECT_EQ(chooseSettingsFile("", program, config), config + "/zemprint/ZEMPrint.ini");
    EXPECT_EQ(chooseSettingsFile("/somewhere/else.ini", program, config), "/somewhere/else.ini");
    dir.write("bin/ZEMPrint.ini", "[Defaults]\n");
    EXPECT_EQ(chooseSettingsFile("", program, config), program + "/ZEMPrint.ini");
    EXPECT_EQ(chooseSettingsFile("/somewhere/else.ini", program, config), "/somewhere/else.ini");
    // No configuration folder at all: beside the program.
    fs::remove(dir.file("bin/ZEMPrint.ini"));
    EXPECT_EQ(chooseSettingsFile("", program, ""), program + "/ZEMPrint.ini");
}

TEST(PageLimits, MeasuresThePrintableArea)
{
    TPageLimits limits;
    limits.measure(210.0, 297.0);
    EXPECT_EQ(limits.pageWidth(), 11934);  // the width gains half a millimetre first
    EXPECT_EQ(limits.pageHeight(), 16838);
    EXPECT_EQ(limits.top(), 323);
    EXPECT_EQ(limits.right(), 11934);
    limits.setRight(11520);
    limits.reset();
    EXPECT_EQ(limits.right(), 11934);
}

// Needs the fonts that the set-up script installs.
TEST(HostFonts, AutomaticChoiceFindsTheMetricTwins)
{
    const auto families = installedFontFamilies();
    if (findInstalledFamily(families, "Liberation Mono").empty()) GTEST_SKIP() << "fonts-liberation is not installed";
    for (int t = 0; t <= 9; ++t) {
        const std::string chosen = chooseFont(t, families);
        EXPECT_FALSE(chosen.empty());
        EXPECT_NE(std::find(families.begin(), families.end(), chosen), families.end());
    }
    EXPECT_EQ(chooseFont(10, families), findInstalledFamily(families, "Times New Roman").empty()
                                            ? "Liberation Serif"
                                            : findInstalledFamily(families, "Times New Roman"));
    EXPECT_EQ(chooseFont(11, families), findInstalledFamily(families, "Arial").empty()
                                            ? "Liberation Sans"
                                            : findInstalledFamily(families, "Arial"));
}

}  // namespace
}  // namespace zemprint
