// The main window: shows the guest screen, places itself for the guest's modes, keeps
// the closing rules, the tray icon and the two context-menu items, and tells the guest
// when the host clipboard changes. It is the display's window and the back ends' host.
#pragma once

#include "display/display_window.h"
#include "ui/screen_back_ends.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QSystemTrayIcon;
class QMenu;

class MainWindow : public QWidget, public DisplayWindow, public ScreenHost {
public:
    MainWindow();
    ~MainWindow() override;

    // DisplayWindow
    ClientSize monitorLimits() const override;
    void applyModeAndWait() override;
    ClientSize placeWindow() override;
    void maximise() override;
    void minimise() override;
    void restore() override;
    void setClientSize(unsigned width, unsigned height) override;

    // ScreenHost
    void installView(QWidget* view) override;
    void requestRepaint() override;
    QRect destination() const override { return destination_; }

    // After start-up: the tray icon by TaskButton, the title, the clipboard watch.
    void setUpDesktop();

    // The tray icon and whether the window has a taskbar button.
    bool trayShown() const { return trayShown_; }
    void setTrayIcon(bool show, bool adjustStyle);

    // Window thread: leaves full screen or enters it, re-creating the back end.
    void toggleFullScreen();

    // The context-menu items.
    void setAlwaysOnTop(bool on);
    void setKeepAspectRatio(bool on);

    // The tray icon's clicks and menu entries.
    void trayLeftClick();
    void trayExit();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void clientSizeChanged();
    void rememberPlacement();
    void onMinimisedChanged(bool minimised);

    QPointer<QWidget> view_;
    QRect destination_;
    bool shownOnce_ = false;
    bool placing_ = false;
    bool minimised_ = false;
    bool trayShown_ = false;
    QSize lastClient_;
    std::unique_ptr<QMenu> trayMenu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
};

// The host clipboard now holds text: the guest learns it through the counter byte at
// $1C066. False when there is no guest memory to tell.
bool noteHostClipboardText();

// Writes the guest screen as a PNG into the user's pictures folder with a time-stamped
// name; returns the path, empty when it could not be written.
std::string writeScreenPicture();
