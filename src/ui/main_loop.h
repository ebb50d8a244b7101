// The GUI thread's loop while the emulator runs without a window: it waits until the
// guest quits, the processor ends, or the process is asked to terminate (SIGINT,
// SIGTERM), and then returns so the program can shut down in order.
#pragma once

namespace MainLoop {

// Creates the wake-up channel and installs the signal handlers. False when the host
// refuses them.
bool init();

// Runs until one of the ending events arrives. Any thread blocked in
// quitAndDestroy() is released when the loop ends.
void run();

// The quit flag: set by every path that really ends the program.
bool quitRequested();

// Processor thread: sets the quit flag, asks the loop to end, and waits until it has.
void quitAndDestroy();

// Any thread, never blocks: the processor thread has ended on its own.
void postProcessorEnded();

// Closes the wake-up channel and restores the default signal handling.
void close();

}  // namespace MainLoop
