// The CD host calls through the dispatcher, on the processor's registers, against the
// simulated drive on a clock the test moves.
#include "core/guest_error.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "devices/cd/cd_calls.h"
#include "devices/cd/cd_simulated_drive.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr unsigned Cd = HostCallGroupId::Cd;
constexpr int32_t Keep = HostCallResult::KeepRegisters;
constexpr int32_t Illegal = HostCallResult::Illegal;

// Track 1 at 0:02:00, track 2 at 3:10:20, track 3 at 7:45:00, lead-out at 12:00:00.
constexpr const char* ThreeTracks = "track 1 00:02:00\ntrack 2 03:10:20\ntrack 3 07:45:00\nleadout 12:00:00\n";
constexpr uint32_t Track2 = 0x030A14;
constexpr uint32_t Track2Frames = (190 * 75) + 20;
constexpr uint32_t LeadOutFrames = 720 * 75;

// Counts the opens that reach the drive.
class CountingDrive : public CdSimulatedDrive {
public:
    using CdSimulatedDrive::CdSimulatedDrive;
    int open() override
    {
        ++opens;
        return CdSimulatedDrive::open();
    }
    int opens = 0;
};

class CdCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (uint32_t& d : cpu.D) d = 0;
        cdInstallHostCalls();
    }
    void TearDown() override
    {
        cdSetDrive(nullptr);
        cdRemoveHostCalls();
    }

    // Installs a simulated drive for `description` on the test's clock.
    CountingDrive& insert(const std::string& description)
    {
        std::string error;
        std::optional<CdDiscDescription> disc = cdParseDescription(description, error);
        EXPECT_TRUE(disc) << error;
        auto drive = std::make_unique<CountingDrive>(disc.value_or(CdDiscDescription{}), [this] { return now; });
        CountingDrive& ref = *drive;
        cdSetDrive(std::move(drive));
        return ref;
    }
    CountingDrive& openDisc(const std::string& description = ThreeTracks)
    {
        CountingDrive& drive = insert(description);
        EXPECT_EQ(call(CdSub::Open, 0), 0);
        return drive;
    }

    int32_t call(unsigned sub, unsigned low) { return hostCall(Cd, sub, low); }

    uint32_t status(unsigned n = 1)
    {
        cpu.D[n] = 0xDEADBEEF;
        EXPECT_EQ(call(CdSub::Status, n), 0);
        return cpu.D[n];
    }
    int32_t play(uint32_t startMsf, uint32_t lengthFrames, unsigned n = 2)
    {
        cpu.D[n] = startMsf;
        cpu.D[n + 1] = lengthFrames;
        return call(CdSub::Play, n);
    }
    // TMSF and absolute MSF.
    std::pair<uint32_t, uint32_t> position(unsigned n = 4)
    {
        EXPECT_EQ(call(CdSub::Position, n), 0);
        return {cpu.D[n], cpu.D[n + 1]};
    }

    std::chrono::nanoseconds now{5s};
};

TEST_F(CdCalls, WordsOutsideTheGroupsDecodingAreIllegal)
{
    openDisc();
    const struct {
        unsigned sub, low;
    } words[] = {
        {0, 0}, {1, 1},  {1, 7},  {2, 4}, {2, 15}, {3, 7},  {6, 7},  {8, 7},
        {9, 0}, {10, 0}, {13, 0}, {4, 8}, {5, 9},  {7, 15}, {14, 8}, {15, 15},
    };
    for (const auto& w : words) EXPECT_EQ(call(w.sub, w.low), Illegal) << std::hex << 0xAC00 + w.sub * 16 + w.low;
    // Their neighbours are operations.
    EXPECT_EQ(call(CdSub::Open, 0), 0);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Resume), 0);
    cpu.D[7] = 1;
    EXPECT_EQ(call(CdSub::TrackStart, 7), 0);
    EXPECT_EQ(call(CdSub::Status, 7), 0);
    EXPECT_EQ(call(CdSub::Position, 6), 0);
    EXPECT_EQ(call(CdSub::MsfToFrames, 7), Keep);
}

