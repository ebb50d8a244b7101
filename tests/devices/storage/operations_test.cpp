// The DOS operations in process: data, positions, stored headers, handles, host errors.
#include "dos_fixture.h"

#include "core/guest_error.h"
#include "devices/storage/dos_handles.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/resource.h>

namespace {

class DosOperations : public DosDrive {
public:
    int32_t onNamePublic(unsigned op, const std::string& name) { return onName(op, name); }
    std::string guestStringPublic(uint32_t at) { return guestString(at); }
    std::string guestBytesPublic(uint32_t at, uint32_t n) { return guestBytes(at, n); }

protected:
    uint32_t create(const std::string& name, const std::string& data = "")
    {
        EXPECT_EQ(onName(OpenNew, name), 0) << name;
        uint32_t handle = cpu.D[1];
        if (!data.empty()) {
            EXPECT_EQ(writeData(handle, data), int32_t(data.size()));
        }
        return handle;
    }
    uint32_t open(unsigned variant, const std::string& name)
    {
        EXPECT_EQ(onName(variant, name), 0) << name;
        return cpu.D[1];
    }
    // Reads up to `count` bytes; the text read, with D0 and the flags left as the call set them.
    std::string readData(uint32_t handle, uint32_t count)
    {
        cpu.D[1] = handle;
        cpu.A[1] = BufferAt;
        cpu.D[0] = count;
        EXPECT_EQ(call(Read, 1), HostCallResult::KeepRegisters);
        return guestBytes(BufferAt, cpu.D[0]);
    }
    int32_t movePointer(uint32_t handle, uint32_t position)
    {
        cpu.D[1] = handle;
        cpu.D[3] = position;
        return call(Move, 3);
    }
    std::string header(uint32_t handle)
    {
        cpu.D[1] = handle;
        cpu.A[1] = BufferAt;
        cpu.D[0] = 64;
        EXPECT_EQ(call(ReadHeader), 0);
        EXPECT_EQ(cpu.D[1], 64u);
        return guestBytes(BufferAt, 64);
    }
    int32_t saveHeader(uint32_t handle, uint8_t type, uint32_t dataspace, uint32_t extra = 0)
    {
        std::string h(64, '\0');
        h[5] = char(type);
        for (int i = 0; i < 4; ++i) {
            h[6 + i] = char(dataspace >> (24 - 8 * i));
            h[10 + i] = char(extra >> (24 - 8 * i));
        }
        putBytes(BufferAt, h);
        cpu.D[1] = handle;
        cpu.A[1] = BufferAt;
        return call(SaveHeader);
    }
    static uint32_t big32(const std::string& s, size_t at)
    {
        return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
               uint8_t(s[at + 3]);
    }
    uint32_t fileSize(uint32_t handle)
    {
        cpu.D[1] = handle;
        EXPECT_EQ(call(Size, 4), HostCallResult::KeepRegisters);
        return cpu.D[4];
    }
};

TEST_F(DosOperations, ReadWritePositionAndTruncate)
{
    uint32_t h = create("data", "0123456789");
    EXPECT_EQ(movePointer(h, 4), 0);
    cpu.flags = CpuFlag::Z | CpuFlag::N;
    EXPECT_EQ(readData(h, 3), "456");
    EXPECT_EQ(cpu.flags & (CpuFlag::C | CpuFlag::Z | CpuFlag::N),
              CpuFlag::Z | CpuFlag::N);  // full read: C clear, rest kept
    EXPECT_EQ(readData(h, 10), "789");
    EXPECT_TRUE(cpu.flags & CpuFlag::C);
    EXPECT_EQ(readData(h, 10), "");  // end of file: a short count, not an error
    EXPECT_EQ(cpu.D[0], 0u);
    EXPECT_TRUE(cpu.flags & CpuFlag::C);
    EXPECT_EQ(movePointer(h, 6), 0);
    EXPECT_EQ(writeData(h, "AB"), 2);
    cpu.D[1] = h;
    EXPECT_EQ(call(Truncate), 0);
    EXPECT_EQ(fileSize(h), 8u);
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_EQ(fileText(base / "data"), "012345AB");

    h = open(Overwrite, "DATA");  // any letter case finds the file, and overwriting empties it
    EXPECT_EQ(fileSize(h), 0u);
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_TRUE(fs::exists(base / "data"));
    EXPECT_FALSE(fs::exists(base / "DATA"));
}

TEST_F(DosOperations, StoredHeaderIsInsertedReadAndRemoved)
{
    uint32_t h = create("prog", "DATA");
    EXPECT_EQ(fileText(base / "prog"), "DATA");  // no header until one is needed
    EXPECT_EQ(saveHeader(h, 1, 0x1234, 0x56), 0);
    EXPECT_EQ(cpu.D[1], 14u);
    std::string expected = std::string("]!QDOS File Header") + std::string("\0\x0F", 2) + std::string("\0\x01", 2) +
                           std::string("\0\0\x12\x34", 4) + std::string("\0\0\0\x56", 4) + "DATA";
    EXPECT_EQ(fileText(base / "prog"), expected);
    std::string image = header(h);
    EXPECT_EQ(big32(image, 0), 4u);  // data only
    EXPECT_EQ(uint8_t(image[5]), 1);
    EXPECT_EQ(big32(image, 6), 0x1234u);
    EXPECT_EQ(big32(image, 10), 0x56u);
    EXPECT_EQ(image.substr(14, 6), std::string("\0\x04prog", 6));
    EXPECT_EQ(big32(image, 52), big32(image, 60));
    EXPECT_EQ(fileSize(h), 34u);  // the host size counts the stored header
    EXPECT_EQ(movePointer(h, 1), 0);
    EXPECT_EQ(readData(h, 3), "ATA");
    EXPECT_EQ(closeHandle(h), 0);

    h = open(Shared, "prog");  // read back at open
    std::string again = header(h);
    EXPECT_EQ(again.substr(4, 10), image.substr(4, 10));
    EXPECT_EQ(readData(h, 10), "DATA");
    EXPECT_EQ(closeHandle(h), 0);

    h = open(Exclusive, "prog");
    EXPECT_EQ(saveHeader(h, 0, 0, 0), 0);
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_EQ(fileText(base / "prog"), "DATA");
}

TEST_F(DosOperations, HeaderImageKeepsThirtySixNameCharacters)
{
    std::string name(40, 'n');
    uint32_t h = create(name);
    std::string image = header(h);
    EXPECT_EQ(uint8_t(image[15]), 36);
    EXPECT_EQ(image.substr(16, 36), std::string(36, 'n'));
    EXPECT_EQ(image.substr(52, 4), image.substr(60, 4));  // the date, not the rest of the name
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_TRUE(fs::exists(base / name));  // the host name keeps every character
}

TEST_F(DosOperations, HeaderMagicWithAShortLength)
{
    // Byte 19 below 15: the data starts at twice it, and no fields are taken.
    makeFile(base / "odd", std::string("]!QDOS File Header") + std::string("\0\x0A", 2) + "0123456789" + "rest");
    uint32_t h = open(Shared, "odd");
    EXPECT_EQ(readData(h, 20), "0123456789rest");
    std::string image = header(h);
    EXPECT_EQ(big32(image, 0), 14u);
    EXPECT_EQ(image.substr(5, 9), std::string(9, '\0'));
    EXPECT_EQ(closeHandle(h), 0);
    // Setting a type there moves the data up instead of writing the fields over it.
    h = open(Exclusive, "odd");
    EXPECT_EQ(saveHeader(h, 2, 0), 0);
    EXPECT_EQ(movePointer(h, 0), 0);
    EXPECT_EQ(readData(h, 20), "0123456789rest");
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_EQ(fs::file_size(base / "odd"), 30u + 14u);
}

TEST_F(DosOperations, HandleTableGrowsWrapsAndRejectsStaleHandles)
{
    DosHandleTable table;
    ASSERT_TRUE(table.reset());
    std::vector<uint32_t> open;
    for (int i = 0; i < 129; ++i) {
        uint32_t h = 0;
        ASSERT_NE(table.allocate(h), nullptr);
        open.push_back(h);
    }
    EXPECT_EQ(table.capacity(), 256u);
    EXPECT_EQ(open[128], uint32_t(129) << 16 | 128);
    for (uint32_t h : open) table.free(h);
    for (uint32_t i = 129; i < DosHandleTable::LastSequence; ++i) {
        uint32_t h = 0;
        ASSERT_NE(table.allocate(h), nullptr);
        table.free(h);
    }
    uint32_t h = 0;
    ASSERT_NE(table.allocate(h), nullptr);
    EXPECT_EQ(h >> 16, 1u);  // 65534 was the last sequence number
    EXPECT_EQ(table.find(h ^ 0x10000), nullptr);
    EXPECT_EQ(table.find((h & 0xFFFF0000) | 0xFFFF), nullptr);

    uint32_t file = create("x");
    EXPECT_EQ(closeHandle(file), 0);
    for (unsigned op : {Close, Read, Write, Move, Truncate, ReadHeader, SaveHeader, Size}) {
        cpu.D[1] = file;  // closed: its sequence is gone
        cpu.A[1] = BufferAt;
        cpu.D[0] = 1;
        EXPECT_EQ(call(op, 1), GuestError::BadParameter) << op;
    }
}

TEST_F(DosOperations, UnassignedWordsAreIllegalInstructions)
{
    for (unsigned index : {1u, 11u, 17u, 19u, 21u, 27u}) EXPECT_EQ(call(index, 0), HostCallResult::Illegal) << index;
    for (unsigned n = 2; n < 8; ++n) EXPECT_EQ(call(31, n), HostCallResult::Illegal) << "$ADF" << n + 8;
    EXPECT_NE(call(31, 0), HostCallResult::Illegal);
}

TEST_F(DosOperations, NameOperationsAndTheirRefusals)
{
    uint32_t h = create("notes_txt", "n");
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_TRUE(fs::exists(base / "notes.txt"));
    EXPECT_EQ(onName(OpenNew, "NOTES_TXT"), GuestError::AlreadyExists);
    EXPECT_EQ(onName(Shared, "missing"), GuestError::NotFound);
    EXPECT_EQ(onName(MakeDir, "docs"), 0);
    EXPECT_EQ(onName(OpenNew, "docs"), GuestError::AlreadyExists);
    EXPECT_EQ(onName(Shared, "docs"), GuestError::NotFound);
    EXPECT_EQ(onName(GetAttr, "docs"), 0x10);
    EXPECT_EQ(onName(GetAttr, "notes_txt"), 0x20);

    h = create("docs_a", "a");
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_TRUE(fs::exists(base / "docs" / "a"));
    EXPECT_EQ(onName(Delete, "docs"), GuestError::InUse);

    h = open(Exclusive, "notes_txt");
    putName(NameAt, "docs_moved_txt");
    cpu.D[1] = h;
    cpu.A[1] = NameAt;
    cpu.D[2] = 1;
    EXPECT_EQ(call(Rename, 1), 0);
    EXPECT_EQ(header(h).substr(14, 16), std::string("\0\x0E"
                                                    "docs_moved_txt",
                                                    16));
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_TRUE(fs::exists(base / "docs" / "moved.txt"));
    EXPECT_FALSE(fs::exists(base / "notes.txt"));

    EXPECT_EQ(onName(Delete, "docs_moved_txt"), 0);
    EXPECT_EQ(onName(Delete, "docs_a"), 0);
    EXPECT_EQ(onName(Delete, "docs"), 0);
    EXPECT_EQ(onName(Delete, "docs"), GuestError::NotFound);
    EXPECT_TRUE(fs::is_empty(base));
}

TEST_F(DosOperations, CreateDirectoryGathersItsMembers)
{
    makeFile(base / "proj_main", "m");
    makeFile(base / "proj.txt", "t");
    makeFile(base / "project", "p");
    EXPECT_EQ(onName(MakeDir, "proj"), 0);
    EXPECT_TRUE(fs::exists(base / "proj" / "main"));
    EXPECT_TRUE(fs::exists(base / "proj" / "txt"));
    EXPECT_TRUE(fs::exists(base / "project"));
}

// A file-size limit stands in for a full drive: the write is refused with the drive-full
// code and the file keeps its old length and content.
TEST_F(DosOperations, FullDriveLeavesTheFileAsItWas)
{
    uint32_t h = create("big", std::string(1000, 'a'));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int32_t result = writeData(h, std::string(8000, 'b'));
    int32_t header = saveHeader(h, 1, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, GuestError::DriveFull);
    EXPECT_EQ(header, 0);  // 30 more bytes still fit
    EXPECT_EQ(fileSize(h), 1030u);
    EXPECT_EQ(closeHandle(h), 0);
    EXPECT_EQ(fileText(base / "big").substr(30), std::string(1000, 'a'));
}

TEST_F(DosOperations, VanishedDirectories)
{
    fs::create_directories(base / "gone");
    makeFile(base / "gone" / "f", "x");
    ASSERT_EQ(onName(OpenDir, "gone_"), 0);
    uint32_t listing = cpu.D[1];
    fs::remove_all(base / "gone");
    cpu.D[1] = listing;
    cpu.A[1] = BufferAt;
    cpu.D[0] = 64;
    EXPECT_EQ(call(ReadHeader), GuestError::NotFound);
    EXPECT_EQ(closeHandle(listing), 0);

    fs::remove_all(base);
    EXPECT_EQ(onName(OpenNew, "x"), GuestError::NotFound);
    EXPECT_EQ(onName(MakeDir, "d"), GuestError::NotFound);
    EXPECT_FALSE(fs::exists(base));
}

// The listing of a directory as the guest reads it: name, length and type per entry.
std::map<std::string, std::pair<uint32_t, int>> listing(DosOperations& t, const std::string& name,
                                                        std::string* rewritten = nullptr)
{
    std::map<std::string, std::pair<uint32_t, int>> entries;
    EXPECT_EQ(t.onNamePublic(3, name), 0) << name;
    uint32_t handle = cpu.D[1];
    if (rewritten) *rewritten = t.guestStringPublic(DosDrive::NameAt);
    while (true) {
        cpu.D[1] = handle;
        cpu.A[1] = DosDrive::BufferAt;
        cpu.D[0] = 64;
        if (hostCall(HostCallGroupId::Dos, 6, 1) != HostCallResult::KeepRegisters || cpu.D[0] != 64) break;
        std::string entry = t.guestBytesPublic(DosDrive::BufferAt, 64);
        std::string entryName = entry.substr(16, uint8_t(entry[15]));
        uint32_t length = uint32_t(uint8_t(entry[0])) << 24 | uint32_t(uint8_t(entry[1])) << 16 |
                          uint32_t(uint8_t(entry[2])) << 8 | uint8_t(entry[3]);
        entries[entryName] = {length, uint8_t(entry[5])};
    }
    cpu.D[1] = handle;
    EXPECT_EQ(hostCall(HostCallGroupId::Dos, 3, 0), 0);
    return entries;
}

TEST_F(DosOperations, ListingsNameLengthAndKindOfEveryEntry)
{
    fs::create_directories(base / "sub" / "deeper");
    makeFile(base / "sub" / "a", "");
    makeFile(base / "notes_txt", "1");
    makeFile(base / "notes.txt", "22");
    makeFile(base / "report.doc", "333");
    makeFile(base / "con_", "");
    makeFile(base / "lpt1_.txt", "");
    makeFile(base / "\xC3\xA4.txt", "");  // a umlaut on disk
    makeFile(base / std::string(36, 'L'), "");
    makeFile(base / std::string(37, 'T'), "");
    makeFile(base / "sub" / std::string(33, 'x'), "");  // 33 + "sub_" passes 36
    makeFile(base / "sub" / std::string(32, 'y'), "");
    auto top = listing(*this, "");
    std::map<std::string, std::pair<uint32_t, int>> expected{
        {"sub", {64 * 4 + 64, 0xFF}},                              // four entries inside
        {"notes_txt", {1 + 64, 0}},   {"notes.txt", {2 + 64, 0}},  // shown as it is: notes_txt exists beside it
        {"report_doc", {3 + 64, 0}},  {"con", {64, 0}},
        {"lpt1_txt", {64, 0}},  // the reserved mark goes before the extension turns into '_'
        {"\x80_txt", {64, 0}},        {std::string(36, 'L'), {64, 0}},
    };
    EXPECT_EQ(top, expected);

    std::string rewritten;
    auto sub = listing(*this, "SUB_", &rewritten);
    EXPECT_EQ(rewritten, "sub");
    std::map<std::string, std::pair<uint32_t, int>> expectedSub{
        {"sub_deeper", {64, 0xFF}},
        {"sub_a", {64, 0}},
        {"sub_" + std::string(32, 'y'), {64, 0}},
    };
    EXPECT_EQ(sub, expectedSub);

    settings.ConvertFileExtension = 0;
    EXPECT_EQ(listing(*this, "").count("report.doc"), 1u);
}

TEST_F(DosOperations, DeletingAnOpenFileFreesItsNameAtOnce)
{
    uint32_t reader = create("busy", "old content");
    EXPECT_EQ(onName(Delete, "busy"), 0);
    EXPECT_FALSE(fs::exists(base / "busy"));
    uint32_t fresh = create("busy", "new");
    EXPECT_EQ(movePointer(reader, 0), 0);
    EXPECT_EQ(readData(reader, 20), "old content");
    EXPECT_EQ(closeHandle(reader), 0);
    EXPECT_EQ(closeHandle(fresh), 0);
    EXPECT_EQ(fileText(base / "busy"), "new");
    for (const auto& e : fs::directory_iterator(base)) EXPECT_EQ(e.path().filename(), "busy");
}

TEST_F(DosOperations, DatesInGuestSecondsAndTheirLimits)
{
    uint32_t h = create("dated");
    cpu.D[1] = h;
    cpu.D[3] = 0x5F000000;
    EXPECT_EQ(call(29, 3), 0);
    cpu.D[1] = h;
    EXPECT_EQ(call(28, 3), 0);
    EXPECT_EQ(cpu.D[3], 0x5F000000u);
    EXPECT_EQ(closeHandle(h), 0);
    // 1961-01-01 local midnight is day zero: one second later in local time.
    fs::last_write_time(base / "dated", fs::file_time_type::clock::now());
    struct timespec t[2] = {{0, UTIME_OMIT}, {0, 0}};
    tm local{};
    local.tm_year = 50;  // 1950: before the guest's era
    local.tm_mday = 1;
    local.tm_isdst = -1;
    t[1].tv_sec = mktime(&local);
    ASSERT_EQ(utimensat(AT_FDCWD, (base / "dated").c_str(), t, 0), 0);
    h = open(Shared, "dated");
    cpu.D[1] = h;
    EXPECT_EQ(call(28, 3), 0);
    EXPECT_EQ(cpu.D[3], 0xFFFFFFFFu);
    EXPECT_EQ(closeHandle(h), 0);
}

}  // namespace
