// The guest's CD time formats, each in one 32-bit register:
//   MSF:   minutes in bits 16 and up, seconds in bits 8-15, frames (1/75 s) in bits 0-7;
//   TMSF:  track in bits 24-31, then minutes, seconds and frames of the position within
//          that track;
//   frames: a plain count of 1/75-second frames.
#pragma once

#include <cstdint>

namespace CdTime {
constexpr uint32_t FramesPerSecond = 75;
constexpr uint32_t SecondsPerMinute = 60;
constexpr uint32_t FramesPerMinute = FramesPerSecond * SecondsPerMinute;
// The largest count the guest's frames-to-MSF call converts: 80 minutes. Larger counts
// come back unchanged, so the guest can tell that nothing was converted.
constexpr uint32_t GuestMsfLimit = 80 * FramesPerMinute;
}  // namespace CdTime

// ((MSF >> 16) × 60 + seconds) × 75 + frames. Seconds and frames beyond their ranges
// count arithmetically.
uint32_t cdMsfToFrames(uint32_t msf);

// Packs any count into MSF (minutes may exceed 255 and run into the top byte).
uint32_t cdPackMsf(uint32_t frames);

// The guest's conversion: counts up to GuestMsfLimit are packed, larger ones (negative
// ones included) are returned unchanged.
uint32_t cdFramesToMsf(uint32_t frames);

// Track and a position within it as TMSF. The track keeps its low 8 bits; minutes above
// 255 do not fit and are cut to their low 8 bits.
uint32_t cdPackTmsf(unsigned track, uint32_t frames);
