// Termination signals (SIGINT, SIGTERM) turned into a readable file descriptor, so that
// an event loop can watch for them like for any other input.
#pragma once

namespace SignalPipe {

// Creates the pipe (close-on-exec, non-blocking) and installs the handlers, which write
// one byte per signal. False when the host refuses the pipe.
bool open();
// The descriptor to watch; -1 when not open.
int readEnd();
// Empties the pipe and returns the number of the last signal received (0 when none).
int drain();
// Restores the default handling and closes the pipe.
void close();

}  // namespace SignalPipe
