// Host-call group CD ($ACsn): audio CDs in the host's drive. One drive is chosen at
// start-up; the guest opens it once (CdOpen) and it stays open for the rest of the run.
// All calls run on the processor thread.
#pragma once

#include "core/machine_parts.h"
#include "platform/cd_drive.h"

#include <cstdint>
#include <memory>

namespace CdSub {
constexpr unsigned Open = 1;
constexpr unsigned Door = 2;  // low nibble selects one of CdDoorCall
constexpr unsigned Play = 3;
constexpr unsigned TrackStart = 4;
constexpr unsigned TrackLength = 5;
constexpr unsigned DiscInfo = 6;
constexpr unsigned Status = 7;
constexpr unsigned Position = 8;
constexpr unsigned FramesToMsf = 14;
constexpr unsigned MsfToFrames = 15;
}  // namespace CdSub

namespace CdDoorCall {
constexpr unsigned Eject = 0;
constexpr unsigned Close = 1;
constexpr unsigned Pause = 2;
constexpr unsigned Resume = 3;
}  // namespace CdDoorCall

// Bits of CdStatus.
namespace CdStatusBit {
constexpr uint32_t Playing = 1;
constexpr uint32_t DiscPresent = 6;
constexpr uint32_t Paused = 8;  // stopped after a pause
}  // namespace CdStatusBit

// The drive the calls use (nullptr: the machine has none). Forgets the open device and
// the paused flag; closes the drive it replaces.
void cdSetDrive(std::unique_ptr<CdDrive> drive);
// Whether CdOpen has opened the drive.
bool cdDeviceOpen();
bool cdPaused();

// The drive the settings name: with the environment variable ZEM_CD_SIMULATED naming a
// description file, that simulated disc (see devices/cd/cd_simulated_drive.h); otherwise
// the host drive named by ZEM_CD_DEVICE, /dev/cdrom by default. A description that
// cannot be read leaves the machine without a drive (logged).
std::unique_ptr<CdDrive> cdDriveFromEnvironment();

void cdInstallHostCalls();
void cdRemoveHostCalls();

// CD audio as a machine part: chooses the drive and installs the calls; shut-down
// removes them and closes the drive.
MachinePart cdPart();

// Operations, for tests: `arg` is the low nibble (register, or the door selector).
int32_t cdOpen(unsigned arg);
int32_t cdDoor(unsigned arg);
int32_t cdPlay(unsigned arg);
int32_t cdTrackStart(unsigned arg);
int32_t cdTrackLength(unsigned arg);
int32_t cdDiscInfo(unsigned arg);
int32_t cdStatus(unsigned arg);
int32_t cdPosition(unsigned arg);
int32_t cdFramesToMsfCall(unsigned arg);
int32_t cdMsfToFramesCall(unsigned arg);
