#include "platform/host_process.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

TEST(HostProcess, DirectoryIsEverythingBeforeTheLastSeparator)
{
    struct Case {
        const char* path;
        const char* dir;
    } cases[] = {
        {"/opt/zem/bin/zem2", "/opt/zem/bin"}, {"/zem2", ""},     {"VROSE.BIN", ""}, {"images/VROSE.BIN", "images"},
        {"C:\\QL\\VROSE.BIN", "C:\\QL"},       {"a/b\\c", "a/b"}, {"dir/", "dir"},
    };
    for (const Case& c : cases) EXPECT_EQ(directoryOf(c.path), c.dir) << c.path;
}

TEST(HostProcess, ModulePathIsThisTestProgram)
{
    auto path = hostModulePath();
    ASSERT_TRUE(path.has_value());
    EXPECT_NE(path->find("platform_tests"), std::string::npos) << *path;
    EXPECT_TRUE(hostIsExecutableFile(*path));
}

TEST(HostProcess, HelperIsLookedForBesideProgramThenInstallDirThenPath)
{
    auto c = helperProgramCandidates("zemprint", "/here", "/usr/local/bin", "/a::/b:");
    std::vector<std::string> expected{"/here/zemprint", "/usr/local/bin/zemprint", "/a/zemprint", "/b/zemprint"};
    EXPECT_EQ(c, expected);
    // No PATH and no program directory: only the installation remains.
    EXPECT_EQ(helperProgramCandidates("zemprint", "", "/inst", nullptr), std::vector<std::string>{"/inst/zemprint"});
}

TEST(HostProcess, OnlyExecutableRegularFilesCount)
{
    EXPECT_FALSE(hostIsExecutableFile("/"));
    EXPECT_FALSE(hostIsExecutableFile("/nonexistent/zemprint"));
}

TEST(HostProcess, EnvironmentVariablesThatExistAreExpanded)
{
    setenv("ZEM_TEST_A", "/data", 1);
    unsetenv("ZEM_TEST_NONE");
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"%ZEM_TEST_A%/ql", "/data/ql"},
        {"x%ZEM_TEST_A%%ZEM_TEST_A%", "x/data/data"},
        {"%ZEM_TEST_NONE%/ql", "%ZEM_TEST_NONE%/ql"},
        // The closing '%' of an unknown name opens no second one.
        {"%ZEM_TEST_NONE%ZEM_TEST_A%", "%ZEM_TEST_NONE%ZEM_TEST_A%"},
        {"%ZEM_TEST_NONE%%ZEM_TEST_A%", "%ZEM_TEST_NONE%/data"},
        {"%%ZEM_TEST_A%", "%%ZEM_TEST_A%"},
        {"%ZEM_TEST_A", "%ZEM_TEST_A"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(expandEnvironmentStrings(c.in), c.out) << c.in;
}

TEST(HostProcess, ChangesDirectoryAndNamesTheComputer)
{
    const std::filesystem::path before = std::filesystem::current_path();
    zemtest::TempDir dir("zem-cwd");
    ASSERT_TRUE(hostChangeDirectory(dir.path().string()));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.path()));
    EXPECT_FALSE(hostChangeDirectory(dir.file("missing")));
    ASSERT_TRUE(hostChangeDirectory(before.string()));

    char expected[256] = {};
    ASSERT_EQ(gethostname(expected, sizeof expected - 1), 0);
    EXPECT_EQ(hostComputerName(), expected);
}
