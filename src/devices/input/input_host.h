// What the keyboard and the mouse ask of the window they serve. The window program
// installs its implementation; without one (headless runs, tests that do not care) the
// requests are dropped.
#pragma once

class InputHost {
public:
    virtual ~InputHost() = default;
    // The exit hot key: ends the program in order, as the tray menu's Exit does.
    virtual void requestExit() = 0;
    // The full-screen hot key: switches between full screen and a window, later on the
    // window's own thread.
    virtual void toggleFullScreen() = 0;
    // Moves the host pointer to a point of the window's client area.
    virtual void movePointer(int clientX, int clientY) = 0;
};

// GUI thread, before start-up or after shut-down. nullptr: none.
void inputSetHost(InputHost* host);
InputHost* inputHost();
