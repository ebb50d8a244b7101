// The display's part of start-up and shut-down, mode application and the write watch.
#pragma once

#include <string>

// Start-up (after guest memory exists, before the processor runs): takes the host format
// and monitor limits from the window, installs the screen host calls, the change
// recorder for host-side copies and the processor's write watch. Logs the display's
// start-up lines.
bool displayStart();
// Shut-down (after the processor has stopped, before guest memory goes): writes the
// snapshot when one was asked for, removes the hooks and resets the screen.
void displayShutDown();

// When set, shut-down writes the converted guest screen to this PNG file.
void displaySetSnapshotPath(const std::string& path);

// Window thread, on the display-initialise request: applies the requested mode under
// both display locks, with the window-side steps through the installed window. A mode
// the host cannot show ends the process with a fatal error box.
void screenApplyMode();
bool displayReady();

// Processor thread: tells the processor's write watch where the screen window is now.
void displayInstallWatch();

// The SCR host-call group ($A1xy).
void screenInstallHostCalls();
void screenRemoveHostCalls();
