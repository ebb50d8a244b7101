// The floppy caches driven directly on temporary images: which write-back path runs,
// that reads never see older data than the last write, and that nothing is lost.
#include "log/log.h"
#include "devices/storage/flp_drive.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

constexpr size_t Sector = 512;
constexpr unsigned Spt = 18;
constexpr size_t HighDensity = 1474560;

std::string pattern(size_t bytes)
{
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = char(i * 13 + (i >> 9));
    return data;
}

size_t offsetOf(unsigned t, unsigned h, unsigned s) { return ((t * 2 + h) * Spt + s) * Sector; }

std::vector<uint8_t> sectorOf(uint8_t seed)
{
    std::vector<uint8_t> s(Sector);
    for (size_t i = 0; i < Sector; ++i) s[i] = uint8_t(seed ^ i);
    return s;
}

// Captures the floppy log of one test through standard error.
class LogCapture {
public:
    LogCapture() : file_(tmpfile())
    {
        fflush(stderr);
        saved_ = dup(2);
        dup2(fileno(file_), 2);
        oldMask_ = zlogMask();
        zlogSetMask(LogCat::Floppy);
    }
    ~LogCapture()
    {
        stop();
        fclose(file_);
    }
    std::string text()
    {
        stop();
        std::string out;
        rewind(file_);
        for (int c; (c = fgetc(file_)) != EOF;) out += char(c);
        return out;
    }

private:
    void stop()
    {
        if (saved_ < 0) return;
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        zlogSetMask(oldMask_);
    }
    FILE* file_;
    int saved_ = -1;
    uint32_t oldMask_ = 0;
};

class FloppyCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        original = pattern(HighDensity);
        drive.name = dir.write("disk.img", original);
    }
    std::string image() const { return zemtest::readFile(dir / "disk.img"); }
    void put(unsigned t, unsigned h, unsigned s, uint8_t seed)
    {
        std::vector<uint8_t> data = sectorOf(seed);
        ASSERT_EQ(drive.writeSector(t, h, s + 1, data.data()), 0);
        expected.replace(offsetOf(t, h, s), Sector, reinterpret_cast<const char*>(data.data()), Sector);
    }
    zemtest::TempDir dir{"zem-flp"};
    FloppyDrive drive;
    std::string original;
    std::string expected = pattern(HighDensity);
};

