// Guest names to host paths and back, as tables over a real drive folder.
#include "dos_fixture.h"

#include "core/guest_error.h"
#include "devices/storage/dos_names.h"

namespace {

class DosNames : public DosDrive {
protected:
    std::string rel(const std::string& guest, bool extensionRule = true)
    {
        DosPath path;
        int32_t result = dosTranslateName(1, guest, extensionRule, path);
        return result == 0 ? path.rel : "error " + std::to_string(result);
    }
};

TEST_F(DosNames, GuestCharactersToHostBytes)
{
    struct Case {
        std::string guest, host;
    } cases[] = {
        {"a\"b",
         "a\xA8"
         "b"},
        {"a*b",
         "a\xD7"
         "b"},
        {"a/b",
         "a\x83"
         "b"},
        {"a:b",
         "a\x95"
         "b"},
        {"a<b",
         "a\x8B"
         "b"},
        {"a>b",
         "a\x9B"
         "b"},
        {"a?b",
         "a\x8A"
         "b"},
        {"a\\b",
         "a\xB6"
         "b"},
        {"a|b",
         "a\x86"
         "b"},
        // trailing blank and dot, only at the end of the last component
        {"abc ", "abc\xA0"},
        {"abc.", "abc\xB7"},
        {"a.b", "a.b"},
        {"a b", "a b"},
        // reserved device names, with and without extension; a trailing dot wins over them
        {"con", "con_"},
        {"CON", "CON_"},
        {"nul.txt", "nul_.txt"},
        {"lpt1.txt", "lpt1_.txt"},
        {"con.", "con\xB7"},
        {"com10", "com10"},
        {"console", "console"},
        {"aux_x", "aux_.x"},
        // guest character set: QL $83 is e acute, $60 the pound sign
        {"caf\x83", "caf\xE9"},
        {"\x60", "\xA3"},
        // '_' to '.' only when nothing of the name exists, from the last '_', not the first character
        {"notes_txt", "notes.txt"},
        {"a_b_c", "a_b.c"},
        {"_x", "_x"},
        {"x_", "x_"},
        {"con_txt", "con_.txt"},
        {"a.b_c", "a.b.c"},
        {"a_b.c", "a_b.c"},
    };
    for (const Case& c : cases) EXPECT_EQ(rel(c.guest), c.host) << c.guest;
}

TEST_F(DosNames, ExtensionRuleRespectsTheSettingAndExistingFiles)
{
    EXPECT_EQ(rel("notes_txt", false), "notes_txt");
    settings.ConvertFileExtension = 0;
    EXPECT_EQ(rel("notes_txt"), "notes_txt");
    settings.ConvertFileExtension = 1;
    makeFile(base / "notes_txt", "");
    makeFile(base / "notes.txt", "");
    EXPECT_EQ(rel("notes_txt"), "notes_txt");
}

TEST_F(DosNames, DirectoriesResolveOnlyWhereTheyExist)
{
    EXPECT_EQ(rel("dir_sub_file"), "dir_sub.file");
    fs::create_directories(base / "dir" / "sub");
    EXPECT_EQ(rel("dir_sub_file"), "dir\\sub\\file");
    EXPECT_EQ(rel("dir_sub"), "dir\\sub\\");
    EXPECT_EQ(rel("dir_"), "dir\\");  // a directory with directories inside
    EXPECT_EQ(rel("dir_other_x"), "dir\\other.x");
    // Letter case as the host stores it; the longest existing directory name wins.
    EXPECT_EQ(rel("DIR_SUB_file"), "dir\\sub\\file");
    fs::create_directories(base / "my_dir");
    EXPECT_EQ(rel("my_dir_notes"), "my_dir\\notes");
    // A directory named like a reserved device keeps its '_' on the host.
    fs::create_directories(base / "con_");
    EXPECT_EQ(rel("con_x"), "con_\\x");
}

TEST_F(DosNames, ExistingFilesAreFoundInAnyLetterCase)
{
    makeFile(base / "README.TXT", "x");
    EXPECT_EQ(rel("readme_txt"), "README.TXT");
    EXPECT_EQ(rel("Readme.Txt"), "README.TXT");
    EXPECT_EQ(rel("new_file"), "new.file");
    makeFile(base / "\xC3\x84rger", "");     // UTF-8 on disk, A umlaut
    EXPECT_EQ(rel("\xA0rger"), "\xC4rger");  // QL $A0 is A umlaut
    EXPECT_EQ(rel("\x80rger"), "\xC4rger");  // the lower-case guest letter finds it too
}

TEST_F(DosNames, LengthLimitAndDriveSelector)
{
    std::string baseHost = base.string() + "/";
    std::string fits(259 - baseHost.size(), 'x');
    EXPECT_EQ(rel(fits), fits);
    EXPECT_EQ(rel(fits + "y"), "error -12");
    DosPath path;
    settings.DOS[1] = (root / "second").string();
    fs::create_directories(root / "second");
    ASSERT_EQ(dosTranslateName(10, "f", true, path), 0);  // 10 is DOS2
    EXPECT_EQ(path.drive, 2);
    EXPECT_EQ(path.full(), (root / "second").string() + "/f");
    settings.DOS[1] = (root / "missing").string();
    EXPECT_EQ(dosTranslateName(2, "f", true, path), GuestError::NotFound);
    setenv("ZEM_DOS_TEST_DIR", root.c_str(), 1);
    ASSERT_EQ(dosTranslateName(0, "%ZEM_DOS_TEST_DIR%/x_y", true, path), 0);
    EXPECT_EQ(path.full(), root.string() + "/x_y");
}

TEST_F(DosNames, HostNamesBackToGuestNames)
{
    struct Case {
        std::string host, guest;
    } cases[] = {
        {"con_", "con"},
        {"CON_.txt", "CON.txt"},
        {"lpt1_.txt", "lpt1.txt"},
        {"con_x", "con_x"},
        {"com1_", "com1"},
        {"a\x83"
         "b",
         "a/b"},
        {"x\xA0", "x "},
        {"x\xB7", "x."},
        {"q\x8A", "q?"},
        {"\xE9t\xE9", "\x83t\x83"},
        {"a\\b", "a_b"},
        {"\xA3", "\x60"},
    };
    for (const Case& c : cases) EXPECT_EQ(dosHostToGuest(c.host), c.guest) << c.host;
}

}  // namespace
