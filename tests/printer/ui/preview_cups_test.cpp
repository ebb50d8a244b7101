// Printing from the preview to a real CUPS queue: the private test scheduler
// that the printer_cups fixture starts, whose queue "zemtest" stores each job
// as a PDF file in its output folder.
#include <QApplication>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "pdf_tools.h"
#include "printer/ui/preview_window.h"
#include "ui_fixture.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

constexpr auto kJobWait = std::chrono::seconds(60);
constexpr const char* kQueue = "zemtest";

// The first finished job in the queue's output folder whose text holds marker.
std::string arrivedJob(const std::string& marker)
{
    const fs::path out = fs::path(ZEM_CUPS_STATE) / "out";
    const auto deadline = std::chrono::steady_clock::now() + kJobWait;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().filename().string().rfind("job-", 0) == 0 &&
                test::pdfText(entry.path().string()).find(marker) != std::string::npos)
                return entry.path().string();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return {};
}

using PreviewToQueue = test::WindowTest;

TEST_F(PreviewToQueue, PrintThisPageSendsOnlyThatPage)
{
    loadSettings();
    openPrinter(kQueue);
    const std::string job =
        dir.write("job.prn", "Queue preview one\r\n\fQueue preview two\r\n\fQueue preview three\r\n\f");
    TPreviewForm preview;
    preview.showPreview(*settings, setup, job);
    ASSERT_EQ(preview.pageLabel(), "Page 1/3");
    QTest::mouseClick(preview.findChild<QToolButton*>(QStringLiteral(">")), Qt::LeftButton);
    QTest::mouseClick(preview.findChild<QToolButton*>(QStringLiteral("Print page")), Qt::LeftButton);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(preview.isVisible());

    const std::string pdf = arrivedJob("Queue preview two");
    ASSERT_FALSE(pdf.empty()) << "the page did not arrive in the queue";
    EXPECT_EQ(test::pdfPageCount(pdf), 1);
    EXPECT_EQ(test::pdfText(pdf).find("Queue preview one"), std::string::npos);
    EXPECT_EQ(test::pdfText(pdf).find("Queue preview three"), std::string::npos);
}

}  // namespace
}  // namespace zemprint

// The scheduler's address is known only once the fixture has started it; the
// CUPS client reads it from the environment before the first printer lookup.
int main(int argc, char** argv)
{
    std::string server = zemtest::readFile(std::string(ZEM_CUPS_STATE) + "/server");
    while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
    if (!server.empty()) ::setenv("CUPS_SERVER", server.c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
