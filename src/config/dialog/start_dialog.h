// Running the start-up configuration dialog: the accelerated-driver test, the decision
// whether to show the dialog at all, and the modal run.
#pragma once

#include "base/front_end.h"
#include "config/dialog/config_dialog.h"

#include <functional>
#include <optional>

// What the host supplies; every member has a default that asks the real host, so tests
// replace only what they need.
struct StartDialogOptions {
    std::function<Qt::KeyboardModifiers()> modifiers;              // default: the keys held now
    std::function<bool()> openGlUsable;                            // default: a test context
    std::optional<MonitorSet> monitors;                            // default: the screens Qt knows
    std::optional<std::vector<std::string>> printers;              // default: the host's printers
    std::function<void(const std::string&, MessageIcon)> message;  // default: a box
    // Called with the dialog once it is up (tests drive it from here).
    std::function<void(ConfigDialog&)> shown;
    std::optional<Language> language;  // default: from the locale
    // Asked now and then while the dialog is up: true (a signal asked the program to end)
    // closes it as Cancel would. Default: never.
    std::function<bool()> endRequested;
};

// The monitors as Qt sees them.
MonitorSet hostMonitors();

// Whether an OpenGL context can be made current here (done once per process by the
// dialog; a failure is logged).
bool openGlContextUsable();
// Forgets the answer of the once-per-process test (tests).
void forgetOpenGlTest();

// Runs the dialog on the GUI thread during start-up (the settings have been read, the
// host filled by the start-up). Without a usable accelerated back end ScreenDriver becomes
// 1 and the driver list is disabled. With ShowDialog set, Shift not held and every base
// directory given, the dialog is not shown and the result is Ok.
StartDialogResult runStartConfigDialog(const StartDialogOptions& options = {});
