// The drives behind CD audio: the description of a simulated disc, the simulated drive
// on a hand-driven clock, the error maps and the host drive's failures without hardware.
#include "devices/cd/cd_host_error.h"
#include "devices/cd/cd_simulated_drive.h"
#include "platform/cd_drive_linux.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using namespace std::chrono_literals;

constexpr const char* ThreeTracks =
    "# three tracks\n"
    "track 1 00:02:00\n"
    "track 2 03:10:20   # after a comment\n"
    "track 3 07:45:00\n"
    "leadout 12:00:00\n";

constexpr uint32_t frames(uint32_t m, uint32_t s, uint32_t f) { return (m * 60 + s) * 75 + f; }

CdDiscDescription parse(const std::string& text)
{
    std::string error;
    std::optional<CdDiscDescription> disc = cdParseDescription(text, error);
    EXPECT_TRUE(disc) << error;
    return disc.value_or(CdDiscDescription{});
}

TEST(CdDescription, ReadsTracksLeadOutSpeedAndFailures)
{
    CdDiscDescription disc = parse(std::string(ThreeTracks) + "speed 20\nfail pause 288\nfail open 266\n");
    EXPECT_TRUE(disc.hasDisc);
    EXPECT_EQ(disc.toc.firstTrack, 1u);
    EXPECT_EQ(disc.toc.trackStarts, (std::vector<uint32_t>{150, frames(3, 10, 20), frames(7, 45, 0)}));
    EXPECT_EQ(disc.toc.leadOut, frames(12, 0, 0));
    EXPECT_EQ(disc.speed, 20u);
    EXPECT_EQ(disc.failures[size_t(CdSimCall::Pause)], 288);
    EXPECT_EQ(disc.failures[size_t(CdSimCall::Open)], 266);
    EXPECT_EQ(disc.failures[size_t(CdSimCall::Play)], 0);

    CdDiscDescription late = parse("track 5 00:02:00\ntrack 6 01:00:00\nleadout 99:59:74\n");
    EXPECT_EQ(late.toc.firstTrack, 5u);
    EXPECT_EQ(late.toc.lastTrack(), 6u);

    EXPECT_FALSE(parse("nodisc\n").hasDisc);
}

TEST(CdDescription, RefusesBadDescriptionsWithTheLine)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no tracks"},
        {"track 1 00:02:00\n", "lead-out"},
        {"track 1 00:02:00\nleadout 00:01:00\n", "lead-out"},
        {"track 1 00:60:00\nleadout 10:00:00\n", "line 1"},  // 60 seconds
        {"track 1 00:02:75\nleadout 10:00:00\n", "line 1"},  // 75 frames
        {"track 0 00:02:00\nleadout 10:00:00\n", "line 1"},
        {"track 100 00:02:00\nleadout 10:00:00\n", "line 1"},
        {"track 1 00:02:00\ntrack 3 01:00:00\n", "line 2: tracks must follow"},
        {"track 1 00:02:00\ntrack 2 00:02:00\n", "line 2: a track must start after"},
        {"track 1 2:00\nleadout 10:00:00\n", "line 1"},
        {"track 1 00:02:00 x\n", "line 1"},
        {"speed 0\n", "line 1"},
        {"fail spin 288\n", "line 1"},
        {"fail play\n", "line 1"},
        {"nodisc please\n", "line 1"},
        {"eject\n", "line 1: unknown statement \"eject\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(cdParseDescription(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
    }
}

// A simulated drive on a clock the test moves.
struct SimulatedDisc {
    explicit SimulatedDisc(const std::string& text) : drive(parse(text), [this] { return now; }) {}

    void wait(std::chrono::nanoseconds d) { now += d; }
    CdSubchannel head()
    {
        CdSubchannel state;
        EXPECT_EQ(drive.subchannel(state), CdDriveError::Ok);
        return state;
    }

