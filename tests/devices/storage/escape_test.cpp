// Hostile names on a drive: every one is refused, and a canary tree beside the base is
// neither read nor changed nor joined by new files.
#include "dos_fixture.h"

#include "core/guest_error.h"
#include "platform/fs_host.h"

#include <map>

namespace {

class DosEscape : public DosDrive {
protected:
    void SetUp() override
    {
        DosDrive::SetUp();
        canary = root / "canary";
        fs::create_directories(canary / "inner");
        makeFile(canary / "secret.txt", "secret");
        makeFile(canary / "inner" / "deep", "deep");
        fs::create_directory_symlink("../canary", base / "out");
        fs::create_symlink("../canary/secret.txt", base / "outfile");
        fs::create_directory_symlink(canary, base / "abs");
        fs::create_symlink("../canary/new.txt", base / "dangling");
        fs::create_symlink("loop", base / "loop");
        fs::create_directories(base / "inside");
        fs::create_directory_symlink("../inside", base / "inside" / "up");  // stays within: allowed
        before = snapshot();
    }

    // Every entry beside the base, with its content or a directory mark, and its time.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> seen;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
            fs::path p = it->path();
            if (p == base || p == root / "tmp") {
                it.disable_recursion_pending();
                continue;
            }
            std::string text = fs::is_directory(fs::symlink_status(p)) ? "<dir>" : fileText(p);
            text += '@';
            text += std::to_string(fs::last_write_time(p).time_since_epoch().count());
            text += ' ';
            text += std::to_string(int(fs::status(p).permissions()));
            seen[fs::relative(p, root).string()] = text;
        }
        return seen;
    }

    uint32_t openInside()
    {
        EXPECT_EQ(onName(OpenNew, "victim"), 0);
        return cpu.D[1];
    }

    void refuseHostileNames();

    fs::path canary;
    std::map<std::string, std::string> before;
};

void DosEscape::refuseHostileNames()
{
    struct Case {
        unsigned op;
        std::string name;
    } cases[] = {
        {Overwrite, "."},
        {Overwrite, ".."},
        {Overwrite, "_.._canary_secret_txt"},
        {Shared, ".._canary_secret_txt"},
        {OpenNew, "inside_.._.._canary_x"},
        {Shared, "out_secret_txt"},  // a directory link out of the tree
        {Overwrite, "out_secret.txt"},
        {Shared, "OUT_secret_txt"},  // the link in another letter case
        {Shared, "outfile"},         // a file link out of the tree
        {Overwrite, "OUTFILE"},
        {Exclusive, "Outfile"},
        {Shared, "abs_secret_txt"},  // an absolute link
        {OpenNew, "abs_fresh"},
        {OpenNew, "dangling"},  // creating through a link to a new file outside
        {Overwrite, "DANGLING"},
        {Shared, "loop_x"},
        {Shared, std::string("a\0b", 3)},
        {OpenNew, std::string(300, 'n')},
        {OpenNew, "x_._y"},
        {Delete, "outfile"},
        {Delete, "out_secret_txt"},
        {Delete, ".."},
        {MakeDir, "out_newdir"},
        {MakeDir, "_.."},
        {OpenDir, "out_"},
        {OpenDir, "out_inner"},
        {GetAttr, "out_secret_txt"},
        {SetAttr, "outfile"},
    };
    for (const Case& c : cases) {
        cpu.D[0] = 1;  // SetFileAttributes: read-only
        EXPECT_EQ(onName(c.op, c.name), GuestError::BadName) << "operation " << c.op << " on " << c.name;
    }

    // Renaming an open file out of the tree.
    uint32_t handle = openInside();
    for (std::string to : {"out_stolen", "..", "abs_stolen", "dangling", "_.._stolen"}) {
        putName(NameAt, to);
        cpu.D[1] = handle;
        cpu.A[1] = NameAt;
        cpu.D[2] = 1;
        EXPECT_EQ(call(Rename, 1), GuestError::BadName) << to;
    }
    EXPECT_EQ(closeHandle(handle), 0);
    EXPECT_TRUE(fs::exists(base / "victim"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(fileText(canary / "secret.txt"), "secret");
}

TEST_F(DosEscape, HostileNamesAreRefusedAndNothingOutsideIsTouched) { refuseHostileNames(); }

// Where the kernel has no confined open, the walk that replaces it holds the line too.
TEST_F(DosEscape, HostileNamesAreRefusedWithoutTheKernelsConfinedOpen)
{
    fsSetKernelConfinement(false);
    refuseHostileNames();
    fsSetKernelConfinement(true);
}

TEST_F(DosEscape, EncodedSeparatorsStayInsideAsPlainNames)
{
    for (std::string name : {"..%2f..%2fcanary", "a/../../canary"}) {
        ASSERT_EQ(onName(OpenNew, name), 0) << name;
        EXPECT_EQ(closeHandle(cpu.D[1]), 0);
    }
    EXPECT_TRUE(fs::exists(base / "..%2f..%2fcanary"));
    EXPECT_TRUE(fs::exists(base / "a\xC6\x92..\xC6\x92..\xC6\x92"
                                  "canary"));  // '/' as U+0192 on disk
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DosEscape, LinksWithinTheTreeStillWork)
{
    makeFile(base / "inside" / "note", "hi");
    EXPECT_EQ(onName(Shared, "inside_up_note"), 0);
    EXPECT_EQ(closeHandle(cpu.D[1]), 0);
}

TEST_F(DosEscape, ListingsOfTheBaseShowLinksWithoutFollowingThemOut)
{
    ASSERT_EQ(onName(OpenDir, ""), 0);
    uint32_t handle = cpu.D[1];
    cpu.D[1] = handle;
    cpu.A[1] = BufferAt;
    cpu.D[0] = 64 * 20;
    call(Read, 1);
    std::string names;
    for (uint32_t at = BufferAt; at < BufferAt + cpu.D[0]; at += 64) names += guestString(at + 14) + " ";
    EXPECT_NE(names.find("inside "), std::string::npos) << names;
    EXPECT_EQ(names.find("secret"), std::string::npos) << names;
    EXPECT_EQ(closeHandle(handle), 0);
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
