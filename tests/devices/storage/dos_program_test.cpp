// Guest programs use drive DOS1 through the real emulator; the test checks what they
// printed and what the host folder holds afterwards.
#include "guest_runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class DosProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("zem_dosprog_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        base = root / "Medium";
        fs::create_directories(base);
        fs::create_directories(root / "data");
        fs::create_directories(root / "tmp");
    }
    void TearDown() override
    {
        if (!HasFailure()) fs::remove_all(root);
    }

    GuestRunOptions options(const char* image)
    {
        GuestRunOptions o;
        o.args = {"-OS", image, "-DBG", "0"};
        o.iniContents = "[Emulation]\nMemory=4\n[DOS]\nDOS1=" + base.string() + "\n";
        o.environment = {{"XDG_DATA_HOME", (root / "data").string()},
                         {"TMPDIR", (root / "tmp").string()},
                         {"ZEM_DOS_SECOND", (root / "second").string()}};
        return o;
    }
    GuestRun run(const char* image)
    {
        GuestRun r = runGuest(options(image));
        EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
        return r;
    }
    static void expectLines(const GuestRun& r, const std::vector<std::string>& lines)
    {
        for (const std::string& l : lines) EXPECT_TRUE(r.hasLine(l)) << "missing: " << l << "\n" << r.describe();
    }
    // Listing files left in the temporary folder (other programs may keep folders there).
    size_t listingFiles() const
    {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(root / "tmp")) n += e.path().extension() == ".tmp";
        return n;
    }
    static std::string fileText(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path root, base;
};

TEST_F(DosProgram, CreateOverwriteReadWritePositionAndTruncate)
{
    GuestRun r = run(GUEST_FILES);
    expectLines(r, {
                       "new 00000000",
                       "write 0000000c",
                       "close 00000000",
                       "again fffffff8",
                       "read 0000000c c 000000ff <Hello, world>",
                       "eof 00000000 c 000000ff",
                       "size 0000000c",
                       "readonly write ffffffe9",
                       "mid 00000003 c 00000000 <456>",
                       "truncate 00000000",
                       "size 00000008",
                       "missing fffffff9",
                       "badclose fffffff1",
                       "escape fffffff4",
                       "unclosed 0000000a",
                   });
    EXPECT_EQ(fileText(base / "notes.txt"), "Hello, world");
    EXPECT_EQ(fileText(base / "data"), "01XY45AB");
    EXPECT_EQ(fileText(base / "unclosed"), "0123456789");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(base)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"data", "notes.txt", "unclosed"}));
    EXPECT_EQ(listingFiles(), 0u);
}

