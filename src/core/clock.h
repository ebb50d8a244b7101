// The guest's real-time clock: seconds since 1961-01-01 00:00 host local time, kept in
// the clock register at guest $1C000 (big-endian) and refreshed once a second.
#pragma once

#include <cstdint>

namespace ClockLayout {
constexpr uint32_t Register = 0x1C000;
}  // namespace ClockLayout

// Guest seconds for a count of local-time seconds since 1970-01-01, modulo 2^32.
uint32_t guestSecondsFromLocal1970(int64_t localSeconds);

// Recomputes the clock base from the host local time and restarts the 60-second count to
// the next recomputation.
void clockResync();

// One step of the once-a-second clock timer: recomputes the base every 60th step, then
// stores the guest clock in the clock register (when guest memory exists).
void clockTimerStep();

// The guest clock as of the last timer step (0 before the first).
uint32_t clockGuestNow();

// Start-up: computes the base, writes the register once and starts the 1-second timer.
// False when the host refuses the timer.
bool clockStart();
// Stops the 1-second timer (the main window's end).
void clockStop();

// A packed date and time (the guest's format: bits 0-4 seconds/2, 5-10 minutes, 11-15
// hours, 16-20 day, 21-24 month, 25-31 year - 1980) and its unpacked fields.
struct PackedDateFields {
    int year, month, day, hour, minute, second;
};
PackedDateFields unpackDate(uint32_t packed);

// INP SetHostClock: sets the host clock from the packed date in Dn (n = 0-7).
int32_t inpSetHostClock(unsigned n);
// Installs SetHostClock in its INP slot (the clock's start) and removes it (shut-down).
void clockInstallHostCalls();
void clockRemoveHostCalls();

// Replaces the host step that sets the clock (tests); nullptr restores the real one.
// The setter returns false when the host refused.
using HostClockSetter = bool (*)(const PackedDateFields& when);
void clockSetHostClockSetter(HostClockSetter setter);
