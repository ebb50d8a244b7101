#include "devices/cd/cd_time.h"

using namespace CdTime;

namespace {
constexpr unsigned MinuteShift = 16;
constexpr unsigned SecondShift = 8;
constexpr unsigned TrackShift = 24;
constexpr uint32_t ByteMask = 0xFF;
constexpr uint32_t MinuteMask = 0xFFFF;
}  // namespace

uint32_t cdMsfToFrames(uint32_t msf)
{
    const uint32_t minutes = (msf >> MinuteShift) & MinuteMask;
    const uint32_t seconds = (msf >> SecondShift) & ByteMask;
    const uint32_t frames = msf & ByteMask;
    return (minutes * SecondsPerMinute + seconds) * FramesPerSecond + frames;
}

uint32_t cdPackMsf(uint32_t frames)
{
    const uint32_t minutes = frames / FramesPerMinute;
    const uint32_t seconds = (frames / FramesPerSecond) % SecondsPerMinute;
    return (minutes << MinuteShift) | (seconds << SecondShift) | (frames % FramesPerSecond);
}

uint32_t cdFramesToMsf(uint32_t frames) { return frames <= GuestMsfLimit ? cdPackMsf(frames) : frames; }

uint32_t cdPackTmsf(unsigned track, uint32_t frames)
{
    constexpr uint32_t BelowTrack = (1u << TrackShift) - 1;
    return ((track & ByteMask) << TrackShift) | (cdPackMsf(frames) & BelowTrack);
}