TEST_F(CdCalls, WithoutAnOpenDeviceTheDoorIsNotOpenAndTheRestNotFound)
{
    for (bool withDrive : {false, true}) {
        if (withDrive)
            insert(ThreeTracks);
        else
            cdSetDrive(nullptr);
        cpu.D[1] = 0x11111111;
        EXPECT_EQ(call(CdSub::Door, CdDoorCall::Eject), GuestError::ChannelNotOpen);
        EXPECT_EQ(call(CdSub::Door, CdDoorCall::Close), GuestError::ChannelNotOpen);
        EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), GuestError::NotFound);
        EXPECT_EQ(call(CdSub::Door, CdDoorCall::Resume), GuestError::NotFound);
        for (unsigned sub :
             {CdSub::Play, CdSub::TrackStart, CdSub::TrackLength, CdSub::DiscInfo, CdSub::Status, CdSub::Position})
            EXPECT_EQ(call(sub, 1), GuestError::NotFound) << sub;
        EXPECT_EQ(cpu.D[1], 0x11111111u);
        // The conversions need no drive.
        cpu.D[1] = 4500;
        EXPECT_EQ(call(CdSub::FramesToMsf, 1), Keep);
        EXPECT_EQ(cpu.D[1], 0x10000u);
        EXPECT_EQ(call(CdSub::MsfToFrames, 1), Keep);
        EXPECT_EQ(cpu.D[1], 4500u);
    }
}

TEST_F(CdCalls, OpenReachesTheDriveOnceAndAMissingDriveIsNotFound)
{
    cdSetDrive(nullptr);
    EXPECT_EQ(call(CdSub::Open, 0), GuestError::NotFound);
    EXPECT_FALSE(cdDeviceOpen());

    CountingDrive& refusing = insert(std::string(ThreeTracks) + "fail open 288\n");
    EXPECT_EQ(call(CdSub::Open, 0), GuestError::HostAccessDenied);
    EXPECT_EQ(call(CdSub::Open, 0), GuestError::HostAccessDenied);
    EXPECT_EQ(refusing.opens, 2);
    EXPECT_FALSE(cdDeviceOpen());
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Eject), GuestError::ChannelNotOpen);

    CountingDrive& drive = openDisc();
    EXPECT_EQ(call(CdSub::Open, 0), 0);
    EXPECT_EQ(drive.opens, 1);
    EXPECT_TRUE(cdDeviceOpen());
}

TEST_F(CdCalls, TableOfContents)
{
    openDisc();
    const struct {
        int32_t track;
        int32_t result;
        uint32_t start;   // MSF
        uint32_t length;  // frames
    } tracks[] = {
        {1, 0, 0x000200, 188 * 75 + 20},     {2, 0, Track2, (465 - 190) * 75 - 20},
        {3, 0, 0x072D00, (720 - 465) * 75},  {0, GuestError::BadParameter, 0, 0},
        {4, GuestError::BadParameter, 0, 0}, {99, GuestError::BadParameter, 0, 0},
    };
    for (const auto& t : tracks) {
        for (unsigned n : {0u, 3u, 7u}) {
            cpu.D[n] = uint32_t(t.track);
            EXPECT_EQ(call(CdSub::TrackStart, n), t.result) << t.track;
            EXPECT_EQ(cpu.D[n], t.result == 0 ? t.start : uint32_t(t.track)) << t.track;
            cpu.D[n] = uint32_t(t.track);
            EXPECT_EQ(call(CdSub::TrackLength, n), t.result) << t.track;
            EXPECT_EQ(cpu.D[n], t.result == 0 ? t.length : uint32_t(t.track)) << t.track;
        }
    }
    // TrackLength reads the low byte only; TrackStart the whole register, and leaves a
    // negative one alone.
    cpu.D[2] = 0x1202;
    EXPECT_EQ(call(CdSub::TrackLength, 2), 0);
    EXPECT_EQ(cpu.D[2], uint32_t((465 - 190) * 75 - 20));
    cpu.D[2] = 0x102;
    EXPECT_EQ(call(CdSub::TrackStart, 2), GuestError::BadParameter);
    cpu.D[2] = 0xFFFFFFFE;
    EXPECT_EQ(call(CdSub::TrackStart, 2), 0);
    EXPECT_EQ(cpu.D[2], 0xFFFFFFFEu);

    cpu.D[6] = cpu.D[7] = 0;
    EXPECT_EQ(call(CdSub::DiscInfo, 6), 0);
    EXPECT_EQ(cpu.D[6], 0x0B3A00u);  // 12:00:00 less the two seconds of lead-in
    EXPECT_EQ(cpu.D[7], 0x0301u);
}

