#include "devices/cd/cd_calls.h"

#include "core/guest_error.h"
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "devices/cd/cd_host_error.h"
#include "devices/cd/cd_simulated_drive.h"
#include "devices/cd/cd_time.h"
#include "platform/cd_drive_linux.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* SimulatedVariable = "ZEM_CD_SIMULATED";
constexpr const char* DeviceVariable = "ZEM_CD_DEVICE";
constexpr const char* DefaultDevice = "/dev/cdrom";

// DiscInfo's second register: first track 1 in the low byte, the track count above it.
constexpr uint32_t TrackCountShift = 8;
constexpr uint32_t TrackCountMask = 0xFF;
constexpr uint32_t FirstTrackOne = 1;
constexpr uint32_t TrackByteMask = 0xFF;

std::unique_ptr<CdDrive> drive;
bool deviceOpen = false;
// Set by a pause of a playing disc; cleared by resume, stop and play.
bool paused = false;

// Calls that name Dn and Dn+1 cannot take D7.
bool hasPair(unsigned n) { return n < HostCallDecode::MaxRegister; }

int32_t guest(int driveError) { return cdGuestError(driveError); }

// Reads the table of contents; a disc without tracks counts as no disc. Track starts
// that do not rise up to the lead-out would make lengths wrap round: such a table is the
// drive's fault.
int readToc(CdToc& toc)
{
    if (int e = drive->readToc(toc)) return e;
    if (toc.trackStarts.empty()) return CdDriveError::NotReady;
    for (size_t i = 0; i < toc.trackStarts.size(); ++i) {
        const uint32_t next = i + 1 < toc.trackStarts.size() ? toc.trackStarts[i + 1] : toc.leadOut;
        if (next <= toc.trackStarts[i]) return CdDriveError::Hardware;
    }
    return CdDriveError::Ok;
}

bool hasTrack(const CdToc& toc, int64_t track) { return track >= toc.firstTrack && track <= toc.lastTrack(); }

uint32_t trackStart(const CdToc& toc, unsigned track) { return toc.trackStarts[track - toc.firstTrack]; }

uint32_t trackEnd(const CdToc& toc, unsigned track)
{
    return track == toc.lastTrack() ? toc.leadOut : trackStart(toc, track + 1);
}

int32_t ejectDisc()
{
    if (!deviceOpen) return GuestError::ChannelNotOpen;
    return guest(drive->openDoor());
}

int32_t closeDoor()
{
    if (!deviceOpen) return GuestError::ChannelNotOpen;
    return guest(drive->closeDoor());
}

int32_t pausePlay()
{
    if (!deviceOpen) return GuestError::NotFound;
    CdSubchannel state;
    if (int e = drive->subchannel(state)) return guest(e);
    if (state.audio == CdAudio::Playing) {
        const int e = drive->pause();
        if (e == CdDriveError::Ok) paused = true;
        return guest(e);
    }
    paused = false;
    return guest(drive->stop());
}

int32_t resumePlay()
{
    if (!deviceOpen) return GuestError::NotFound;
    paused = false;
    return guest(drive->resume());
}

}  // namespace

void cdSetDrive(std::unique_ptr<CdDrive> newDrive)
{
    if (drive && deviceOpen) drive->close();
    drive = std::move(newDrive);
    deviceOpen = false;
    paused = false;
}

bool cdDeviceOpen() { return deviceOpen; }
bool cdPaused() { return paused; }

int32_t cdOpen(unsigned arg)
{
    if (arg != 0) return HostCallResult::Illegal;
    if (deviceOpen) return 0;
    if (!drive) return guest(CdDriveError::CannotLoadDriver);
    const int e = drive->open();
    if (e != CdDriveError::Ok) {
        zlog(LogCat::General, "ZEM: CD drive not opened (drive error %d)\r\n", e);
        return guest(e);
    }
    deviceOpen = true;
    return 0;
}

int32_t cdDoor(unsigned arg)
{
    switch (arg) {
    case CdDoorCall::Eject:
        return ejectDisc();
    case CdDoorCall::Close:
        return closeDoor();
    case CdDoorCall::Pause:
        return pausePlay();
    case CdDoorCall::Resume:
        return resumePlay();
    default:
        return HostCallResult::Illegal;
    }
}

int32_t cdPlay(unsigned n)
{
    if (!hasPair(n)) return HostCallResult::Illegal;
    if (!deviceOpen) return GuestError::NotFound;
    paused = false;
    const uint32_t from = cdMsfToFrames(cpu.D[n]);
    const int64_t to = int64_t(from) + int32_t(cpu.D[n + 1]);
    CdToc toc;
    if (int e = readToc(toc)) return guest(e);
    // The end is kept as a count: a disc may run past the 80 minutes that the guest's
    // own MSF conversion handles.
    if (to <= from || from < toc.trackStarts.front() || to > toc.leadOut) return guest(CdDriveError::OutOfRange);
    return guest(drive->play(from, uint32_t(to)));
}