TEST_F(FloppyCache, EachWriteBackPathWritesExactlyTheDirtySectors)
{
    struct Case {
        const char* name;
        unsigned sectors[2];  // sectors written per head: the first n of the track
        const char* logLine;
    };
    const Case cases[] = {
        {"dual", {Spt, Spt}, "Writing cache (dual track) 5\n"},
        {"full", {Spt, 0}, "Writing cache (full track) 5/0\n"},
        {"partial", {3, 0}, "Writing cache (partial track) 5/0\n"},
        {"mixed", {Spt, 2}, "Writing cache (partial track) 5/1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zemtest::writeFile(dir / "disk.img", original);
        expected = original;
        drive.flushAndClose();
        LogCapture log;
        for (unsigned h = 0; h < 2; ++h)
            for (unsigned s = 0; s < c.sectors[h]; ++s) put(5, h, s, uint8_t(s * 3 + h));
        EXPECT_EQ(image(), original) << "written before the write-back";
        uint8_t other[Sector];
        ASSERT_EQ(drive.readSector(6, 0, 1, other), 0);  // another track triggers it
        std::string text = log.text();
        EXPECT_NE(text.find(c.logLine), std::string::npos) << text;
        EXPECT_EQ(text.find("single sector"), std::string::npos) << text;
        EXPECT_TRUE(image() == expected) << "image differs";
    }
}

TEST_F(FloppyCache, ReadsSeeTheLatestWriteThroughBothCaches)
{
    uint8_t got[Sector];
    ASSERT_EQ(drive.readSector(2, 1, 4, got), 0);  // fills the read cache for 2/1
    put(2, 1, 3, 0x5A);
    ASSERT_EQ(drive.readSector(2, 1, 4, got), 0);  // still waiting in the write-back cache
    EXPECT_EQ(std::vector<uint8_t>(got, got + Sector), sectorOf(0x5A));
    put(2, 1, 0, 0x11);
    for (unsigned s = 1; s < Spt; ++s) put(2, 1, s, uint8_t(s));  // now a full track
    ASSERT_EQ(drive.readSector(3, 0, 1, got), 0);                 // written back
    ASSERT_EQ(drive.readSector(2, 1, 4, got), 0);                 // from the read cache
    EXPECT_EQ(std::vector<uint8_t>(got, got + Sector), sectorOf(3));
    EXPECT_TRUE(image() == expected);
}

TEST_F(FloppyCache, NothingIsLostOnAnyPathThatClosesTheDrive)
{
    uint8_t got[Sector];
    struct Path {
        const char* name;
        std::function<int32_t()> run;
    } paths[] = {
        {"flush", [&] { return drive.flushAndClose(); }},
        {"check medium", [&] { return drive.checkMedium(); }},
        {"boot sector", [&] { return drive.readSector(0, 0, 1, got); }},
    };
    uint8_t seed = 1;
    for (const Path& p : paths) {
        SCOPED_TRACE(p.name);
        put(0, 0, 5, seed++);
        put(0, 1, 7, seed++);
        EXPECT_EQ(p.run(), 0);
        EXPECT_FALSE(drive.hasDirtySectors());
        EXPECT_TRUE(image() == expected);
    }
}

TEST_F(FloppyCache, AFailedWriteBackKeepsTheSectorsAndReportsIt)
{
    put(4, 0, 0, 0x70);
    put(4, 0, 1, 0x71);
    put(4, 0, 5, 0x75);
    // A file-size limit inside the track: the whole-track write comes up short, the single
    // sectors below the limit succeed, the one above fails (EFBIG) and must stay pending.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = offsetOf(4, 0, 3);
    uint8_t got[Sector];
    int32_t moved = 0, flushed = 0;
    bool dirtyAfterMove = false, dirtyAfterFlush = false;
    std::string text;
    {
        LogCapture log;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        moved = drive.readSector(9, 0, 1, got);
        dirtyAfterMove = drive.hasDirtySectors();
        flushed = drive.flushAndClose();
        dirtyAfterFlush = drive.hasDirtySectors();
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
        text = log.text();
    }
    EXPECT_EQ(moved, -16);
    EXPECT_EQ(flushed, -16);
    EXPECT_TRUE(dirtyAfterMove && dirtyAfterFlush);
    EXPECT_NE(text.find("Writing cache (partial track) 4/0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Writing cache (single sector) 4/0/1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Writing cache (single sector) 4/0/5\n"), std::string::npos) << text;
    std::string partly = original;
    partly.replace(offsetOf(4, 0, 0), 2 * Sector, expected, offsetOf(4, 0, 0), 2 * Sector);
    EXPECT_TRUE(image() == partly) << "only the sectors below the limit are written";
    EXPECT_EQ(drive.flushAndClose(), 0);
    EXPECT_FALSE(drive.hasDirtySectors());
    EXPECT_TRUE(image() == expected);
}

TEST(FloppyImage, SizesFormatsAndProtection)
{
    zemtest::TempDir dir{"zem-flp"};
    for (const FloppyImageSize& size : FloppyImageSizes) {
        FloppyDrive drive;
        drive.name = dir.write("img", std::string(size.bytes, '\x42'));
        uint8_t got[FloppyMaxSectorBytes];
        EXPECT_EQ(drive.readSector(size.tracks - 1, 1, size.sectorsPerTrack, got), 0) << size.bytes;
        EXPECT_EQ(drive.sectorBytes(), size.sectorBytes);
        EXPECT_EQ(drive.readSector(size.tracks, 0, 1, got), -15) << "track past the image";
        EXPECT_EQ(drive.readSector(1, 0, size.sectorsPerTrack + 1, got), -15) << "sector past the track";
        EXPECT_EQ(drive.readSector(1, 2, 1, got), -15) << "third head";
        EXPECT_EQ(drive.readSector(1, 0, 0, got), -15) << "sector 0";
    }
    FloppyDrive drive;
    drive.name = dir.write("odd", std::string(1000000, '\0'));
    uint8_t got[Sector];
    EXPECT_EQ(drive.readSector(1, 0, 1, got), -4);
    drive.name = dir.file("none");
    EXPECT_EQ(drive.readSector(1, 0, 1, got), -7);
    EXPECT_EQ(drive.checkMedium(), 0);
    drive.name = dir.path().string();
    EXPECT_EQ(drive.readSector(1, 0, 1, got), -7);

    struct Format {
        unsigned sectors, tracks, heads, made;
        size_t bytes;
    } formats[] = {{9, 80, 2, 9, 737280}, {18, 80, 2, 18, 1474560}, {0xFF, 80, 2, 18, 1474560},
                   {10, 80, 2, 0, 0},     {9, 40, 2, 0, 0},         {9, 80, 1, 0, 0}};
    for (const Format& f : formats) {
        drive.name = dir.file("fmt" + std::to_string(f.sectors) + "-" + std::to_string(f.tracks) + "-" +
                              std::to_string(f.heads));
        EXPECT_EQ(drive.format(f.sectors, f.tracks, f.heads), f.made);
        std::error_code ec;
        EXPECT_EQ(std::filesystem::file_size(drive.name, ec), f.made ? f.bytes : uintmax_t(-1)) << f.sectors;
        if (f.made) {
            EXPECT_EQ(zemtest::readFile(drive.name).back(), '\2');
        }
    }
}

}  // namespace
