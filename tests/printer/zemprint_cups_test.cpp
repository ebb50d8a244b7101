// zemprint against a real CUPS scheduler: the private test server that the
// printer_cups fixture starts (cups/start-cups.sh), with the queue "zemtest"
// whose jobs land as files in its output folder.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "pdf_tools.h"
#include "run_process.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

constexpr auto kJobWait = std::chrono::seconds(60);

std::string testServer()
{
    std::string server = zemtest::readFile(std::string(ZEM_CUPS_STATE) + "/server");
    while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
    return server;
}

// The PDF in the queue's output folder whose text holds marker, once the job is done.
std::string waitForJob(const std::string& marker)
{
    const fs::path out = fs::path(ZEM_CUPS_STATE) / "out";
    const auto deadline = std::chrono::steady_clock::now() + kJobWait;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("job-", 0) == 0 && test::pdfText(entry.path().string()).find(marker) != std::string::npos)
                return entry.path().string();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return {};
}

class ZemprintCups : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = testServer();
        ASSERT_FALSE(server.empty()) << "the CUPS test server is not running";
        fs::create_directory(dir.path() / "tmp");
        fs::create_directory(dir.path() / "run");
        fs::permissions(dir.path() / "run", fs::perms::owner_all);
        options.env = {
            {"QT_QPA_PLATFORM", "offscreen"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""},
            {"TMPDIR", dir.file("tmp")},
            {"ZEMPRINT_INI", dir.file("ZEMPrint.ini")},
            {"CUPS_SERVER", server},
            {"XDG_RUNTIME_DIR", dir.file("run")},
            {"LPDEST", ""},
            {"PRINTER", ""},
        };
    }

    zemtest::TempDir dir;
    std::string server;
    test::ProcessOptions options;
};

TEST_F(ZemprintCups, JobOnANamedQueueArrivesAsPdf)
{
    const std::string job = dir.write("job.prn", "Queue job one\r\n\fQueue job two\r\n");
    const auto result = test::runProcess(ZEMPRINT_BINARY, {job, "zemtest"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string pdf = waitForJob("Queue job one");
    ASSERT_FALSE(pdf.empty()) << "no job arrived in the queue's output folder";
    EXPECT_EQ(zemtest::readFile(pdf).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(test::pdfPageCount(pdf), 2);
    EXPECT_NE(test::pdfText(pdf, 2).find("Queue job two"), std::string::npos);

    // The same job into a file gives the same pages and text.
    const auto toFile = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("out.pdf")}, options);
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(test::pdfPageCount(dir.file("out.pdf")), 2);
    for (int page = 1; page <= 2; ++page) {
        const auto words = [](const std::string& text) {
            std::string squeezed;
            for (char c : text)
                if (!std::isspace(static_cast<unsigned char>(c))) squeezed += c;
            return squeezed;
        };
        EXPECT_EQ(words(test::pdfText(dir.file("out.pdf"), page)), words(test::pdfText(pdf, page))) << page;
    }
}

TEST_F(ZemprintCups, WithoutArgumentsTheSamplePageGoesToTheDefaultPrinter)
{
    auto debugging = options;
    debugging.env["ZEMPRINT_DEBUG"] = "1";  // the argument trace is a debug line
    const auto result = test::runProcess(ZEMPRINT_BINARY, {}, debugging);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("File \"\", Printername \"\""), std::string::npos) << result.err;
    const std::string pdf = waitForJob("Script-C");
    ASSERT_FALSE(pdf.empty()) << "the sample page did not arrive";
    EXPECT_EQ(test::pdfPageCount(pdf), 1);
    const std::string text = test::pdfText(pdf);
    for (const char* line : {"Roman", "OCR-B", "Orator-S", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));  // the sample page's temporary file is gone
}

TEST_F(ZemprintCups, StandardInputToTheDefaultPrinter)
{
    options.input = "Piped to the default queue\r\n";
    const auto result = test::runProcess(ZEMPRINT_BINARY, {"-"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(waitForJob("Piped to the default queue").empty());
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

}  // namespace
}  // namespace zemprint
