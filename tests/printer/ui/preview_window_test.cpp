// The preview window: page navigation over a real job, pages drawn at their
// physical size, printing from the preview, and the mouse wheel.
#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>

#include "pdf_tools.h"
#include "printer/ui/preview_navigation.h"
#include "printer/ui/preview_window.h"
#include "ui_fixture.h"

namespace zemprint {
namespace {

using test::WindowTest;

// Dark pixels on the page image, as a rough measure of what is printed.
int inkPixels(const QImage& image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return dark;
}

// The lowest row with ink: the descender of "Page" on every page of the job.
int lastInkRow(const QImage& image)
{
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) return y;
    return -1;
}

class PreviewWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        loadSettings();
        openPrinter(dir.file("out.pdf"));
    }
    QString label() const { return preview.pageLabel(); }
    void click(const char* name) { QTest::mouseClick(button<QToolButton>(preview, name), Qt::LeftButton); }
    bool enabled(const char* name) { return button<QToolButton>(preview, name)->isEnabled(); }

    TPreviewForm preview;
};

TEST_F(PreviewWindow, NavigatesAThreePageJob)
{
    const std::string job = dir.write("job.prn", test::kThreePages);
    preview.showPreview(*settings, setup, job);
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(label(), "Page 1/3");
    EXPECT_FALSE(enabled("<"));
    EXPECT_FALSE(enabled("<<"));
    EXPECT_TRUE(enabled(">"));
    EXPECT_TRUE(enabled(">>"));
    const QImage first = preview.pageImage();
    EXPECT_GT(inkPixels(first), 0);

    click(">>");
    EXPECT_EQ(label(), "Page 3/3");  // five pages on, but not beyond the last
    EXPECT_FALSE(enabled(">"));
    EXPECT_FALSE(enabled(">>"));
    EXPECT_TRUE(enabled("<"));
    const QImage third = preview.pageImage();
    EXPECT_GT(inkPixels(third), 0);
    EXPECT_NE(first, third);
    // Each page is drawn alone on a fresh page: its line sits where page 1's does.
    EXPECT_EQ(lastInkRow(third), lastInkRow(first));

    click("<");
    EXPECT_EQ(label(), "Page 2/3");
    click("<<");
    EXPECT_EQ(label(), "Page 1/3");
    EXPECT_EQ(preview.pageImage(), first);
}

TEST_F(PreviewWindow, PageIsShownAtItsPhysicalSize)
{
    preview.showPreview(*settings, setup, dir.write("job.prn", "x\r\n"));
    const QSizeF paper = setup.deviceMode().pageSize.size(QPageSize::Millimeter);
    const double dpi = preview.dotsPerInch();
    // The measured width has half a millimetre added.
    EXPECT_NEAR(preview.pageImage().width(), (paper.width() + 0.5) / 25.4 * dpi, 1.0);
    EXPECT_NEAR(preview.pageImage().height(), paper.height() / 25.4 * dpi, 1.0);

    // The window is as wide as the page, and no taller than the work area,
    // beside whose height the page scrolls.
    QApplication::processEvents();
    auto* scroll = preview.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
    const QRect work = preview.screen()->availableGeometry();
    if (preview.pageImage().height() > work.height()) {
        EXPECT_LE(preview.height(), work.height());
        EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    } else {
        EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
    }
}

TEST_F(PreviewWindow, AJobWithNothingVisibleHasNoPages)
{
    preview.showPreview(*settings, setup, dir.write("job.prn", "   \r\n\r\n\f  \r\n"));
    EXPECT_EQ(label(), "No pages");
    for (const char* name : {"Print page", "Print all", "<", "<<", ">", ">>"}) EXPECT_FALSE(enabled(name)) << name;
    EXPECT_EQ(inkPixels(preview.pageImage()), 0);
}

