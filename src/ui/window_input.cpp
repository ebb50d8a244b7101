#include "ui/window_input.h"

#include "display/display.h"
#include "display/screen_state.h"
#include "log/log.h"
#include "platform/host_key_codes.h"
#include "ui/main_loop.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

HostKeyEvent hostKeyEvent(const QKeyEvent& event)
{
    HostKeyEvent key;
    key.key = hostKeyFromNative(event.nativeScanCode());
    key.pressed = event.type() == QEvent::KeyPress;
    key.autoRepeat = event.isAutoRepeat();
    if (key.pressed) key.text = event.text().toStdU32String();
    return key;
}

bool windowKeyEvent(const QKeyEvent& event) { return keyboardKeyEvent(hostKeyEvent(event)); }

void windowMouseMove(const QMouseEvent& event, QRect picture)
{
    const MouseGeometry geometry{picture.x(),      picture.y(),       picture.width(),
                                 picture.height(), guestScreen.width, guestScreen.height};
    const QPoint at = event.position().toPoint();
    mouseMove(geometry, at.x(), at.y());
}

void windowMouseButton(const QMouseEvent& event, bool down)
{
    switch (event.button()) {
    case Qt::LeftButton:
        mouseButton(MouseButton::Left, down);
        break;
    case Qt::RightButton:
        mouseButton(MouseButton::Right, down);
        break;
    case Qt::MiddleButton:
        mouseButton(MouseButton::Middle, down);
        break;
    default:
        break;
    }
}

void windowWheel(const QWheelEvent& event)
{
    // Both count eighths of a degree, 120 to a notch.
    if (const int rotation = event.angleDelta().y()) mouseWheel(rotation);
}

void windowActivation(bool active)
{
    keyboardSetActive(active);
    if (!active) mouseReleaseButtons();
}

void windowMinimised(bool minimised)
{
    keyboardSetMinimised(minimised);
    if (minimised) mouseReleaseButtons();
}

void windowMenuOpens() { mouseReleaseButtons(); }

WindowInputHost::WindowInputHost(QWidget* window, std::function<void()> toggle)
    : window_(window), toggle_(std::move(toggle))
{
}

void WindowInputHost::requestExit() { MainLoop::requestExit(); }

void WindowInputHost::toggleFullScreen()
{
    if (!window_) return;
    QMetaObject::invokeMethod(
        window_.data(),
        [toggle = toggle_] {
            zlog(LogCat::Screen, "ZEM: WM_CHANGEWINDOWMODE (FS: %i)\r\n", displayFullScreen() ? 1 : 0);
            toggle();
        },
        Qt::QueuedConnection);
}

void WindowInputHost::movePointer(int clientX, int clientY)
{
    if (window_) QCursor::setPos(window_->mapToGlobal(QPoint(clientX, clientY)));
}

void windowInputReadHostSettings() { mouseSetWheelLines(QApplication::wheelScrollLines()); }
