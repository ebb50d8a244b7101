// The host's wall clock in local time, read and set, and the thread priorities of the
// host scheduler: the thin layer under the emulator's clock and priority rules.
#pragma once

#include <cstdint>
#include <optional>

// A local date and time as the calendar shows it.
struct LocalDateTime {
    int year = 0;    // e.g. 2020
    int month = 0;   // 1-12
    int day = 0;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    int second = 0;  // 0-59
};

// Seconds since 1970-01-01 00:00 counted in local time: the local calendar reading now,
// as if it were a UTC instant (so a local midnight is a multiple of 86400).
int64_t hostLocalSecondsSince1970();

// Milliseconds of the monotonic clock; only differences mean anything.
uint64_t hostTickMilliseconds();

// Why setting the host clock failed.
enum class SetTimeResult { Done, NotPermitted, Invalid, Failed };

// Sets the host clock to the given local time. NotPermitted is the refusal of a process
// without the right to change the time.
SetTimeResult hostSetLocalTime(const LocalDateTime& when);

// Id of the calling thread for the scheduler (Linux: the kernel thread id).
int hostCurrentThreadId();

// Gives the thread a host thread priority in the range -15 (idle) ... 2 (highest), 0
// being normal. Best effort: false when the host refused (raising the priority usually
// needs a right the process lacks).
bool hostSetThreadPriority(int threadId, int priority);
