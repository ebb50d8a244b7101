// The real program from start to exit: log lines, the ways it ends, and the image errors.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t ConfigAreaSize = 0x18000;
// Default RAM (16 MB) minus the image address.
constexpr size_t LargestImage = 16 * 1024 * 1024 - 0x30000;

const std::vector<std::string> startUpLines = {
    "ZEM: VROS/E version ",
    "ZEM: Config information read",
    "ZEM: Memory allocation succesfull",
    "ZEM: Event system ready",
    "ZEM: OS read",
    "ZEM: 250hz poll ready",
    "ZEM: Clock ready",
    "ZEM: Emulation started",
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {}
    void TearDown() override
    {
        for (const fs::path& p : immutable) setImmutable(p, false);
    }

    // A copy of `source` grown with zeros to `size` bytes (or cut to it).
    fs::path imageOfSize(const char* source, size_t size, const char* name)
    {
        fs::path p = dir / name;
        fs::copy_file(source, p);
        fs::resize_file(p, size);
        return p;
    }

    static bool setImmutable(const fs::path& p, bool on)
    {
        int fd = open(p.c_str(), O_RDONLY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        close(fd);
        return ok;
    }

    // Makes the file impossible to open for writing, even for root.
    bool makeReadOnly(const fs::path& p)
    {
        chmod(p.c_str(), 0444);
        if (geteuid() != 0) return true;
        if (!setImmutable(p, true)) return false;
        immutable.push_back(p);
        return true;
    }

    zemtest::TempDir dir{"zem-program"};
    std::vector<fs::path> immutable;
};

}  // namespace

TEST_F(ProgramTest, GuestQuitRunsStartUpAndShutDownInOrder)
{
    GuestRun run = runImage(GUEST_QUIT);
    ASSERT_TRUE(run.exited) << run.describe();
    EXPECT_EQ(run.exitCode, 0) << run.describe();

    std::vector<std::string> all = run.lines();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().rfind("ZEM: Starting ZEM2 version ", 0), 0u) << run.describe();
    EXPECT_TRUE(run.linesInOrder(startUpLines)) << run.describe();
    EXPECT_TRUE(run.linesInOrder({"ZEM: Emulation started", "ZEM: QuitEmulation", "ZEM: End high precision timer",
                                  "ZEM: Free memory", "ZEM: Shut down event system", "ZEM: ZEM exited normally! :-)"}))
        << run.describe();
    // The processor thread ends during the guest's Quit, before memory goes.
    EXPECT_TRUE(run.linesInOrder({"ZEM: Emulation started", "M68K: Thread quit", "ZEM: Free memory"}))
        << run.describe();
    EXPECT_EQ(all.back(), "ZEM: ZEM exited normally! :-)");
    EXPECT_FALSE(run.hasLine("ZEM: 68k thread had to be terminated!"));
}

TEST_F(ProgramTest, GeneralLinesNeedTheDebugMask)
{
    GuestRunOptions options;
    options.args = {"-OS", GUEST_QUIT};
    GuestRun run = runGuest(options);
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.standardError, "") << run.describe();

    options.args = {"-os", GUEST_QUIT, "-dbg", "2"};  // another category only
    run = runGuest(options);
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_FALSE(run.contains("ZEM: ")) << run.describe();
}

TEST_F(ProgramTest, QuitWithoutCheckWordTakesTheIllegalInstructionPath)
{
    GuestRun run = runImage(GUEST_QUIT_WITHOUT_CHECK, {}, std::chrono::seconds(20));
    EXPECT_FALSE(run.timedOut) << "the handler did not see the expected frame\n" << run.describe();
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(run.contains("M68K access violation at address $00fffffe")) << "the handler left no mark\n"
                                                                            << run.describe();
    EXPECT_TRUE(run.hasLine("ZEM: ZEM exited normally! :-)")) << run.describe();
}

