// A CD drive without hardware, for tests and machines without a drive: a disc described
// in a small text file and a clock that moves the read head while it plays.
//
// Description file, one statement a line, "#" starts a comment:
//   track <n> <mm:ss:ff>    start of track n (absolute, lead-in included); tracks are
//                           numbered consecutively from the first one given
//   leadout <mm:ss:ff>      end of the last track
//   nodisc                  the drive is empty (tracks, if any, are ignored)
//   speed <n>               the clock runs n times as fast as real time (1-10000)
//   fail <call> <number>    <call> always fails with drive error <number>; calls: open,
//                           eject, close, status, toc, play, pause, resume, stop, position
#pragma once

#include "platform/cd_drive.h"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

enum class CdSimCall { Open, Eject, Close, Status, Toc, Play, Pause, Resume, Stop, Position, Count };

struct CdDiscDescription {
    bool hasDisc = true;
    CdToc toc;
    unsigned speed = 1;
    std::array<int, size_t(CdSimCall::Count)> failures{};  // 0: the call works
};

// Parses a description; on failure nothing, with `error` naming the line and the fault.
std::optional<CdDiscDescription> cdParseDescription(const std::string& text, std::string& error);

class CdSimulatedDrive : public CdDrive {
public:
    using Clock = std::function<std::chrono::nanoseconds()>;

    // `clock` gives a monotonic time; empty: the host's steady clock.
    explicit CdSimulatedDrive(CdDiscDescription disc, Clock clock = {});

    int open() override;
    void close() override;
    int openDoor() override;
    int closeDoor() override;
    int discPresent(bool& present) override;
    int readToc(CdToc& toc) override;
    int play(uint32_t from, uint32_t to) override;
    int pause() override;
    int resume() override;
    int stop() override;
    int subchannel(CdSubchannel& state) override;

    bool isOpen() const { return open_; }
    bool doorOpen() const { return doorOpen_; }

private:
    int failure(CdSimCall call) const { return disc_.failures[size_t(call)]; }
    bool ready() const { return disc_.hasDisc && !doorOpen_; }
    // Moves the head to where the clock says; a play that reached its end stops there.
    void advance();
    uint32_t framesSince(std::chrono::nanoseconds start) const;

    CdDiscDescription disc_;
    Clock clock_;
    bool open_ = false;
    bool doorOpen_ = false;
    CdAudio audio_ = CdAudio::Idle;
    uint32_t head_ = 0;      // absolute frame of the read head when not playing
    uint32_t playFrom_ = 0;  // while playing: where the clock started counting
    uint32_t playTo_ = 0;
    std::chrono::nanoseconds playStarted_{};
};
