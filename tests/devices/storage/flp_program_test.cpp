// The floppy drives through a guest program in the real emulator, against temporary
// images checked byte for byte on the host.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {

constexpr size_t Sector = 512;

std::string pattern(size_t bytes, unsigned salt)
{
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = char(i * 5 + (i >> 9) + salt);
    return data;
}

std::string firstLong(const std::string& data, size_t at)
{
    char text[9];
    snprintf(text, sizeof text, "%02x%02x%02x%02x", uint8_t(data[at]), uint8_t(data[at + 1]), uint8_t(data[at + 2]),
             uint8_t(data[at + 3]));
    return text;
}

size_t offsetOf(unsigned spt, unsigned t, unsigned h, unsigned s) { return ((t * 2 + h) * spt + s) * Sector; }

void putSeed(std::string& image, size_t at, uint8_t seed)
{
    for (size_t i = 0; i < Sector; ++i) image[at + i] = char(uint8_t(seed + i));
}

const std::string Marker = "eeeeeeee";

TEST(FlpProgram, EveryOperationAgainstHostImages)
{
    zemtest::TempDir dir{"zem-flp"};
    const std::string high = pattern(1474560, 0);
    const std::string low = pattern(737280, 3);
    dir.write("high.img", high);
    dir.write("low.img", low);
    chmod(dir.file("low.img").c_str(), 0444);
    dir.write("odd.img", std::string(1000000, '\0'));
    dir.write("zem.ini",
              "[Emulation]\nMemory=4\n[FLP]\nFLP1=" + dir.file("high.img") + "\nFLP2=" + dir.file("low.img") + "\n");
    GuestRunOptions options;
    options.args = {"-OS", GUEST_FLP_OPS, "-INI", dir.file("zem.ini"), "-DBG", "1025"};
    options.workingDirectory = dir.path().string();
    GuestRun r = runGuest(options);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    auto line = [&](const std::string& text) { EXPECT_TRUE(r.hasLine(text)) << text << "\n" << r.describe(); };
    const bool root = geteuid() == 0;

    line("boot 00000000 " + firstLong(high, 0));
    line("middle 00000000 " + firstLong(high, offsetOf(18, 40, 1, 9)));
    line("last 00000000 " + firstLong(high, offsetOf(18, 79, 1, 17)));
    for (const char* tag : {"pasttracks", "pastsectors", "thirdhead"}) line(std::string(tag) + " fffffff1 " + Marker);
    for (const char* tag : {"drive0", "drive3", "drive255"}) line(std::string(tag) + " fffffff9 " + Marker);
    line("write 00000000");
    line("readback 00000000 90919293");
    line("writepast fffffff1");
    line("readedge fffffff1");
    line("writeedge fffffff1");
    line("aftercylinder 00000000 " + firstLong(high, offsetOf(18, 4, 0, 0)));
    line("flush 00000000 failures 00000000");
    EXPECT_TRUE(r.linesInOrder({"Writing cache (dual track) 3",
                                "aftercylinder 00000000 " + firstLong(high, offsetOf(18, 4, 0, 0)),
                                "Writing cache (full track) 5/0", "Filling cache 7/1",
                                "Writing cache (partial track) 7/1", "flush 00000000 failures 00000000"}))
        << r.describe();
    EXPECT_FALSE(r.contains("single sector")) << r.describe();

    line("medium1 00000000");
    line(root ? "medium2 00000000" : "medium2 000000ff");
    line("rolast 00000000 " + firstLong(low, offsetOf(9, 79, 1, 8)));
    if (!root) {
        line("rowrite ffffffe9");
        EXPECT_TRUE(zemtest::readFile(dir / "low.img") == low) << "the read-only image changed";
    }

    line("getname 00000000");
    line("getsmall fffffffb");
    line("setlong fffffffb");
    line("setoutside fffffff1");
    line("oddsize fffffffc " + Marker);
    EXPECT_TRUE(r.contains("Floppy image size not recognised: 1000000")) << r.describe();
    line("device fffffff9 " + Marker);
    line("directory fffffff9 " + Marker);
    line("mediumdir 00000000");

    line("format9 00005a5a 00000009");
    line("formatauto 00005a5a 00000012");
    line("formatted 00000000 00000000");
    for (const char* tag : {"format10", "format40", "format1head"}) line(std::string(tag) + " 00005a5a 00000000");
    EXPECT_TRUE(r.linesInOrder({"illegal", "nocheck 00001234"})) << r.describe();
    EXPECT_EQ(std::filesystem::file_size(dir / "fmt9.img"), 737280u);
    EXPECT_EQ(std::filesystem::file_size(dir / "fmt18.img"), 1474560u);

    line("pending 00000000");
    EXPECT_TRUE(r.linesInOrder({"pending 00000000", "ZEM: Close FD", "Writing cache (partial track) 60/0"}))
        << r.describe();

    std::string expected = high;
    putSeed(expected, offsetOf(18, 40, 1, 9), 0x90);
    for (unsigned h = 0; h < 2; ++h)
        for (unsigned s = 0; s < 18; ++s) putSeed(expected, offsetOf(18, 3, h, s), uint8_t(s + 1 + 6 + h));
    for (unsigned s = 0; s < 18; ++s) putSeed(expected, offsetOf(18, 5, 0, s), uint8_t(s + 1 + 10));
    for (unsigned s = 1; s <= 3; ++s) putSeed(expected, offsetOf(18, 7, 1, s), uint8_t(0xA0 + s));
    putSeed(expected, offsetOf(18, 60, 0, 4), 0xC0);
    const std::string got = zemtest::readFile(dir / "high.img");
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i += Sector)
        EXPECT_TRUE(got.compare(i, Sector, expected, i, Sector) == 0) << "sector at byte " << i << " differs";
}

}  // namespace
