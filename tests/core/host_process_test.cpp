#include "core/host_process.h"

#include <gtest/gtest.h>

TEST(HostProcess, DirectoryIsEverythingBeforeTheLastSeparator)
{
    struct Case {
        const char* path;
        const char* dir;
    } cases[] = {
        {"/opt/zem/bin/zem2", "/opt/zem/bin"},
        {"/zem2", ""},
        {"VROSE.BIN", ""},
        {"images/VROSE.BIN", "images"},
        {"C:\\QL\\VROSE.BIN", "C:\\QL"},
        {"a/b\\c", "a/b"},
        {"dir/", "dir"},
    };
    for (const Case& c : cases) EXPECT_EQ(directoryOf(c.path), c.dir) << c.path;
}

TEST(HostProcess, ModulePathIsThisTestProgram)
{
    auto path = hostModulePath();
    ASSERT_TRUE(path.has_value());
    EXPECT_NE(path->find("core_base_tests"), std::string::npos) << *path;
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
