// Ending the emulator abruptly: a kill loses nothing the guest was told was written
// (and flushed, for floppies) and touches nothing else; a termination request writes the
// floppy's pending sectors before the program ends.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace {

constexpr size_t Sector = 512;
constexpr size_t FloppyTrack = 18 * Sector;

std::string pattern(size_t bytes, unsigned salt)
{
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = char(i * 11 + (i >> 9) + salt);
    return data;
}

std::string seeded(uint8_t seed)
{
    std::string s(Sector, '\0');
    for (size_t i = 0; i < Sector; ++i) s[i] = char(uint8_t(seed + i));
    return s;
}

GuestRun runWith(const zemtest::TempDir& dir, const char* image, const std::string& when, int signal)
{
    dir.write("zem.ini",
              "[Emulation]\nMemory=4\n[WIN]\nWIN1=" + dir.file("c.win") + "\n[FLP]\nFLP1=" + dir.file("f.img") + "\n");
    GuestRunOptions options;
    options.args = {"-OS", image, "-INI", dir.file("zem.ini"), "-DBG", "0"};
    options.workingDirectory = dir.path().string();
    options.signalWhen = when;
    options.signalToSend = signal;
    return runGuest(options);
}

TEST(PowerCut, KilledWhileWritingLosesNothingReportedAndTouchesNothingElse)
{
    zemtest::TempDir dir{"zem-cut"};
    const std::string container = pattern(2048 * Sector, 1);
    const std::string floppy = pattern(1474560, 2);
    dir.write("c.win", container);
    dir.write("f.img", floppy);
    GuestRun r = runWith(dir, GUEST_POWER_CUT, "track 00000028", SIGKILL);
    ASSERT_TRUE(r.signalSent && r.termSignal == SIGKILL) << r.describe();
    int lastTrack = -1;
    for (const std::string& line : r.lines())
        if (line.rfind("track ", 0) == 0) lastTrack = std::stoi(line.substr(6), nullptr, 16);
    ASSERT_GE(lastTrack, 40) << r.describe();

    const std::string c = zemtest::readFile(dir / "c.win");
    ASSERT_EQ(c.size(), container.size());
    // Reported sectors are there; after them come at most some newer ones, then the
    // untouched rest.
    size_t sector = 0;
    const size_t reported = size_t(lastTrack + 1) * 18;
    for (; sector < 2048 && c.compare(sector * Sector, Sector, seeded(uint8_t(sector))) == 0; ++sector) {}
    EXPECT_GE(sector, reported);
    for (; sector < 2048; ++sector)
        ASSERT_EQ(c.compare(sector * Sector, Sector, container, sector * Sector, Sector), 0)
            << "container sector " << sector << " neither written nor original";

    const std::string f = zemtest::readFile(dir / "f.img");
    ASSERT_EQ(f.size(), floppy.size());
    for (size_t t = 0; t < 80; ++t) {
        const size_t head0 = t * 2 * FloppyTrack;
        std::string written;
        for (size_t s = 0; s < 18; ++s) written += seeded(uint8_t(t * 18 + s));
        const bool isWritten = f.compare(head0, FloppyTrack, written) == 0;
        if (int(t) <= lastTrack)
            EXPECT_TRUE(isWritten) << "flushed track " << t << " lost";
        else
            EXPECT_TRUE(isWritten || f.compare(head0, FloppyTrack, floppy, head0, FloppyTrack) == 0)
                << "track " << t << " changed";
        EXPECT_EQ(f.compare(head0 + FloppyTrack, FloppyTrack, floppy, head0 + FloppyTrack, FloppyTrack), 0)
            << "head 1 of track " << t << " changed";
    }
}

TEST(PowerCut, TerminationWritesPendingFloppySectors)
{
    zemtest::TempDir dir{"zem-cut"};
    const std::string floppy = pattern(737280, 3);
    dir.write("c.win", "");
    dir.write("f.img", floppy);
    GuestRun r = runWith(dir, GUEST_FLP_PENDING, "waiting 00000000", SIGTERM);
    ASSERT_TRUE(r.signalSent) << r.describe();
    std::string expected = floppy;
    for (size_t s = 0; s < 3; ++s) expected.replace(((9 * 2 + 1) * 9 + s) * Sector, Sector, seeded(uint8_t(0x41 + s)));
    EXPECT_TRUE(zemtest::readFile(dir / "f.img") == expected) << r.describe();
}

}  // namespace
