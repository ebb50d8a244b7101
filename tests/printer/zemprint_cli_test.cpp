// The real zemprint binary, headless, against its command line and job sources.
#include <gtest/gtest.h>

#include <filesystem>

#include "pdf_tools.h"
#include "run_process.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

// A scheduler address where nothing listens: no printers, no default printer.
constexpr const char* kNoCupsServer = "127.0.0.1:1";

class ZemprintCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(dir.path() / "tmp");
        fs::create_directory(dir.path() / "run");
        fs::permissions(dir.path() / "run", fs::perms::owner_all);  // Qt's rule for a runtime folder
    }

    std::map<std::string, std::string> environment(const std::string& iniText) const
    {
        dir.write("ZEMPrint.ini", iniText);
        return {
            // No display and no platform named: the program must choose the headless one itself.
            {"QT_QPA_PLATFORM", ""},          {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""},
            {"TMPDIR", dir.file("tmp")},      {"ZEMPRINT_INI", dir.file("ZEMPrint.ini")},
            {"CUPS_SERVER", kNoCupsServer},   {"XDG_RUNTIME_DIR", dir.file("run")},
        };
    }

    // Replaces {dir} in an argument by the test folder.
    std::string expand(std::string arg) const
    {
        const auto at = arg.find("{dir}");
        if (at != std::string::npos)
            arg.replace(at, 5, dir.path().string());
        return arg;
    }

    bool tmpEmpty() const { return fs::is_empty(dir.path() / "tmp"); }

    zemtest::TempDir dir;
};

TEST_F(ZemprintCli, IntakeCases)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        std::string ini;
        int exitCode;
        std::string message;  // on standard error; empty: none expected
        int pages;            // pages of {dir}/out.pdf; 0: no file
        std::string text;     // in the PDF
    };
    const std::string cut = std::string("Hello\x1b(", 7);
    const Case cases[] = {
        {"three arguments", {"{dir}/job.prn", "{dir}/out.pdf", "extra"}, "", "", 1, "ZEMPrint: Illegal parameters\n", 0, ""},
        {"empty standard input", {"-", "{dir}/out.pdf"}, "", "", 0, "", 0, ""},
        {"standard input", {"-", "{dir}/out.pdf"}, "From standard input\r\n", "", 0, "", 1, "From standard input"},
        {"file job", {"{dir}/job.prn", "{dir}/out.pdf"}, "", "", 0, "", 1, "Plain job"},
        {"hidden dialog", {"{dir}/job.prn", "{dir}/out.pdf"}, "", "[Defaults]\nHideDialog=1\n", 0, "", 1, "Plain job"},
        {"unknown printer", {"{dir}/job.prn", "no-such-queue"}, "", "", 1, "ZEMPrint: Cannot open printer\n", 0, ""},
        {"missing file", {"{dir}/missing.prn", "{dir}/out.pdf"}, "", "", 1,
         "ZEMPrint: File with print data not found\n", 0, ""},
        {"folder as job", {"{dir}", "{dir}/out.pdf"}, "", "", 1, "ZEMPrint: Cannot open file with print data\n", 0, ""},
        {"no default printer", {"{dir}/job.prn"}, "", "", 1, "ZEMPrint: Cannot get default printer\n", 0, ""},
        {"truncated job", {"{dir}/cut.prn", "{dir}/out.pdf"}, "", "", 1, "ZEMPrint: Read beyond end of file 7\n", 1,
         "Hello"},
        {"bad settings", {"{dir}/job.prn", "{dir}/out.pdf"}, "", "[Defaults]\nLHLeft=1 in\n", 1,
         "ZEMPrint: Illegal unit \"in\"\n", 0, ""},
        {"output folder missing", {"{dir}/job.prn", "{dir}/none/out.pdf"}, "", "", 1, "ZEMPrint: Cannot open printer\n",
         0, ""},
    };
    const std::string program = ZEMPRINT_BINARY;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("job.prn", "Plain job\r\n");
        dir.write("cut.prn", cut);
        fs::remove(dir.file("out.pdf"));
        std::vector<std::string> args;
        for (const auto& a : c.args)
            args.push_back(expand(a));
        test::ProcessOptions options;
        options.env = environment(c.ini);
        options.input = c.input;
        const auto result = test::runProcess(program, args, options);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (!c.message.empty())
            EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        else
            EXPECT_EQ(result.err.find("ZEMPrint:"), std::string::npos) << result.err;
        if (c.pages == 0) {
            EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
        } else {
            EXPECT_EQ(test::pdfPageCount(dir.file("out.pdf")), c.pages);
            EXPECT_NE(test::pdfText(dir.file("out.pdf")).find(c.text), std::string::npos);
        }
        EXPECT_TRUE(tmpEmpty());  // standard-input copies are always removed
        EXPECT_TRUE(fs::exists(dir.file("job.prn")));  // a job that is not .tmp is never deleted
    }
}

TEST_F(ZemprintCli, TmpJobsAreDeletedAfterPrintingButKeptAfterAnError)
{
    const std::string program = ZEMPRINT_BINARY;
    test::ProcessOptions options;
    options.env = environment("");
    const std::string upper = dir.write("ZEM123.TMP", "Spooled\r\n");
    auto result = test::runProcess(program, {upper, dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(upper));
    EXPECT_NE(test::pdfText(dir.file("out.pdf")).find("Spooled"), std::string::npos);

    const std::string kept = dir.write("ZEM456.tmp", "Spooled\r\n");
    result = test::runProcess(program, {kept, "no-such-queue"}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(fs::exists(kept));

    const std::string empty = dir.write("ZEM789.tmp", "");
    result = test::runProcess(program, {empty, dir.file("empty.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(empty));
    EXPECT_FALSE(fs::exists(dir.file("empty.pdf")));
}

TEST_F(ZemprintCli, TracesTheArgumentsAndTheJobFile)
{
    test::ProcessOptions options;
    options.env = environment("");
    const std::string job = dir.write("job.prn", "x");
    const auto result = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("File \"" + job + "\", Printername \"" + dir.file("out.pdf") + "\"\n"), std::string::npos);
    EXPECT_NE(result.err.find("Trying to open file \"" + job + "\"\n"), std::string::npos);
}

TEST_F(ZemprintCli, ClosedStandardInputIsAnError)
{
    test::ProcessOptions options;
    options.env = environment("");
    options.closeInput = true;
    const auto result = test::runProcess(ZEMPRINT_BINARY, {"-", dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("ZEMPrint: Cannot get StdIn handle\n"), std::string::npos) << result.err;
    EXPECT_TRUE(tmpEmpty());
}

TEST_F(ZemprintCli, HelpAndVersion)
{
    auto result = test::runProcess(ZEMPRINT_BINARY, {"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("Usage: zemprint [JOB [PRINTER]]\n", 0), 0u);
    result = test::runProcess(ZEMPRINT_BINARY, {"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("ZEMPrint ", 0), 0u);
}

TEST_F(ZemprintCli, PngPrinterWritesOneNumberedFilePerPage)
{
    test::ProcessOptions options;
    options.env = environment("");
    const std::string job = dir.write("job.prn", "Page one\fPage two\f");
    const auto result = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("page.png")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(dir.file("page-1.png")));
    EXPECT_TRUE(fs::exists(dir.file("page-2.png")));
    EXPECT_FALSE(fs::exists(dir.file("page-3.png")));
    EXPECT_FALSE(fs::exists(dir.file("page.png")));
}

}  // namespace
}  // namespace zemprint