TEST_F(CdCalls, APlayRunsWithTheClockThroughPauseResumeAndStop)
{
    openDisc();
    EXPECT_EQ(status(), 6u);
    EXPECT_EQ(position(), std::make_pair(0x01000000u, 0x000200u));

    ASSERT_EQ(play(Track2, 10 * 75), 0);
    EXPECT_EQ(status(), 7u);
    now += 2s;
    EXPECT_EQ(position(), std::make_pair(0x02000200u, 0x030C14u));

    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), 0);
    EXPECT_TRUE(cdPaused());
    EXPECT_EQ(status(), 14u);
    now += 5s;
    EXPECT_EQ(position(), std::make_pair(0x02000200u, 0x030C14u));

    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Resume), 0);
    EXPECT_FALSE(cdPaused());
    EXPECT_EQ(status(), 7u);
    now += 1s;
    EXPECT_EQ(position(), std::make_pair(0x02000300u, 0x030D14u));

    // A pause while paused stops: the play cannot be resumed any more.
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), 0);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), 0);
    EXPECT_FALSE(cdPaused());
    EXPECT_EQ(status(), 6u);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Resume), 0);
    now += 1s;
    EXPECT_EQ(status(), 6u);
    EXPECT_EQ(position().second, 0x030D14u);

    // A play ends by itself at its end; a new play clears the paused flag.
    ASSERT_EQ(play(Track2, 75), 0);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), 0);
    ASSERT_EQ(play(Track2, 75), 0);
    EXPECT_FALSE(cdPaused());
    now += 2s;
    EXPECT_EQ(status(), 6u);
    EXPECT_EQ(position(), std::make_pair(0x02000100u, 0x030B14u));
}

TEST_F(CdCalls, PlayRangesOffTheDiscAreBadParameters)
{
    openDisc();
    const struct {
        uint32_t start;
        uint32_t length;
        int32_t result;
    } cases[] = {
        {0x000200, 1, 0},
        {0x00014A, 1, GuestError::BadParameter},  // the lead-in's last frame
        {0, 75, GuestError::BadParameter},
        {0x0B3B4A, 1, 0},                           // the last frame
        {0x0B3B4A, 2, GuestError::BadParameter},    // one frame past the disc
        {0x0C0000, 1, GuestError::BadParameter},    // at the lead-out
        {Track2, LeadOutFrames - Track2Frames, 0},  // to the very end
        {Track2, LeadOutFrames - Track2Frames + 1, GuestError::BadParameter},
        {Track2, 0, GuestError::BadParameter},
        {Track2, 0xFFFFFFFF, GuestError::BadParameter},  // a negative length
        {Track2, 0x80000000, GuestError::BadParameter},
        {0x12C0000, 75, GuestError::BadParameter},  // 300 minutes
        {0xFFFFFFFF, 1, GuestError::BadParameter},
        {0x00013C00, 75, 0},  // 1:60:00 counts as 2:00:00
    };
    for (const auto& c : cases) EXPECT_EQ(play(c.start, c.length), c.result) << std::hex << c.start << " " << c.length;
}