    std::chrono::nanoseconds now{1s};
    CdSimulatedDrive drive;
};

TEST(CdSimulatedDrive, PlayMovesTheHeadWithTheClockAndStopsAtTheEnd)
{
    SimulatedDisc disc(ThreeTracks);
    ASSERT_EQ(disc.drive.open(), CdDriveError::Ok);
    CdSubchannel rest = disc.head();
    EXPECT_EQ(rest.audio, CdAudio::Idle);
    EXPECT_EQ(rest.track, 1u);
    EXPECT_EQ(rest.absolute, 150u);

    const uint32_t from = frames(3, 10, 0);  // 20 frames before track 2
    ASSERT_EQ(disc.drive.play(from, from + 750), CdDriveError::Ok);
    disc.wait(200ms);  // 15 frames
    CdSubchannel early = disc.head();
    EXPECT_EQ(early.audio, CdAudio::Playing);
    EXPECT_EQ(early.track, 1u);
    EXPECT_EQ(early.absolute, from + 15);
    EXPECT_EQ(early.relative, from + 15 - 150);
    disc.wait(100ms);  // 22 frames in: two frames into track 2
    CdSubchannel later = disc.head();
    EXPECT_EQ(later.track, 2u);
    EXPECT_EQ(later.relative, 2u);
    disc.wait(20s);
    CdSubchannel done = disc.head();
    EXPECT_EQ(done.audio, CdAudio::Idle);
    EXPECT_EQ(done.absolute, from + 750);
}

TEST(CdSimulatedDrive, PauseHoldsTheHeadAndResumeGoesOnFromThere)
{
    SimulatedDisc disc(std::string(ThreeTracks) + "speed 10\n");
    ASSERT_EQ(disc.drive.play(150, frames(12, 0, 0)), CdDriveError::Ok);
    disc.wait(1s);  // ten seconds of disc
    ASSERT_EQ(disc.drive.pause(), CdDriveError::Ok);
    disc.wait(5s);
    CdSubchannel paused = disc.head();
    EXPECT_EQ(paused.audio, CdAudio::Paused);
    EXPECT_EQ(paused.absolute, 150u + 750);
    ASSERT_EQ(disc.drive.resume(), CdDriveError::Ok);
    disc.wait(100ms);
    EXPECT_EQ(disc.head().absolute, 150u + 750 + 75);
    ASSERT_EQ(disc.drive.stop(), CdDriveError::Ok);
    disc.wait(1s);
    CdSubchannel stopped = disc.head();
    EXPECT_EQ(stopped.audio, CdAudio::Idle);
    EXPECT_EQ(stopped.absolute, 150u + 750 + 75);
    // Nothing to resume after a stop.
    ASSERT_EQ(disc.drive.resume(), CdDriveError::Ok);
    EXPECT_EQ(disc.head().audio, CdAudio::Idle);
}

TEST(CdSimulatedDrive, TheDoorAndAnEmptyDriveMakeItNotReady)
{
    SimulatedDisc disc(ThreeTracks);
    ASSERT_EQ(disc.drive.play(150, 1000), CdDriveError::Ok);
    ASSERT_EQ(disc.drive.openDoor(), CdDriveError::Ok);
    bool present = true;
    EXPECT_EQ(disc.drive.discPresent(present), CdDriveError::Ok);
    EXPECT_FALSE(present);
    CdToc toc;
    CdSubchannel state;
    EXPECT_EQ(disc.drive.readToc(toc), CdDriveError::NotReady);
    EXPECT_EQ(disc.drive.subchannel(state), CdDriveError::NotReady);
    EXPECT_EQ(disc.drive.play(150, 1000), CdDriveError::NotReady);
    ASSERT_EQ(disc.drive.closeDoor(), CdDriveError::Ok);
    EXPECT_EQ(disc.drive.discPresent(present), CdDriveError::Ok);
    EXPECT_TRUE(present);
    EXPECT_EQ(disc.head().audio, CdAudio::Idle);  // the eject ended the play

    SimulatedDisc empty("nodisc\n");
    EXPECT_EQ(empty.drive.open(), CdDriveError::Ok);
    EXPECT_EQ(empty.drive.discPresent(present), CdDriveError::Ok);
    EXPECT_FALSE(present);
    EXPECT_EQ(empty.drive.readToc(toc), CdDriveError::NotReady);
}

