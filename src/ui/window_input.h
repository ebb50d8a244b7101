// The window's keyboard and mouse events handed to the input device: Qt key events by
// their native scan code (the host key table makes set-1 codes and virtual keys of it),
// pointer events in client coordinates against the picture's place in the window. The
// decisions are the device's; this only translates.
#pragma once

#include "devices/input/input_host.h"
#include "devices/input/keyboard.h"
#include "devices/input/mouse.h"

#include <QPointer>
#include <QRect>

#include <functional>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QWidget;

// A Qt key event as the keyboard sees it.
HostKeyEvent hostKeyEvent(const QKeyEvent& event);

// True when the keyboard took the event (the window does nothing more with it).
bool windowKeyEvent(const QKeyEvent& event);

// Pointer events; `picture` is where the guest screen lies in the client area.
void windowMouseMove(const QMouseEvent& event, QRect picture);
void windowMouseButton(const QMouseEvent& event, bool down);
void windowWheel(const QWheelEvent& event);
// The window lost or regained the keyboard, or was minimised or restored.
void windowActivation(bool active);
void windowMinimised(bool minimised);
// A menu of the window's own opens and takes the buttons' releases.
void windowMenuOpens();

// What the keyboard's hot keys and the guest's pointer requests do to the window.
class WindowInputHost : public InputHost {
public:
    // `toggle` switches between full screen and a window (later, on the window's thread).
    WindowInputHost(QWidget* window, std::function<void()> toggle);
    void requestExit() override;
    void toggleFullScreen() override;
    void movePointer(int clientX, int clientY) override;

private:
    QPointer<QWidget> window_;
    std::function<void()> toggle_;
};

// After start-up: the host's wheel setting.
void windowInputReadHostSettings();