TEST_F(ProgramTest, TerminationSignalsShutDownInOrder)
{
    for (int signal : {SIGINT, SIGTERM}) {
        GuestRunOptions options;
        options.args = {"-OS", GUEST_SPIN, "-DBG", "1"};
        options.signalWhen = "ZEM: Emulation started";
        options.signalToSend = signal;
        GuestRun run = runGuest(options);
        ASSERT_TRUE(run.signalSent) << run.describe();
        EXPECT_FALSE(run.timedOut) << run.describe();
        EXPECT_TRUE(run.exited) << run.describe();
        EXPECT_EQ(run.exitCode, 0) << run.describe();
        EXPECT_TRUE(run.linesInOrder({"ZEM: Emulation started", "ZEM: QuitEmulation", "M68K: Thread quit",
                                      "ZEM: Free memory", "ZEM: ZEM exited normally! :-)"}))
            << run.describe();
        EXPECT_FALSE(run.hasLine("ZEM: 68k thread had to be terminated!")) << run.describe();
    }
}

TEST_F(ProgramTest, MissingImageShowsStringThree)
{
    GuestRun run = runImage((dir / "nothing.bin").string());
    EXPECT_TRUE(run.exited) << run.describe();
    EXPECT_NE(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(run.contains("ZEM II")) << run.describe();
    EXPECT_TRUE(run.contains("Error opening VROSE file.\nCode 2: No such file or directory")) << run.describe();
    EXPECT_FALSE(run.contains("ZEM: Config information read")) << run.describe();
    EXPECT_FALSE(run.contains("ZEM: QuitEmulation")) << "no shut-down after a failed start-up";
}

TEST_F(ProgramTest, ImageShorterThanConfigAreaShowsStringFour)
{
    struct Case {
        size_t size;
        const char* text;
    } cases[] = {
        {1000, "Corrupt VROSE file.\n1000 bytes read (98304 bytes requested).\nCode 0: "},
        {ConfigAreaSize - 1, "Corrupt VROSE file.\n98303 bytes read (98304 bytes requested).\nCode 0: "},
        {0, "Corrupt VROSE file.\n0 bytes read (98304 bytes requested).\nCode 0: "},
    };
    for (const Case& c : cases) {
        fs::path image = imageOfSize(GUEST_QUIT, c.size, ("short" + std::to_string(c.size)).c_str());
        GuestRun run = runImage(image.string());
        EXPECT_NE(run.exitCode, 0) << run.describe();
        EXPECT_TRUE(run.contains(c.text)) << run.describe();
        EXPECT_TRUE(run.contains("ZEM II")) << run.describe();
        EXPECT_FALSE(run.contains("ZEM: Memory allocation")) << run.describe();
    }
}

TEST_F(ProgramTest, ImageThatFillsRamExactlyRunsAndOneByteMoreNamesTheFileAndTheSizes)
{
    GuestRun fits = runImage(imageOfSize(GUEST_QUIT, LargestImage, "fits.bin").string());
    EXPECT_EQ(fits.exitCode, 0) << fits.describe();
    EXPECT_TRUE(fits.hasLine("ZEM: OS read")) << fits.describe();

    GuestRun tooBig = runImage(imageOfSize(GUEST_QUIT, LargestImage + 1, "big.bin").string());
    EXPECT_TRUE(tooBig.exited) << tooBig.describe();
    EXPECT_NE(tooBig.exitCode, 0) << tooBig.describe();
    EXPECT_TRUE(tooBig.hasLine("ZEM: Memory allocation succesfull")) << tooBig.describe();
    EXPECT_FALSE(tooBig.hasLine("ZEM: OS read")) << tooBig.describe();
    const fs::path big = dir / "big.bin";
    EXPECT_TRUE(tooBig.contains("[ZEM II] Error: The OS image does not fit into the guest memory.\n" + big.string() +
                                "\n" + std::to_string(LargestImage + 1) + " bytes; " + std::to_string(LargestImage) +
                                " bytes free above the load address in 16 MB of RAM."))
        << tooBig.describe();
    EXPECT_FALSE(tooBig.hasLine("ZEM: Emulation started")) << tooBig.describe();
    // What started is undone, latest first.
    EXPECT_TRUE(tooBig.linesInOrder({"ZEM: Start-up failed at image", "ZEM: Undoing events", "ZEM: Undoing memory",
                                     "ZEM: Undoing dialog", "ZEM: Undoing configuration", "ZEM: Undoing image-file"}))
        << tooBig.describe();
}

TEST_F(ProgramTest, GuestMemoryRefusedShowsStringTwo)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#else
    // 120 MB of address space holds the program but not the 256 MB guest reservation.
    GuestRunOptions options;
    options.program = "/bin/sh";
    options.args = {"-c", "ulimit -v 120000 && exec \"$0\" -OS \"$1\" -DBG 1", zemProgramPath(), GUEST_QUIT};
    GuestRun run = runGuest(options);
    EXPECT_NE(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(run.contains("ZEM II")) << run.describe();
    EXPECT_TRUE(run.contains("Cannot allocate memory.")) << run.describe();
    EXPECT_TRUE(run.hasLine("ZEM: Config information read")) << run.describe();
    EXPECT_FALSE(run.hasLine("ZEM: Memory allocation succesfull")) << run.describe();
#endif
}

TEST_F(ProgramTest, ReadOnlyImageStillStarts)
{
    fs::path image = imageOfSize(GUEST_QUIT, ConfigAreaSize, "readonly.bin");
    if (!makeReadOnly(image)) GTEST_SKIP() << "cannot make a file read-only for root here";
    ASSERT_LT(open(image.c_str(), O_RDWR), 0) << "the image is still writable";
    GuestRun run = runImage(image.string());
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(run.linesInOrder(startUpLines)) << run.describe();
}

TEST_F(ProgramTest, DefaultImageIsBesideTheProgram)
{
    fs::path program = dir / "zem2";
    fs::copy_file(zemProgramPath(), program);
    fs::permissions(program, fs::perms::owner_all);
    GuestRunOptions options;
    options.program = program.string();
    options.args = {"-DBG", "1"};

    GuestRun missing = runGuest(options);
    EXPECT_TRUE(missing.contains("Error opening VROSE file.\nCode 2: ")) << missing.describe();

    // Without VROSE.BIN our own guest system beside the program runs; the log names it.
    fs::copy_file(GUEST_QUIT, dir / "zem2-guest.bin");
    GuestRun own = runGuest(options);
    EXPECT_EQ(own.exitCode, 0) << own.describe();
    EXPECT_TRUE(own.hasLine("ZEM: OS image " + (dir / "zem2-guest.bin").string())) << own.describe();

    fs::copy_file(GUEST_QUIT, dir / "VROSE.BIN");
    GuestRun run = runGuest(options);
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_TRUE(run.hasLine("ZEM: OS read")) << run.describe();
    EXPECT_TRUE(run.hasLine("ZEM: OS image " + (dir / "VROSE.BIN").string())) << run.describe();
}

TEST_F(ProgramTest, CommandLineAnswersAndRefusals)
{
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* out;  // expected on standard output
        const char* err;  // expected on standard error
    } cases[] = {
        {{"--help"}, 0, "-os file", ""},
        {{"--version"}, 0, "zem2 ", ""},
        {{"-h"}, 0, "", "ZEM command line options:"},
        {{"-bogus"}, 1, "", "Illegal command line parameter:\n-bogus"},
        {{"-OS"}, 1, "", "Illegal command line parameter:\n(null)"},
    };
    for (const Case& c : cases) {
        GuestRunOptions options;
        options.args = c.args;
        GuestRun run = runGuest(options);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.describe();
        EXPECT_NE(run.standardOutput.find(c.out), std::string::npos) << run.describe();
        EXPECT_TRUE(run.contains(c.err)) << run.describe();
    }
}

TEST_F(ProgramTest, StartUpFailingAtTheLastPartUndoesEveryPartAndEndsWithAnError)
{
    GuestRunOptions options;
    options.args = {"-OS", GUEST_QUIT, "-DBG", "3"};
    options.environment = {{"ZEM_FAIL_PART", "processor"}};
    GuestRun run = runGuest(options);
    EXPECT_TRUE(run.exited) << run.describe();
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_TRUE(run.linesInOrder({"ZEM: Clock ready", "ZEM: Start-up failed at processor", "ZEM: Undoing clock",
                                  "ZEM: Undoing timer", "ZEM: Undoing display", "scr: Disp_Cleanup done.",
                                  "ZEM: Undoing image", "ZEM: Undoing events", "ZEM: Undoing memory",
                                  "ZEM: Undoing dialog", "ZEM: Undoing configuration", "ZEM: Undoing image-file"}))
        << run.describe();
    EXPECT_FALSE(run.hasLine("ZEM: Emulation started")) << run.describe();
    EXPECT_FALSE(run.hasLine("ZEM: Writing INI information")) << "a failed start-up saves nothing";
}
