#include "printer/job/temp_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "printer/base/errors.h"
#include "printer/job/stdin_copy.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

// Points TMPDIR at a folder for the life of the object.
class TmpDirOverride {
public:
    explicit TmpDirOverride(const std::string& dir)
    {
        if (const char* old = std::getenv("TMPDIR")) old_ = old, hadOld_ = true;
        ::setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TmpDirOverride() { hadOld_ ? ::setenv("TMPDIR", old_.c_str(), 1) : ::unsetenv("TMPDIR"); }

private:
    std::string old_;
    bool hadOld_ = false;
};

TEST(TempFile, NamesAreZemXxxxxxTmpInTmpdir)
{
    zemtest::TempDir dir;
    TmpDirOverride tmp(dir.path().string());
    const std::string a = writeTemporaryFile("abc", 3);
    const std::string b = writeTemporaryFile("", 0);
    EXPECT_NE(a, b);
    for (const auto& name : {a, b}) {
        const std::filesystem::path p(name);
        EXPECT_EQ(p.parent_path(), dir.path());
        EXPECT_EQ(p.filename().string().size(), std::string("ZEMxxxxxx.tmp").size());
        EXPECT_EQ(p.filename().string().rfind("ZEM", 0), 0u);
        EXPECT_TRUE(hasTmpExtension(name));
    }
    EXPECT_EQ(zemtest::readFile(a), "abc");
}

TEST(TempFile, UnwritableDirectoryFails)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    zemtest::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TmpDirOverride tmp(dir.path().string());
    EXPECT_THROW(writeTemporaryFile("x", 1), EZEMPrint);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
}

TEST(TempFile, TmpExtensionIgnoresCase)
{
    struct Case {
        const char* path;
        bool tmp;
    };
    const Case cases[] = {
        {"/x/ZEM12.tmp", true}, {"job.TMP", true},   {"a.Tmp", true},     {"job.prn", false},
        {"tmp", false},         {".tmp/job", false}, {"job.tmpx", false}, {"job.tmp.prn", false},
    };
    for (const auto& c : cases) EXPECT_EQ(hasTmpExtension(c.path), c.tmp) << c.path;
}

TEST(StdinCopy, CopiesEverythingThroughAPipe)
{
    zemtest::TempDir dir;
    TmpDirOverride tmp(dir.path().string());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    TGetTempSTDINThrd copier(fds[0]);
    copier.start();
    // More than one chunk, written in pieces while the copy runs.
    std::string job;
    for (int i = 0; i < 3000; ++i) job += static_cast<char>(i * 7);
    for (std::size_t at = 0; at < job.size(); at += 700)
        ASSERT_GT(::write(fds[1], job.data() + at, std::min<std::size_t>(700, job.size() - at)), 0);
    ::close(fds[1]);
    const std::string name = copier.finish();
    EXPECT_TRUE(copier.done());
    ::close(fds[0]);
    EXPECT_EQ(zemtest::readFile(name), job);
    EXPECT_TRUE(hasTmpExtension(name));
}

TEST(StdinCopy, ClosedInputIsReportedAndLeavesNoFile)
{
    zemtest::TempDir dir;
    TmpDirOverride tmp(dir.path().string());
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::close(fds[1]);
    TGetTempSTDINThrd copier(fds[0]);
    copier.start();
    try {
        copier.finish();
        FAIL() << "a closed descriptor was read";
    } catch (const EZEMPrint& error) {
        EXPECT_STREQ(error.what(), "Cannot get StdIn handle");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace zemprint
