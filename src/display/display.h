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

// Window thread, on the display-initialise request: applies the requested mode under
// both display locks, with the window-side steps through the installed window and back
// end. A mode the host cannot show ends the process with a fatal error box.
void screenApplyMode();
bool displayReady();

// Processor thread: tells the processor's write watch where the screen window is now.
void displayInstallWatch();

// The SCR host-call group ($A1xy).
void screenInstallHostCalls();
void screenRemoveHostCalls();
