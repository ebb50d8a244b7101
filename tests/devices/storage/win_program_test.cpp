// The container drives through a guest program in the real emulator, against temporary
// containers checked byte for byte on the host.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr size_t Sector = 512;

uint8_t patternByte(size_t i) { return uint8_t(i * 7 + (i >> 9)); }

std::string patternContainer(size_t sectors)
{
    std::string data(sectors * Sector, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(patternByte(i));
    return data;
}

// A big-endian long of `data` at `at`, as the guest reads it.
uint32_t longAt(const std::string& data, size_t at)
{
    return uint32_t(uint8_t(data[at])) << 24 | uint32_t(uint8_t(data[at + 1])) << 16 |
           uint32_t(uint8_t(data[at + 2])) << 8 | uint8_t(data[at + 3]);
}

std::string hex(uint32_t v)
{
    char text[9];
    snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::string swapped(std::string data)
{
    for (size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
    return data;
}

// The 512 bytes the guest's fill_seed makes.
std::string seedSector(uint8_t seed)
{
    std::string s(Sector, '\0');
    for (size_t i = 0; i < Sector; ++i) s[i] = char(uint8_t(seed + i));
    return s;
}

const std::string Marker = "eeeeeeee";

class WinProgram : public ::testing::Test {
protected:
    GuestRun run(const char* image, const std::string& ini, const std::string& debugMask = "0")
    {
        dir.write("zem.ini", "[Emulation]\nMemory=4\n" + ini);
        GuestRunOptions options;
        options.args = {"-OS", image, "-INI", dir.file("zem.ini"), "-DBG", debugMask};
        options.workingDirectory = dir.path().string();
        GuestRun result = runGuest(options);
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
        return result;
    }
    zemtest::TempDir dir{"zem-win"};
};

TEST_F(WinProgram, EveryOperationAgainstHostContainers)
{
    const std::string normal = patternContainer(64);
    dir.write("normal.win", normal);
    std::string guestView = patternContainer(8);
    std::string swappedFile = swapped(guestView);
    swappedFile.replace(0, 4, "LQ1W");
    guestView = swapped(swappedFile);  // what the guest sees of the marked file
    dir.write("swapped.win", swappedFile);
    dir.write("old.win", "old contents that creation replaces");
    dir.write("locked.win", normal);
    chmod(dir.file("locked.win").c_str(), 0444);
    dir.write("eight.win", patternContainer(2).substr(Sector));  // one sector, shifted pattern

    GuestRun r = run(GUEST_WIN_OPS, "[WIN]\nAlwaysRemovable=0\nWIN1=" + dir.file("normal.win") +
                                        "\nWIN2=" + dir.file("swapped.win") + "\nWIN3=" + dir.file("old.win") +
                                        "\nWIN4=" + dir.file("locked.win") + "\nWIN5=" + dir.file("none.win") +
                                        "\nWIN8=" + dir.file("eight.win") + "\n");
    auto line = [&](const std::string& tag, const std::string& rest) {
        EXPECT_TRUE(r.hasLine(tag + " " + rest)) << tag << " " << rest << "\n" << r.describe();
    };
    auto readLine = [&](const std::string& tag, const std::string& d0, const std::string& data, size_t from,
                        bool secondSector) {
        line(tag, d0 + " " + hex(longAt(data, from)) + " " + (secondSector ? hex(longAt(data, from + 1020)) : Marker) +
                      " " + Marker);
    };

    readLine("first", "00000000", normal, 0, false);
    readLine("middle", "00000000", normal, 31 * Sector, false);
    readLine("last", "00000000", normal, 63 * Sector, false);
    // Past the end: both sectors there arrive, the rest of the buffer is untouched.
    readLine("pastend", "fffffff0", normal, 62 * Sector, true);
    line("top", "fffffff0 " + Marker + " " + Marker + " " + Marker);
    for (const char* tag : {"wrap", "hugecount"}) line(tag, "fffffff1 " + Marker + " " + Marker + " " + Marker);
    line("nocount", "00000000 " + Marker + " " + Marker + " " + Marker);
    for (const char* tag : {"w0", "w31", "w63"}) line(tag, "00000000");
    line("wwrap", "fffffff1");
    line("readedge", "fffffff1");
    line("writeedge", "fffffff1");

    std::string expected = normal;
    expected.replace(0, Sector, seedSector(0x10));
    expected.replace(31 * Sector, Sector, seedSector(0x20));
    expected.replace(63 * Sector, Sector, seedSector(0x30));
    EXPECT_TRUE(zemtest::readFile(dir / "normal.win") == expected) << "container 1 differs";

    readLine("swapread", "00000000", guestView, Sector, false);
    line("swapwrite", "00000000");
    std::string swappedExpected = swappedFile;
    swappedExpected.replace(2 * Sector, Sector, swapped(seedSector(0x50)));
    EXPECT_TRUE(zemtest::readFile(dir / "swapped.win") == swappedExpected) << "word-swapped container differs";

    line("create", "00000000 00000064");
    line("createdlast", "00000000 00000000 " + Marker + " " + Marker);
    line("createhuge", "00000000 00000000");
    line("createzero", "00000000 00000000");
    EXPECT_TRUE(r.linesInOrder({"illegal", "nocheck 12345678"})) << r.describe();
    EXPECT_EQ(zemtest::readFile(dir / "old.win"), std::string(100 * Sector, '\0'));
    struct stat st {};
    ASSERT_EQ(stat(dir.file("old.win").c_str(), &st), 0);
    EXPECT_LT(uint64_t(st.st_blocks) * 512, 100 * Sector) << "the new container is not sparse";

    line("ro1", "00000000");
    line("ro4", "ffffffec");
    line("ro5", "fffffff9");
    readLine("roread", "00000000", normal, 0, false);
    if (geteuid() != 0) {
        line("rowrite", "ffffffe9");
        EXPECT_EQ(zemtest::readFile(dir / "locked.win"), normal);
    }
    line("missing", "fffffff0 " + Marker + " " + Marker + " " + Marker);
    line("removable", "00000000 12345600");

    readLine("drive0", "00000000", patternContainer(2), Sector, false);
    readLine("drive9", "00000000", expected, 0, false);

    line("getname", "00000000 <" + dir.file("normal.win") + ">");
    line("getsmall", "fffffffb");
    line("setlong", "fffffffb");
    line("setoutside", "fffffff1");
    line("setdir", "00000000");
    for (const char* tag : {"dirread", "devread"}) line(tag, "fffffff0 " + Marker + " " + Marker + " " + Marker);
    for (const char* tag : {"close", "closeagain", "nothing", "closeall"}) line(tag, "00000000");
    for (const char* tag : {"unassignedA", "unassignedF"}) line(tag, "ffffffed");
}

TEST_F(WinProgram, LogsOpeningClosingAndTheReadOnlyFallback)
{
    dir.write("normal.win", patternContainer(64));
    dir.write("locked.win", patternContainer(64));
    chmod(dir.file("locked.win").c_str(), 0444);
    GuestRun r = run(GUEST_WIN_OPS,
                     "[WIN]\nWIN1=" + dir.file("normal.win") + "\nWIN4=" + dir.file("locked.win") +
                         "\nWIN5=" + dir.file("none.win") + "\n",
                     "65");
    EXPECT_TRUE(r.linesInOrder({"Trying to open WIN1: " + dir.file("normal.win"),
                                "first 00000000 " + hex(longAt(patternContainer(1), 0)) + " " + Marker + " " + Marker}))
        << r.describe();
    EXPECT_TRUE(r.linesInOrder({"Trying to open WIN5: " + dir.file("none.win"), "Error opening WIN5"})) << r.describe();
    if (geteuid() != 0) {
        EXPECT_TRUE(r.linesInOrder({"Trying to open WIN4: " + dir.file("locked.win"), "Trying again read only"}))
            << r.describe();
    }
    // Always removable by default.
    EXPECT_TRUE(r.contains("removable 00000000 123456ff")) << r.describe();
    EXPECT_TRUE(r.linesInOrder(
        {"Closing WIN1", "close 00000000", "Drive WIN1 is already closed", "closeagain 00000000", "ZEM: Close WIN"}))
        << r.describe();
}

}  // namespace