TEST_F(PreviewWindow, PrintsThisPageOrAllPagesAndStaysOpen)
{
    preview.showPreview(*settings, setup, dir.write("job.prn", test::kThreePages));
    click(">");
    click("Print page");
    EXPECT_TRUE(preview.isVisible());
    ASSERT_EQ(test::pdfPageCount(dir.file("out.pdf")), 1);
    const std::string single = test::pdfText(dir.file("out.pdf"));
    EXPECT_NE(single.find("Page two"), std::string::npos) << single;
    EXPECT_EQ(single.find("Page one"), std::string::npos) << single;

    click("Print all");
    EXPECT_TRUE(preview.isVisible());
    ASSERT_EQ(test::pdfPageCount(dir.file("out.pdf")), 3);
    EXPECT_NE(test::pdfText(dir.file("out.pdf"), 3).find("Page three"), std::string::npos);
    EXPECT_EQ(label(), "Page 2/3");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PreviewWindow, ATruncatedJobShowsItsPageAndTheError)
{
    // The job ends inside a command: page 1 is drawn, then the read fails.
    const std::string job = dir.write("job.prn", std::string("Cut short\r\n\x1b(", 13));
    preview.showPreview(*settings, setup, job);
    EXPECT_EQ(label(), "Page 1/1");
    EXPECT_GT(inkPixels(preview.pageImage()), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "ZEMPrint");
    EXPECT_EQ(boxes[0].text.toStdString(), "Read beyond end of file 13");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(preview.isVisible());
}

TEST_F(PreviewWindow, WheelScrollsLinesVerticallyOrWithShiftSideways)
{
    preview.showPreview(*settings, setup, dir.write("job.prn", test::kThreePages));
    preview.resize(200, 200);  // smaller than the page both ways
    QApplication::processEvents();
    auto* scroll = preview.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    QScrollBar* vertical = scroll->verticalScrollBar();
    QScrollBar* horizontal = scroll->horizontalScrollBar();
    ASSERT_GT(vertical->maximum(), 0);
    ASSERT_GT(horizontal->maximum(), 0);
    const int lines = QApplication::wheelScrollLines();

    const auto turn = [&](int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(10, 10);
        QWheelEvent wheel(at, scroll->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(scroll->viewport(), &wheel);
    };
    turn(-120, Qt::NoModifier);  // one notch towards the user: down
    EXPECT_EQ(vertical->value(), lines * vertical->singleStep());
    turn(-60, Qt::NoModifier);  // half a notch waits for the other half
    EXPECT_EQ(vertical->value(), lines * vertical->singleStep());
    turn(-60, Qt::NoModifier);
    EXPECT_EQ(vertical->value(), 2 * lines * vertical->singleStep());
    turn(120, Qt::NoModifier);
    EXPECT_EQ(vertical->value(), lines * vertical->singleStep());

    turn(-120, Qt::ShiftModifier);
    EXPECT_EQ(horizontal->value(), lines * horizontal->singleStep());
    EXPECT_EQ(vertical->value(), lines * vertical->singleStep());
}

TEST(PreviewNavigation, StepsStayWithinTheJob)
{
    struct Case {
        int total;
        int start;
        void (PreviewNavigation::*step)();
        int expected;
    };
    const Case cases[] = {
        {3, 1, &PreviewNavigation::skipForward, 3}, {12, 2, &PreviewNavigation::skipForward, 7},
        {3, 3, &PreviewNavigation::skipBack, 1},    {12, 9, &PreviewNavigation::skipBack, 4},
        {3, 3, &PreviewNavigation::next, 3},        {3, 1, &PreviewNavigation::previous, 1},
        {0, 1, &PreviewNavigation::skipForward, 1}, {0, 1, &PreviewNavigation::next, 1},
    };
    for (const Case& c : cases) {
        PreviewNavigation navigation;
        navigation.setTotal(c.total);
        while (navigation.current() < c.start) navigation.next();
        (navigation.*c.step)();
        EXPECT_EQ(navigation.current(), c.expected) << c.total << " from " << c.start;
    }
}

}  // namespace
}  // namespace zemprint
