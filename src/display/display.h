// The display's part of the machine: start-up and shut-down, mode application and the
// write watch, and the window and back end it draws through.
#pragma once

#include "core/machine_parts.h"

#include <string>

class DisplayWindow;
class DisplayBackEnd;

// The display as a machine part, drawing through `window` and `backEnd` (nullptr: the
// recording window, the headless back end). Both must outlive the machine.
MachinePart displayPart(DisplayWindow* window = nullptr, DisplayBackEnd* backEnd = nullptr);

// Installs the window and the back end (nullptr: the stand-ins). Before start-up.
void displaySetWindow(DisplayWindow* window);
void displaySetBackEnd(DisplayBackEnd* backEnd);
DisplayWindow& displayWindow();
DisplayBackEnd& displayBackEnd();

// Start-up (after guest memory exists, before the processor runs): initialises the back
// end, takes the host format and monitor limits, installs the screen host calls, the
// recorder of host-side writes and the processor's write watch. Logs the display's
// start-up lines. False when the back end refused (its message has been shown).
bool displayStart();
// Shut-down (after the processor has stopped, before guest memory goes): writes the
// snapshot when one was asked for, removes what start-up installed, cleans the back end
// up and resets the screen.
void displayShutDown();

// When set, shut-down writes the converted guest screen to this PNG file.
void displaySetSnapshotPath(const std::string& path);
// Writes the guest screen (guest pixels, unscaled) to a PNG file now. False when there
// is no mode yet or the file cannot be written.
bool displayWriteSnapshot(const std::string& path);

// Window thread, on the display-initialise request: applies the requested mode under
// both display locks, with the window-side steps through the installed window and back
// end. A mode the host cannot show ends the process with a fatal error box.
void screenApplyMode();
bool displayReady();
// A back end that failed clears the ready flag until the next display change.
void displaySetNotReady();
// Whether the window covers a monitor without a border (starts from WindowMode 0).
bool displayFullScreen();

// Window thread: re-creates the back end (after a failure, or to toggle full screen when
// `toggle` is set) and applies the current mode again. False when the back end cannot be
// set up; the display then stays not ready until the next change.
bool displayChange(bool toggle);

// Processor thread: tells the processor's write watch where the screen window is now.
void displayInstallWatch();

// The SCR host-call group ($A1xy).
void screenInstallHostCalls();
void screenRemoveHostCalls();
