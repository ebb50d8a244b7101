// The host error map, and the file-system layer's own confinement: even a path that the
// name translation never produces cannot leave a confined anchor.
#include "core/guest_error.h"
#include "devices/storage/host_error.h"
#include "platform/fs_host.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(DosHostErrors, EveryHostErrorHasItsGuestCode)
{
    struct Case {
        int host;
        int32_t guest;
    } cases[] = {
        {0, 0},
        {ENOENT, GuestError::NotFound},
        {ENOTDIR, GuestError::NotFound},
        {EACCES, GuestError::HostAccessDenied},
        {EPERM, GuestError::HostAccessDenied},
        {EMFILE, GuestError::OutOfMemory},
        {ENFILE, GuestError::OutOfMemory},
        {ENOMEM, GuestError::OutOfMemory},
        {EEXIST, GuestError::AlreadyExists},
        {ENOTEMPTY, GuestError::InUse},
        {EBUSY, GuestError::InUse},
        {ETXTBSY, GuestError::InUse},
        {ENOSPC, GuestError::DriveFull},
        {EDQUOT, GuestError::DriveFull},
        {EFBIG, GuestError::DriveFull},
        {EROFS, GuestError::ReadOnly},
        {EBADF, GuestError::ChannelNotOpen},
        {EINVAL, GuestError::BadParameter},
        {ENAMETOOLONG, GuestError::BadParameter},
        {EIO, GuestError::BadMedium},
        {ENOSYS, GuestError::NotImplemented},
        {ENOTSUP, GuestError::NotImplemented},
        {EXDEV, GuestError::BadName},
        {ELOOP, GuestError::BadName},
        {EPIPE, GuestError::HostFailure},
    };
    for (const Case& c : cases) EXPECT_EQ(guestErrorFromHost(c.host), c.guest) << c.host;
}

// Run with the kernel's confined open and with the component walk that stands in for it.
class ConfinedAnchor : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        fsSetKernelConfinement(GetParam());
        root = fs::path(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") / ("zem_fs_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "base" / "in");
        fs::create_directories(root / "outside");
        std::ofstream(root / "outside" / "secret") << "s";
        fs::create_directory_symlink("../outside", root / "base" / "link");
        fd = fsOpenAnchor((root / "base").string());
        ASSERT_GE(fd, 0);
    }
    void TearDown() override
    {
        fsSetKernelConfinement(true);
        fsClose(fd);
        fs::remove_all(root);
    }
    FsAnchor at() const { return {fd, true}; }
    fs::path root;
    int fd = -1;
};

TEST_P(ConfinedAnchor, NoCallReachesOutside)
{
    using namespace FsOpen;
    for (const std::string& path : std::vector<std::string>{
             "../outside/secret", "link/secret", "in/../../outside/secret", (root / "outside/secret").string()}) {
        EXPECT_LT(fsOpenFile(at(), path, Read), 0) << path;
        EXPECT_LT(fsOpenFile(at(), path, Read | Write | Create | Truncate), 0) << path;
        FsInfo info;
        EXPECT_LT(fsStat(at(), path, info), 0) << path;
        EXPECT_LT(fsRemoveFile(at(), path), 0) << path;
        EXPECT_LT(fsSetWritable(at(), path, false), 0) << path;
    }
    EXPECT_LT(fsMakeDirectory(at(), "link/new"), 0);
    std::ofstream(root / "base" / "mine") << "m";
    EXPECT_LT(fsRename(at(), "mine", at(), "link/stolen"), 0);
    EXPECT_LT(fsListDirectory(at(), "link", [](const std::string&, FsKind) { return true; }), 0);
    EXPECT_EQ(fsOpenFile(at(), "link/secret", Read), -EXDEV);
    std::ofstream(root / "base" / "in" / "plain") << "p";
    int inside = fsOpenFile(at(), "in/plain", Read);
    EXPECT_GE(inside, 0);
    fsClose(inside);
    EXPECT_TRUE(fs::exists(root / "base" / "mine"));
    EXPECT_FALSE(fs::exists(root / "outside" / "new"));
    EXPECT_FALSE(fs::exists(root / "outside" / "stolen"));
    EXPECT_EQ(fs::file_size(root / "outside" / "secret"), 1u);
    EXPECT_TRUE((fs::status(root / "outside" / "secret").permissions() & fs::perms::owner_write) != fs::perms::none);
}

INSTANTIATE_TEST_SUITE_P(KernelAndWalk, ConfinedAnchor, ::testing::Values(true, false));

}  // namespace
