// The host's CD drive as the CD audio device sees it: open the drive, move the door,
// read the table of contents, play a range of frames, pause, resume, stop, and report
// the playing state and position. Positions are absolute frames (1/75 s) from the start
// of the disc, lead-in included, so the first track usually starts at frame 150.
//
// Every call answers with a drive error number: 0 for success, otherwise one of
// CdDriveError below. The numbers are those of the media-control interface the guest
// software was written against, so one table turns them into guest error codes
// whatever the drive behind them is.
#pragma once

#include <cstdint>
#include <vector>

namespace CdDriveError {
constexpr int Ok = 0;
constexpr int InvalidDevice = 257;
constexpr int Hardware = 262;
constexpr int BadDeviceName = 263;  // the configured device is no CD drive
constexpr int OutOfMemory = 264;
constexpr int DeviceOpen = 265;
constexpr int CannotLoadDriver = 266;  // no such device
constexpr int ParameterOverflow = 268;
constexpr int BadInteger = 270;
constexpr int ParserInternal = 271;
constexpr int DriverInternal = 272;
constexpr int MissingParameter = 273;
constexpr int Unsupported = 274;  // the drive cannot do this
constexpr int FileNotFound = 275;
constexpr int NotReady = 276;    // no disc, door open
constexpr int Driver = 278;      // any other host failure
constexpr int OutOfRange = 282;  // a track or position the disc does not have
constexpr int FlagsNotCompatible = 284;
constexpr int DeviceLocked = 288;  // busy or refused by the host
constexpr int BadConstant = 290;
constexpr int MustUseShareable = 291;
constexpr int MissingDeviceName = 292;
constexpr int BadTimeFormat = 293;
constexpr int InvalidFile = 296;
constexpr int FileRead = 348;
constexpr int FileWrite = 349;
}  // namespace CdDriveError

// The disc's table of contents: the start of every track and the lead-out (the end of
// the last track), in absolute frames.
struct CdToc {
    unsigned firstTrack = 1;
    std::vector<uint32_t> trackStarts;  // [0] is firstTrack's start
    uint32_t leadOut = 0;

    unsigned lastTrack() const { return firstTrack + unsigned(trackStarts.size()) - 1; }
    unsigned trackCount() const { return unsigned(trackStarts.size()); }
};

enum class CdAudio {
    Idle,  // not playing and not paused (never started, stopped, or finished)
    Playing,
    Paused,
};

// Where the drive's read head is: the track, the position within that track and the
// absolute position, in frames.
struct CdSubchannel {
    CdAudio audio = CdAudio::Idle;
    unsigned track = 0;
    uint32_t relative = 0;
    uint32_t absolute = 0;
};

class CdDrive {
public:
    virtual ~CdDrive() = default;

    // Opens the device (without a disc too). Called once; the drive stays open until
    // close().
    virtual int open() = 0;
    virtual void close() = 0;

    virtual int openDoor() = 0;
    virtual int closeDoor() = 0;
    // Whether a readable disc sits in the closed drive.
    virtual int discPresent(bool& present) = 0;
    virtual int readToc(CdToc& toc) = 0;
    // Plays [from, to) in absolute frames; the caller has checked the range against the
    // table of contents.
    virtual int play(uint32_t from, uint32_t to) = 0;
    virtual int pause() = 0;
    virtual int resume() = 0;
    virtual int stop() = 0;
    virtual int subchannel(CdSubchannel& state) = 0;
};
