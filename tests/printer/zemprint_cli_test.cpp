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
            {"QT_QPA_PLATFORM", ""},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""},
            {"TMPDIR", dir.file("tmp")},
            {"ZEMPRINT_INI", dir.file("ZEMPrint.ini")},
            {"CUPS_SERVER", kNoCupsServer},
            {"XDG_RUNTIME_DIR", dir.file("run")},
        };
    }

    // Replaces {dir} in an argument by the test folder.
    std::string expand(std::string arg) const
    {
        const auto at = arg.find("{dir}");
        if (at != std::string::npos) arg.replace(at, 5, dir.path().string());
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
        {"three arguments",
         {"{dir}/job.prn", "{dir}/out.pdf", "extra"},
         "",
         "",
         1,
         "ZEMPrint: Illegal parameters\n",
         0,
         ""},
        {"empty standard input", {"-", "{dir}/out.pdf"}, "", "", 0, "", 0, ""},
        {"standard input", {"-", "{dir}/out.pdf"}, "From standard input\r\n", "", 0, "", 1, "From standard input"},
        {"file job", {"{dir}/job.prn", "{dir}/out.pdf"}, "", "", 0, "", 1, "Plain job"},
        {"hidden dialog", {"{dir}/job.prn", "{dir}/out.pdf"}, "", "[Defaults]\nHideDialog=1\n", 0, "", 1, "Plain job"},
        {"unknown printer",
         {"{dir}/job.prn", "no-such-queue"},
         "",
         "",
         1,
         "ZEMPrint: Cannot open printer: \"no-such-queue\": no such CUPS printer\n",
         0,
         ""},
        {"missing file",
         {"{dir}/missing.prn", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: File with print data not found: \"{dir}/missing.prn\": No such file or directory\n",
         0,
         ""},
        {"folder as job",
         {"{dir}", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: Cannot open file with print data: \"{dir}\": Is a directory\n",
         0,
         ""},
        {"no default printer", {"{dir}/job.prn"}, "", "", 1, "ZEMPrint: Cannot get default printer\n", 0, ""},
        {"truncated job",
         {"{dir}/cut.prn", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: Read beyond end of file 7\n",
         1,
         "Hello"},
        {"bad settings",
         {"{dir}/job.prn", "{dir}/out.pdf"},
         "",
         "[Defaults]\nLHLeft=1 in\n",
         1,
         "ZEMPrint: Illegal unit \"in\"\n",
         0,
         ""},
        {"output folder missing",
         {"{dir}/job.prn", "{dir}/none/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: Cannot open printer: \"{dir}/none/out.pdf\": No such file or directory\n",
         0,
         ""},
        {"paper option", {"--paper", "letter", "{dir}/job.prn", "{dir}/out.pdf"}, "", "", 0, "", 1, "Plain job"},
        {"unknown paper",
         {"--paper=A9", "{dir}/job.prn", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: Unknown paper size \"A9\"",
         0,
         ""},
        {"bad pins",
         {"--pins", "12", "{dir}/job.prn", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: Illegal value for --pins: \"12\" (9 or 24)\n",
         0,
         ""},
        {"pins and paper setting",
         {"--pins", "9", "{dir}/job.prn", "{dir}/out.pdf"},
         "",
         "[Defaults]\nPaperSize=A5\n",
         0,
         "",
         1,
         "Plain job"},
        {"nothing to print",
         {"{dir}/blank.prn", "{dir}/out.pdf"},
         "",
         "",
         0,
         "ZEMPrint: the job holds nothing to print: no page was printed\n",
         0,
         ""},
        {"PostScript",
         {"{dir}/ps.prn", "{dir}/out.pdf"},
         "",
         "",
         1,
         "ZEMPrint: The print data is PostScript, not ESC/P: nothing was printed\n",
         0,
         ""},
    };
    const std::string program = ZEMPRINT_BINARY;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("job.prn", "Plain job\r\n");
        dir.write("cut.prn", cut);
        dir.write("blank.prn", "\r\n\r\n");
        dir.write("ps.prn", "%!PS-Adobe-3.0\n/Times findfont\nshowpage\n");
        fs::remove(dir.file("out.pdf"));
        std::vector<std::string> args;
        for (const auto& a : c.args) args.push_back(expand(a));
        test::ProcessOptions options;
        options.env = environment(c.ini);
        options.input = c.input;
        const auto result = test::runProcess(program, args, options);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (!c.message.empty())
            EXPECT_NE(result.err.find(expand(c.message)), std::string::npos) << result.err;
        else
            EXPECT_EQ(result.err.find("ZEMPrint:"), std::string::npos) << result.err;
        if (c.pages == 0) {
            EXPECT_FALSE(fs::exists(dir.file("out.pdf")));
        } else {
            EXPECT_EQ(test::pdfPageCount(dir.file("out.pdf")), c.pages);
            EXPECT_NE(test::pdfText(dir.file("out.pdf")).find(c.text), std::string::npos);
        }
        if (c.args.front() == "--paper") {
            EXPECT_NE(test::runProcess("/usr/bin/pdfinfo", {dir.file("out.pdf")}).out.find("612 x 792 pts"),
                      std::string::npos);
        }
        if (c.ini.find("PaperSize=A5") != std::string::npos) {
            EXPECT_NE(test::runProcess("/usr/bin/pdfinfo", {dir.file("out.pdf")}).out.find("(A5)"), std::string::npos);
        }
        EXPECT_TRUE(tmpEmpty());                       // standard-input copies are removed after printing
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

TEST_F(ZemprintCli, DebugLinesOnlyWhenAskedForAndCountedOncePerName)
{
    test::ProcessOptions options;
    options.env = environment("");
    // Many unknown commands and illegal parameters.
    std::string body = "Text\r\n";
    for (int i = 0; i < 50; ++i) body += std::string("\x1by\x1br\x09", 6);
    const std::string job = dir.write("job.prn", body);
    auto result = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");

    options.env["ZEMPRINT_DEBUG"] = "1";
    result = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("File \"" + job + "\", Printername \"" + dir.file("out.pdf") + "\"\n"),
              std::string::npos);
    EXPECT_NE(result.err.find("Trying to open file \"" + job + "\"\n"), std::string::npos);
    EXPECT_NE(result.err.find("\"Unknown ESC code (121)\" not implemented (50 times)\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Illegal parameter: SetColour (50 times)\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("\"Unknown ESC code (121)\" not implemented\n"), std::string::npos);
}

TEST_F(ZemprintCli, FailedRunsLeaveNoTemporaryFileButTheNamedInputCopy)
{
    test::ProcessOptions options;
    options.env = environment("");
    // The sample page with no printer to go to: its file goes.
    auto result = test::runProcess(ZEMPRINT_BINARY, {}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Cannot get default printer"), std::string::npos) << result.err;
    EXPECT_TRUE(tmpEmpty());

    // A job from standard input that fails: its copy stays, named.
    options.input = "Kept\r\n";
    result = test::runProcess(ZEMPRINT_BINARY, {"-", "no-such-queue"}, options);
    EXPECT_EQ(result.exitCode, 1);
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(dir.path() / "tmp")) left.push_back(entry.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(result.err.find("The job read from standard input is kept in \"" + left[0].string() + "\""),
              std::string::npos)
        << result.err;
    EXPECT_EQ(zemtest::readFile(left[0]), "Kept\r\n");
}

TEST_F(ZemprintCli, UnreachableDisplayPrintsHeadless)
{
    test::ProcessOptions options;
    options.env = environment("");
    options.env["DISPLAY"] = ":87";  // no server there
    const std::string job = dir.write("job.prn", "Headless\r\n");
    const auto result = test::runProcess(ZEMPRINT_BINARY, {job, dir.file("out.pdf")}, options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(test::pdfText(dir.file("out.pdf")).find("Headless"), std::string::npos);
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
    for (const char* option : {"--help", "-h"}) {
        const auto result = test::runProcess(ZEMPRINT_BINARY, {option});
        EXPECT_EQ(result.exitCode, 0) << option;
        EXPECT_EQ(result.out.rfind("Usage: zemprint [--pins 9|24] [--paper SIZE] [JOB [PRINTER]]\n", 0), 0u) << option;
    }
    auto result = test::runProcess(ZEMPRINT_BINARY, {"--help"});
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
