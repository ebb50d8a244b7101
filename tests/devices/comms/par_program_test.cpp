// Guest programs printing through the real emulator: a filtered job that the real
// printer program turns into a PDF, a large job into a file standing in for an LPT
// device, raw jobs and the printer list against a private CUPS scheduler.
#include "guest_runner.h"
#include "pdf_tools.h"
#include "run_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zemprint::test::pdfPageCount;
using zemprint::test::pdfText;
using zemprint::test::runProcess;

constexpr size_t BigJobSize = 200 * 1024;

std::string bigJob()
{
    std::string job(BigJobSize, '\0');
    for (size_t i = 0; i < BigJobSize; ++i) job[i] = char((i ^ (i >> 8)) & 0xFF);
    return job;
}

std::string iniFor(const std::string& printer, int mode, int filter)
{
    return "[Emulation]\nMemory=4\n[Parallel]\nPort1=" + std::to_string(mode) + "\nFilter1=" + std::to_string(filter) +
           "\nPrinter1=" + printer + "\n";
}

class ParProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(dir.path() / "tmp");
        fs::create_directory(dir.path() / "run");
        fs::permissions(dir.path() / "run", fs::perms::owner_all);
        environment = {{"TMPDIR", dir.file("tmp")},
                       {"QT_QPA_PLATFORM", "offscreen"},
                       {"ZEMPRINT_INI", dir.file("ZEMPrint.ini")},
                       {"XDG_RUNTIME_DIR", dir.file("run")},
                       {"CUPS_SERVER", "127.0.0.1:1"}};
    }

    GuestRun run(const char* image, const std::string& ini, const std::string& commandLine = "")
    {
        GuestRunOptions options;
        options.args = {"-OS", image, "-DBG", "0"};
        if (!commandLine.empty()) options.args.insert(options.args.end(), {"-CMDLINE", commandLine});
        options.iniContents = ini;
        options.environment = environment;
        options.workingDirectory = dir.path().string();
        options.timeLimit = 60000ms;
        GuestRun result = runGuest(options);
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
        return result;
    }

    std::vector<std::pair<std::string, std::string>> environment;
    zemtest::TempDir dir{"par-program"};
};

TEST_F(ParProgram, FilteredJobBecomesAPdfThroughThePrinterProgram)
{
    const std::string pdf = dir.file("out.pdf");
    const GuestRun result = run(GUEST_PAR_JOB, iniFor(pdf, 4, 1));
    ASSERT_TRUE(result.hasLine("open 00000000")) << result.describe();
    // The printer program runs on after the emulator; wait for both pages.
    for (int i = 0; i < 600 && pdfPageCount(pdf) != 2; ++i) std::this_thread::sleep_for(100ms);
    ASSERT_EQ(pdfPageCount(pdf), 2) << result.describe();
    const std::string text = pdfText(pdf, 1);
    for (const char* line : {"Pica line ZEMPAR", "Elite line", "Fifteen line", "Bold line", "Italic line",
                             "Underlined line", "Condensed line"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    // Page 2 holds the bit image alone: no text, but dark pixels.
    EXPECT_EQ(pdfText(pdf, 2).find_first_not_of(" \n\f"), std::string::npos);
    const auto shown = runProcess("/usr/bin/pdftoppm", {"-r", "30", "-gray", "-f", "2", "-l", "2", pdf, dir.file("p")});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    std::string pixels;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind("p-", 0) == 0) pixels = zemtest::readFile(e.path());
    ASSERT_FALSE(pixels.empty());
    // A binary PGM: three header lines ("P5", width and height, the maximum), then pixels.
    size_t at = 0;
    for (int line = 0; line < 3 && at != std::string::npos; ++line) at = pixels.find('\n', at) + 1;
    ASSERT_LT(at, pixels.size());
    size_t dark = 0;
    for (size_t i = at; i < pixels.size(); ++i) dark += uint8_t(pixels[i]) < 128;
    EXPECT_GT(dark, 20u);
    // The printer program took the spool file over and removed it.
    for (int i = 0; i < 100 && !fs::is_empty(dir.path() / "tmp"); ++i) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

TEST_F(ParProgram, LargeJobReachesADeviceStandInWhole)
{
    const std::string device = dir.file("lp0");
    zemtest::writeFile(device, "");
    environment.emplace_back("ZEM_LPT1", device);
    const GuestRun result = run(GUEST_PAR_JOB, iniFor("", 1, 0), "big");
    EXPECT_TRUE(result.hasLine("open 00000000")) << result.describe();
    EXPECT_TRUE(result.hasLine("sent 00032000")) << result.describe();
    const std::string arrived = zemtest::readFile(device);
    EXPECT_EQ(arrived.size(), BigJobSize);
    EXPECT_TRUE(arrived == bigJob());
}

TEST_F(ParProgram, MissingDeviceGivesNotFound)
{
    environment.emplace_back("ZEM_LPT1", dir.file("no-such-device"));
    const GuestRun result = run(GUEST_PAR_JOB, iniFor("", 1, 0));
    EXPECT_TRUE(result.hasLine("open fffffff9")) << result.describe();
    EXPECT_TRUE(result.contains("par: CreateFile failed")) << result.describe();
}

class ParCups : public ParProgram {
protected:
    void SetUp() override
    {
        ParProgram::SetUp();
        server = zemtest::readFile(std::string(ZEM_CUPS_STATE) + "/server");
        while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
        ASSERT_FALSE(server.empty()) << "the CUPS test server is not running";
        environment.back() = {"CUPS_SERVER", server};
    }
    std::string server;
};

TEST_F(ParCups, RawJobArrivesByteForByte)
{
    const GuestRun result = run(GUEST_PAR_JOB, iniFor("zemtest", 4, 0), "big");
    ASSERT_TRUE(result.hasLine("open 00000000")) << result.describe();
    const std::string expected = bigJob();
    const fs::path out = fs::path(ZEM_CUPS_STATE) / "out";
    bool found = false;
    for (int i = 0; i < 300 && !found; ++i) {
        for (const auto& e : fs::directory_iterator(out))
            if (e.path().filename().string().rfind("job-", 0) == 0 && fs::file_size(e.path()) == expected.size() &&
                zemtest::readFile(e.path()) == expected)
                found = true;
        if (!found) std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(found) << "no job in " << out << " holds the 200 KB the guest sent";
}

TEST_F(ParCups, PrinterListAndDefaultMatchTheScheduler)
{
    zemprint::test::ProcessOptions options;
    options.env = {{"CUPS_SERVER", server}, {"LPDEST", ""}, {"PRINTER", ""}};
    const auto listed = runProcess("/usr/bin/lpstat", {"-e"}, options);
    const auto byDefault = runProcess("/usr/bin/lpstat", {"-d"}, options);
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::vector<std::string> expected;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) expected.push_back(line);
    ASSERT_FALSE(expected.empty());

    const GuestRun result = run(GUEST_PAR_PRINTERS, "[Emulation]\nMemory=4\n");
    char count[16];
    snprintf(count, sizeof count, "count %08zx", expected.size());
    EXPECT_TRUE(result.hasLine(count)) << result.describe();
    for (const std::string& name : expected) EXPECT_TRUE(result.hasLine("printer <" + name + ">")) << name;
    // "system default destination: zemtest"
    const std::string name = byDefault.out.substr(byDefault.out.rfind(' ') + 1);
    EXPECT_TRUE(result.hasLine("default 00000000 <" + name.substr(0, name.find('\n')) + ">")) << result.describe();
}

}  // namespace