TEST_F(CdCalls, AnEmptyOrOpenDriveIsNotReady)
{
    openDisc("nodisc\n");
    EXPECT_EQ(status(), 0u);
    for (unsigned sub : {CdSub::Play, CdSub::TrackStart, CdSub::TrackLength, CdSub::DiscInfo, CdSub::Position}) {
        cpu.D[1] = 1;
        cpu.D[2] = 75;
        EXPECT_EQ(call(sub, 1), GuestError::NotComplete) << sub;
    }
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), GuestError::NotComplete);

    openDisc();
    ASSERT_EQ(play(Track2, 750), 0);
    ASSERT_EQ(call(CdSub::Door, CdDoorCall::Pause), 0);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Eject), 0);
    EXPECT_EQ(status(), 0u);  // no disc: neither playing nor paused
    cpu.D[1] = 1;
    EXPECT_EQ(call(CdSub::TrackStart, 1), GuestError::NotComplete);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Close), 0);
    EXPECT_EQ(status(), 14u);  // the flag outlives the door; only resume, stop and play clear it
}

TEST_F(CdCalls, DriveFailuresReachTheGuestMapped)
{
    const struct {
        const char* failure;
        unsigned sub, low;
        int32_t result;
    } cases[] = {
        {"fail eject 288", CdSub::Door, CdDoorCall::Eject, GuestError::HostAccessDenied},
        {"fail close 265", CdSub::Door, CdDoorCall::Close, GuestError::BadMedium},
        {"fail stop 272", CdSub::Door, CdDoorCall::Pause, GuestError::BadParameter},
        {"fail resume 274", CdSub::Door, CdDoorCall::Resume, GuestError::NotImplemented},
        {"fail toc 268", CdSub::DiscInfo, 1, GuestError::Overflow},
        {"fail toc 263", CdSub::TrackStart, 1, GuestError::BadName},
        {"fail toc 264", CdSub::TrackLength, 1, GuestError::OutOfMemory},
        {"fail play 291", CdSub::Play, 1, GuestError::HostAccessDenied},
        {"fail status 348", CdSub::Status, 1, GuestError::BadMedium},
        {"fail position 276", CdSub::Status, 1, GuestError::NotComplete},
        {"fail position 262", CdSub::Position, 1, GuestError::NotComplete},
        {"fail position 257", CdSub::Door, CdDoorCall::Pause, GuestError::NotFound},
    };
    for (const auto& c : cases) {
        openDisc(std::string(ThreeTracks) + c.failure + "\n");
        cpu.D[1] = 0x200;
        cpu.D[2] = 75;
        EXPECT_EQ(call(c.sub, c.low), c.result) << c.failure;
    }

    // A pause that fails leaves the flag clear and the disc playing.
    openDisc(std::string(ThreeTracks) + "fail pause 274\n");
    ASSERT_EQ(play(Track2, 750), 0);
    EXPECT_EQ(call(CdSub::Door, CdDoorCall::Pause), GuestError::NotImplemented);
    EXPECT_FALSE(cdPaused());
    EXPECT_EQ(status(), 7u);
}

// A drive whose table of contents runs backwards.
class GarbledDrive : public CdSimulatedDrive {
public:
    using CdSimulatedDrive::CdSimulatedDrive;
    int readToc(CdToc& toc) override
    {
        toc = CdToc{};
        toc.trackStarts = {150, 9000};
        toc.leadOut = 4500;
        return CdDriveError::Ok;
    }
};

TEST_F(CdCalls, AGarbledTableOfContentsIsAFailureNotAWrappedLength)
{
    std::string error;
    cdSetDrive(std::make_unique<GarbledDrive>(*cdParseDescription(ThreeTracks, error)));
    ASSERT_EQ(call(CdSub::Open, 0), 0);
    cpu.D[1] = 2;
    EXPECT_EQ(call(CdSub::TrackLength, 1), GuestError::NotComplete);
    EXPECT_EQ(cpu.D[1], 2u);
    EXPECT_EQ(call(CdSub::DiscInfo, 1), GuestError::NotComplete);
    EXPECT_EQ(play(0x000200, 75), GuestError::NotComplete);
}

}  // namespace