TEST(CdSimulatedDrive, RefusesRangesOffTheDiscAndInjectsFailures)
{
    SimulatedDisc disc(std::string(ThreeTracks) + "fail stop 272\n");
    const uint32_t end = frames(12, 0, 0);
    EXPECT_EQ(disc.drive.play(149, 1000), CdDriveError::OutOfRange);
    EXPECT_EQ(disc.drive.play(1000, end + 1), CdDriveError::OutOfRange);
    EXPECT_EQ(disc.drive.play(1000, 1000), CdDriveError::OutOfRange);
    EXPECT_EQ(disc.drive.play(150, end), CdDriveError::Ok);
    EXPECT_EQ(disc.drive.stop(), 272);
    EXPECT_EQ(disc.head().audio, CdAudio::Playing);
}

TEST(CdErrors, DriveErrorsToGuestCodes)
{
    const struct {
        int drive;
        int32_t guest;
    } cases[] = {
        {0, 0},
        {257, -7},
        {263, -12},
        {264, -3},
        {265, -16},
        {348, -16},
        {349, -16},
        {266, -7},
        {275, -7},
        {292, -7},
        {296, -7},
        {268, -18},
        {270, -15},
        {271, -15},
        {272, -15},
        {273, -15},
        {282, -15},
        {284, -15},
        {290, -15},
        {293, -15},
        {274, -19},
        {288, -23},
        {291, -23},
        // Everything else: not complete.
        {256, -1},
        {258, -1},
        {262, -1},
        {267, -1},
        {269, -1},
        {276, -1},
        {278, -1},
        {283, -1},
        {289, -1},
        {294, -1},
        {347, -1},
        {350, -1},
        {1, -1},
        {-1, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(cdGuestError(c.drive), c.guest) << c.drive;
}

TEST(CdErrors, HostFailuresReachTheGuestAsTheirNearestCode)
{
    const struct {
        int error;
        int32_t guest;
    } cases[] = {
        {0, 0},          {ENOENT, -7}, {ENODEV, -7},  {ENXIO, -7},   {EACCES, -23}, {EBUSY, -23},
        {ENOMEDIUM, -1}, {EIO, -1},    {EINVAL, -15}, {ENOTTY, -19}, {ENOMEM, -3},  {EAGAIN, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(cdGuestError(cdDriveErrorFromErrno(c.error)), c.guest) << c.error;
}

TEST(LinuxCdDrive, WithoutADriveEveryCallFailsAtOnce)
{
    LinuxCdDrive missing("/nonexistent-zem-dir/cdrom");
    EXPECT_EQ(missing.open(), CdDriveError::CannotLoadDriver);
    CdToc toc;
    CdSubchannel state;
    bool present = false;
    EXPECT_EQ(missing.readToc(toc), CdDriveError::InvalidDevice);
    EXPECT_EQ(missing.subchannel(state), CdDriveError::InvalidDevice);
    EXPECT_EQ(missing.discPresent(present), CdDriveError::InvalidDevice);
    EXPECT_EQ(missing.play(150, 1000), CdDriveError::InvalidDevice);
    EXPECT_EQ(missing.openDoor(), CdDriveError::InvalidDevice);

    LinuxCdDrive notACd("/dev/null");
    EXPECT_EQ(notACd.open(), CdDriveError::BadDeviceName);
    EXPECT_EQ(notACd.stop(), CdDriveError::InvalidDevice);  // the failed open left it closed
}

}  // namespace