int32_t cdTrackStart(unsigned n)
{
    if (!deviceOpen) return GuestError::NotFound;
    const int32_t track = int32_t(cpu.D[n]);
    if (track < 0) return 0;
    CdToc toc;
    if (int e = readToc(toc)) return guest(e);
    if (!hasTrack(toc, track)) return guest(CdDriveError::OutOfRange);
    cpu.D[n] = cdPackMsf(trackStart(toc, unsigned(track)));
    return 0;
}

int32_t cdTrackLength(unsigned n)
{
    if (!deviceOpen) return GuestError::NotFound;
    const unsigned track = cpu.D[n] & TrackByteMask;
    CdToc toc;
    if (int e = readToc(toc)) return guest(e);
    if (!hasTrack(toc, track)) return guest(CdDriveError::OutOfRange);
    cpu.D[n] = trackEnd(toc, track) - trackStart(toc, track);
    return 0;
}

int32_t cdDiscInfo(unsigned n)
{
    if (!hasPair(n)) return HostCallResult::Illegal;
    if (!deviceOpen) return GuestError::NotFound;
    CdToc toc;
    if (int e = readToc(toc)) return guest(e);
    cpu.D[n] = cdPackMsf(toc.leadOut - toc.trackStarts.front());
    cpu.D[n + 1] = ((toc.trackCount() & TrackCountMask) << TrackCountShift) + FirstTrackOne;
    return 0;
}

int32_t cdStatus(unsigned n)
{
    if (!deviceOpen) return GuestError::NotFound;
    bool present = false;
    if (int e = drive->discPresent(present)) return guest(e);
    uint32_t status = 0;
    if (present) {
        CdSubchannel state;
        if (int e = drive->subchannel(state)) return guest(e);
        if (state.audio == CdAudio::Playing)
            status = CdStatusBit::Playing;
        else if (paused)
            status = CdStatusBit::Paused;
        status += CdStatusBit::DiscPresent;
    }
    cpu.D[n] = status;
    return 0;
}

int32_t cdPosition(unsigned n)
{
    if (!hasPair(n)) return HostCallResult::Illegal;
    if (!deviceOpen) return GuestError::NotFound;
    CdSubchannel state;
    if (int e = drive->subchannel(state)) return guest(e);
    cpu.D[n] = cdPackTmsf(state.track, state.relative);
    cpu.D[n + 1] = cdPackMsf(state.absolute);
    return 0;
}

int32_t cdFramesToMsfCall(unsigned n)
{
    cpu.D[n] = cdFramesToMsf(cpu.D[n]);
    return HostCallResult::KeepRegisters;
}

int32_t cdMsfToFramesCall(unsigned n)
{
    cpu.D[n] = cdMsfToFrames(cpu.D[n]);
    return HostCallResult::KeepRegisters;
}

std::unique_ptr<CdDrive> cdDriveFromEnvironment()
{
    if (const char* path = getenv(SimulatedVariable); path && *path) {
        std::ifstream file(path);
        std::ostringstream text;
        text << file.rdbuf();
        std::string error;
        std::optional<CdDiscDescription> disc;
        if (!file)
            error = "cannot be read";
        else
            disc = cdParseDescription(text.str(), error);
        if (!disc) {
            zlog(LogCat::Error, "ZEM: CD description %s: %s\r\n", path, error.c_str());
            return nullptr;
        }
        zlog(LogCat::General, "ZEM: CD audio on the simulated drive %s\r\n", path);
        return std::make_unique<CdSimulatedDrive>(std::move(*disc));
    }
    const char* device = getenv(DeviceVariable);
    if (!device || !*device) device = DefaultDevice;
    zlog(LogCat::General, "ZEM: CD audio on %s\r\n", device);
    return std::make_unique<LinuxCdDrive>(device);
}

namespace {

struct Slot {
    unsigned sub;
    HostOperation operation;
};

const Slot Slots[] = {
    {CdSub::Open, cdOpen},
    {CdSub::Door, cdDoor},
    {CdSub::Play, cdPlay},
    {CdSub::TrackStart, cdTrackStart},
    {CdSub::TrackLength, cdTrackLength},
    {CdSub::DiscInfo, cdDiscInfo},
    {CdSub::Status, cdStatus},
    {CdSub::Position, cdPosition},
    {CdSub::FramesToMsf, cdFramesToMsfCall},
    {CdSub::MsfToFrames, cdMsfToFramesCall},
};

}  // namespace

void cdInstallHostCalls()
{
    for (const Slot& s : Slots) hostCallInstall(HostCallGroupId::Cd, s.sub, s.operation);
}

void cdRemoveHostCalls()
{
    for (const Slot& s : Slots) hostCallRemove(HostCallGroupId::Cd, s.sub);
}

MachinePart cdPart()
{
    return {MachineSlot::Cd,
            [] {
                cdSetDrive(cdDriveFromEnvironment());
                cdInstallHostCalls();
                return true;
            },
            [] {
                cdRemoveHostCalls();
                cdSetDrive(nullptr);
            }};
}
