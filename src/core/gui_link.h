// How the processor thread reaches the GUI thread. The core knows nothing of windows:
// the program entry installs the functions that deliver each request to its GUI thread.
// Every function here blocks until the GUI thread has handled the request, or until the
// GUI thread no longer runs its loop (then the request is moot and returns at once).
#pragma once

struct GuiLink {
    // Sets the quit flag and destroys the main window, which ends the message loop and
    // leads to shut-down.
    void (*quitAndDestroy)() = nullptr;
};

// Installs the link (nullptr removes it). Call before the processor thread starts.
void guiLinkInstall(const GuiLink* link);
const GuiLink* guiLink();
