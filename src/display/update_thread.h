// The screen update thread: woken every third timer tick, it converts the changed cells
// into the back end's surface and presents when something changed. Free of any window
// system: it talks only to the installed back end.
#pragma once

#include <cstdint>

// Starts and stops the thread (display start-up and shut-down, under the presentation
// lock the caller holds: the thread takes it only after it has been woken).
void updateThreadStart();
void updateThreadStop();
bool updateThreadRunning();

// Timer thread: time to update.
void updateThreadWake();

// A present is due (window exposed, resized, mode applied).
void updateThreadRequestPresent();

// Window thread: while suspended (minimised) nothing is converted or presented; the
// marks accumulate and resuming redraws the whole screen once.
void updateThreadSetSuspended(bool suspended);
bool updateThreadSuspended();

// While the window is being repositioned by the guest's set-size call, presents wait.
void updateThreadSetResizing(bool resizing);

// Counts of conversion passes that converted something, and of presents made; tests and
// the debug log use them.
struct UpdateCounts {
    uint64_t conversions = 0;
    uint64_t presents = 0;
};
UpdateCounts updateThreadCounts();

// One pass as the thread runs it (tests drive it directly).
void updateThreadPass();