TEST_F(DosProgram, HeadersDatesRenameDeleteAndAttributes)
{
    fs::create_directories(base / "tools");
    std::ofstream(base / "old.txt") << "old";
    GuestRun r = run(GUEST_HEADERS);
    expectLines(r, {
                       "save 00000000 d1 0000000e",
                       "header 00000000 given 00000040 length 00000004 type 00000001 dataspace 00001000 name <prog>",
                       "size 00000022",
                       "date 00000000 5f000000",
                       "short header given 00000010",
                       "rename 00000000",
                       "delete 00000000",
                       "delete again fffffff9",
                       "attributes 00000010",
                       "set attributes 00000000",
                       "read only 00000021",
                   });
    std::string stored = fileText(base / "tools" / "prog.bin");
    EXPECT_EQ(stored, std::string("]!QDOS File Header\0\x0F\0\x01\0\0\x10\0\0\0\0\0CODE", 34));
    EXPECT_FALSE(fs::exists(base / "prog"));
    EXPECT_FALSE(fs::exists(base / "old.txt"));
    EXPECT_EQ(fs::status(base / "tools" / "prog.bin").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(DosProgram, DirectoriesListingsFreeSpaceAndMedium)
{
    std::ofstream(base / "docs_readme") << "0123456789";
    std::ofstream(base / "docs.txt") << "t";
    GuestRun r = run(GUEST_DIRECTORIES);
    expectLines(r, {
                       "mkdir 00000000",
                       "opendir 00000000 name <docs>",
                       "entry <docs_readme> length 0000004a type 00000000",
                       "entry <docs_txt> length 00000041 type 00000000",
                       "deltmp 00000000",
                       "openbase 00000000",
                       "entry <docs> length 000000c0 type 000000ff",
                       "discfree 00000000 unit 00001000",
                       "free above total 00000000",
                       "discfree d6 fffffff1",
                       "discfree drive 0 fffffff1",
                       "minf 00000000 <Medium    >",
                       "xinf 00000000 name <Medium> drive 00000001 kind 444f5300 unit 00001000 header 00000040",
                       "getbase 00000000",
                       "getbase small fffffffb",
                       "setbase 00000000",
                       "base2 <" + (root / "second").string() + ">",
                       "opendir missing base fffffff9",
                       "setbase empty fffffff1",
                   });
    EXPECT_EQ(fileText(base / "docs" / "readme"), "0123456789");
    EXPECT_TRUE(fs::exists(base / "docs" / "txt"));
    EXPECT_EQ(listingFiles(), 0u);  // both listing files removed, the failed one never kept
}

// Writes reach the host file at once: a program ended by SIGTERM, never having closed
// its file, leaves all of it on disk.
TEST_F(DosProgram, TerminationKeepsEveryWrite)
{
    GuestRunOptions o = options(GUEST_KEPT);
    o.signalWhen = "written 00000009";
    o.signalToSend = SIGTERM;
    GuestRun r = runGuest(o);
    EXPECT_TRUE(r.signalSent) << r.describe();
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(fileText(base / "kept"), "kept data");
}

// A first run with no drive set up makes the drive folders in the user's data folder.
TEST_F(DosProgram, FirstRunMakesTheDriveFolders)
{
    GuestRunOptions o = options(GUEST_KEPT);
    o.iniContents = "[Emulation]\nMemory=4\n";
    o.signalWhen = "written 00000009";
    o.signalToSend = SIGTERM;
    GuestRun r = runGuest(o);
    EXPECT_TRUE(r.signalSent) << r.describe();
    for (int d = 1; d <= 8; ++d) EXPECT_TRUE(fs::is_directory(root / "data" / "zem2" / ("DOS" + std::to_string(d))));
    EXPECT_EQ(fileText(root / "data" / "zem2" / "DOS1" / "kept"), "kept data");
}

// The drive lies on a 64 KB memory file system of a private mount: writing past its end
// gives the drive-full code, and the file keeps what it had.
TEST_F(DosProgram, FullDriveReachesTheGuest)
{
    std::string probe = "unshare -rm sh -c 'mount -t tmpfs -o size=64k tmpfs " + base.string() + "' 2>/dev/null";
    if (system(probe.c_str()) != 0) GTEST_SKIP() << "no private mounts here (unshare -rm): disk-full run skipped";
    GuestRunOptions o = options(GUEST_FULL);
    std::ofstream(root / "zem.ini") << *o.iniContents;
    o.iniContents.reset();
    std::vector<std::string> args = {"-rm",         "sh",
                                     "-c",          "mount -t tmpfs -o size=64k tmpfs \"$0\" && exec \"$@\"",
                                     base.string(), zemProgramPath(),
                                     "-INI",        (root / "zem.ini").string()};
    args.insert(args.end(), o.args.begin(), o.args.end());
    o.program = "/usr/bin/unshare";
    o.args = args;
    GuestRun r = runGuest(o);
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    expectLines(r, {"first 00008000", "second 00008000", "third fffffff5", "size 00010000", "header fffffff5",
                    "size again 00010000"});
}

}  // namespace

namespace {

TEST_F(DosProgram, LogLinesOfTheDevice)
{
    GuestRunOptions o = options(GUEST_FILES);
    o.args = {"-OS", GUEST_FILES, "-DBG", "2049"};  // general and host-directory lines
    GuestRun r = runGuest(o);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    std::string notes = (base / "notes.txt").string();
    EXPECT_TRUE(r.linesInOrder({"ZEM: OS read", "ZEM: DOS ready", "ZEM: Emulation started", "ZEM: Free memory",
                                "ZEM: Close DOS", "ZEM: Shut down event system"}))
        << r.describe();
    expectLines(r, {
                       "DOS OpenNew (\"" + notes + "\"): ok ($00010000)",
                       "DOS Close ($00010000)",
                       "DOS OpenNew (\"" + notes + "\"): error (-8/17)",
                       "DOS Open (\"" + notes + "\", $1): ok ($00020000)",
                       "DOS GetFileSize ($00020000): ok (12)",
                       "DOS_Close: invalid handle",
                       "DOS name refused (leaves the drive): DOS1__.._outside",
                   });
    EXPECT_TRUE(r.contains("DOS Write ($00010000, $0003")) << r.describe();
    EXPECT_TRUE(r.contains(", 12): ok (12)\n")) << r.describe();
    EXPECT_TRUE(r.contains("DOS Read ($00020000, $0003")) << r.describe();
    EXPECT_TRUE(r.contains(", 100): ok (12)\n")) << r.describe();
    EXPECT_FALSE(r.contains("_.._outside\", $")) << "a refused name is not opened";
}

// Permissions bind only a process without the right to override them: as the superuser
// the program runs as "nobody".
TEST_F(DosProgram, ReadOnlyFileRefusesChangesAndStaysAsItWas)
{
    std::ofstream(base / "locked") << "original";
    fs::permissions(base / "locked", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const fs::path& p : {base, root / "tmp", root / "data"}) fs::permissions(p, fs::perms::all);
    GuestRunOptions o = options(GUEST_READONLY);
    std::ofstream(root / "zem.ini") << *o.iniContents;
    o.iniContents.reset();
    std::vector<std::string> args = {"-INI", (root / "zem.ini").string()};
    args.insert(args.end(), o.args.begin(), o.args.end());
    if (geteuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "running as root without setpriv";
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", zemProgramPath()});
        o.program = "/usr/bin/setpriv";
    }
    o.args = args;
    GuestRun r = runGuest(o);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    expectLines(r, {"open 00000000", "write ffffffe9", "truncate ffffffe9", "header ffffffe9", "read 00000008",
                    "overwrite ffffffe9"});
    EXPECT_EQ(fileText(base / "locked"), "original");
}

}  // namespace
