#include "ui/main_window.h"

#include "config/command_line.h"
#include "config/settings.h"
#include "core/events.h"
#include "log/log.h"
#include "core/timer.h"
#include "base/version.h"
#include "cpu/memory.h"
#include "display/display.h"
#include "display/screen_state.h"
#include "display/update_thread.h"
#include "ui/main_loop.h"
#include "ui/window_input.h"
#include "ui/window_sizing.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <atomic>
#include <climits>

namespace {

// Where the guest's system variables keep the count of host clipboard changes.
constexpr uint32_t ClipboardCounterAddress = 0x1C066;

constexpr int MaxInitialTitleLength = 31;

// Tray tips are limited as the host's notification area took them.
constexpr int MaxTipLength = 127;

namespace TaskButtonMode {
constexpr int Taskbar = 0;
constexpr int Tray = 1;
constexpr int TaskOrTray = 2;
}  // namespace TaskButtonMode

QScreen* screenHoldingMost(QRect rect)
{
    QScreen* best = QGuiApplication::primaryScreen();
    long bestArea = -1;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(rect);
        const long area = common.isEmpty() ? 0 : long(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

bool positionConfigured() { return settings.WindowPosX != INT_MAX && settings.WindowPosY != INT_MAX; }

}  // namespace

bool noteHostClipboardText()
{
    if (!mem.base || mem.base + ClipboardCounterAddress >= mem.ramEnd) return false;
    std::atomic_ref<uint8_t>(mem.base[ClipboardCounterAddress]).fetch_add(1);
    return true;
}

std::string writeScreenPicture()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    QDir().mkpath(folder);
    const QString name =
        QStringLiteral("zem2-%1.png").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss-zzz"));
    const std::string path = QDir(folder).filePath(name).toStdString();
    return displayWriteSnapshot(path) ? path : std::string();
}

MainWindow::MainWindow()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    // Pointer moves count without a button held (the guest's pointer follows them).
    setMouseTracking(true);
    // Until the guest names itself; titles at creation were limited to 31 characters.
    setWindowTitle(QString::fromStdString(std::string("ZEM II ") + getReleaseVersion()).left(MaxInitialTitleLength));
    MainLoop::setMainWindow(this);
}

MainWindow::~MainWindow()
{
    MainLoop::setMainWindow(nullptr);
    tray_.reset();
}

ClientSize MainWindow::monitorLimits() const
{
    ClientSize limits{};
    for (QScreen* screen : QGuiApplication::screens()) {
        limits.width = std::max(limits.width, unsigned(screen->geometry().width()));
        limits.height = std::max(limits.height, unsigned(screen->geometry().height()));
    }
    if (limits.width == 0) limits = RecordingWindow::DefaultMonitor;
    return limits;
}

void MainWindow::applyModeAndWait()
{
    MainLoop::callOnGui([] {
        zlog(LogCat::Screen, "ZEM: WM_SETWINDOWMODE\r\n");
        screenApplyMode();
    });
}

ClientSize MainWindow::placeWindow()
{
    placing_ = true;
    const int guestWidth = int(guestScreen.width), guestHeight = int(guestScreen.height);
    const bool wasVisible = isVisible();
    QSize client(guestWidth, guestHeight);
    bool showMaximised = false;

    const QRect configured(
        positionConfigured() ? QPoint(settings.WindowPosX, settings.WindowPosY) : QPoint(),
        QSize(std::max(settings.WindowSizeX, guestWidth), std::max(settings.WindowSizeY, guestHeight)));
    Qt::WindowFlags flags = Qt::Window;
    if (settings.AlwaysOnTop) flags |= Qt::WindowStaysOnTopHint;
    if (trayShown_ && settings.TaskButton == TaskButtonMode::Tray) flags |= Qt::Tool;

    QRect frame;
    if (displayFullScreen()) {
        flags |= Qt::FramelessWindowHint;
        QScreen* screen = positionConfigured() ? screenHoldingMost(configured) : QGuiApplication::primaryScreen();
        frame = screen->geometry();
        client = frame.size();
    } else {
        if (settings.WindowSizeX == 0 || settings.WindowSizeY == 0) {
            settings.WindowSizeX = guestWidth;
            settings.WindowSizeY = guestHeight;
            showMaximised = !shownOnce_;
        } else if (settings.WindowSizeX >= guestWidth && settings.WindowSizeY >= guestHeight) {
            client = QSize(settings.WindowSizeX, settings.WindowSizeY);
        }
        QScreen* primary = QGuiApplication::primaryScreen();
        QPoint corner;
        if (positionConfigured())
            corner = QPoint(settings.WindowPosX, settings.WindowPosY);
        else
            corner = primary->availableGeometry().center() - QPoint(client.width() / 2, client.height() / 2);
        frame = QRect(corner, client);
        frame = moveInside(frame, screenHoldingMost(frame)->availableGeometry());
    }
    if (windowFlags() != flags) setWindowFlags(flags);
    if (shownOnce_) setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (displayFullScreen()) {
        setGeometry(frame);
    } else {
        resize(client);
        move(frame.topLeft());
    }
    if (showMaximised)
        showMaximized();
    else if (!wasVisible || !shownOnce_ || isHidden())
        show();
    shownOnce_ = true;
    placing_ = false;
    rememberPlacement();
    clientSizeChanged();
    const QSize shown = showMaximised ? size() : client;
    return {unsigned(shown.width()), unsigned(shown.height())};
}

void MainWindow::maximise()
{
    QMetaObject::invokeMethod(
        this, [this] { showMaximized(); }, Qt::QueuedConnection);
}

void MainWindow::minimise()
{
    QMetaObject::invokeMethod(
        this, [this] { showMinimized(); }, Qt::QueuedConnection);
}

void MainWindow::restore()
{
    QMetaObject::invokeMethod(
        this, [this] { showNormal(); }, Qt::QueuedConnection);
}

void MainWindow::setClientSize(unsigned width, unsigned height)
{
    QMetaObject::invokeMethod(
        this,
        [this, width, height] {
            if (displayFullScreen()) {
                // A full-screen window has no size of its own: the request toggles.
                zlog(LogCat::Screen, "ZEM: WM_CHANGEWINDOWMODE (FS: %i)\r\n", 1);
                toggleFullScreen();
                return;
            }
            // Presents wait while the window moves, so that none shows a half-placed one.
            updateThreadSetResizing(true);
            settings.WindowSizeX = int(width);
            settings.WindowSizeY = int(height);
            {
                std::lock_guard present(presentationLock());
                std::lock_guard lock(screenLock());
                if (guestScreen.format) placeWindow();
            }
            updateThreadSetResizing(false);
            updateThreadRequestPresent();
            if (view_) view_->update();
        },
        Qt::QueuedConnection);
}

void MainWindow::installView(QWidget* view)
{
    delete view_.data();
    view_ = view;
    if (!view) return;
    view->setParent(this);
    // Keys belong to the window (the guest's keyboard and the hot keys), not to the view.
    view->setFocusPolicy(Qt::NoFocus);
    view->setGeometry(rect());
    view->show();
}

void MainWindow::requestRepaint()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (view_) view_->update();
        },
        Qt::QueuedConnection);
}

void MainWindow::clientSizeChanged()
{
    if (view_) view_->setGeometry(rect());
    QRect dest = rect();
    if (displayFullScreen() && settings.KeepAspectRatio && guestScreen.width && guestScreen.height)
        dest = keepAspectInFullScreen(dest, int(guestScreen.width), int(guestScreen.height));
    const bool changed = dest != destination_ || size() != lastClient_;
    destination_ = dest;
    lastClient_ = size();
    if (!changed) return;
    {
        std::lock_guard present(presentationLock());
        if (displayReady()) displayBackEnd().resize({unsigned(dest.width()), unsigned(dest.height())});
    }
    updateThreadRequestPresent();
    if (view_) view_->update();
}

void MainWindow::rememberPlacement()
{
    if (minimised_ || displayFullScreen() || !isVisible() || isMaximized()) return;
    settings.WindowPosX = frameGeometry().x();
    settings.WindowPosY = frameGeometry().y();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    zlog(LogCat::Screen, "ZEM: WM_MOVE %i %i %i %i\r\n", x(), y(), x() + width(), y() + height());
    if (minimised_) return;
    // A drag by the user keeps the guest's aspect ratio when that item is checked.
    if (!placing_ && settings.KeepAspectRatio && !displayFullScreen() && !isMaximized() && guestScreen.width &&
        guestScreen.height && event->oldSize().isValid()) {
        const bool wider = event->size().width() != event->oldSize().width();
        const bool taller = event->size().height() != event->oldSize().height();
        const SizingEdge edge = wider && taller ? SizingEdge::BottomRight
                                : wider         ? SizingEdge::Right
                                                : SizingEdge::Bottom;
        const QRect wanted =
            keepAspectWhileSizing(QRect(QPoint(), size()), edge, int(guestScreen.width), int(guestScreen.height));
        if (wanted.size() != size()) {
            placing_ = true;
            resize(wanted.size());
            placing_ = false;
            return;
        }
    }
    if (!displayFullScreen()) {
        settings.WindowSizeX = width();
        settings.WindowSizeY = height();
    }
    rememberPlacement();
    clientSizeChanged();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    rememberPlacement();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Only a quit already decided closes the window; the close button asks for one.
    if (MainLoop::quitRequested()) {
        event->accept();
        return;
    }
    event->ignore();
    if (settings.NoExitThroughX) return;
    zlog(LogCat::General, "SC_Close: %i, %i\r\n", displayFullScreen() ? 1 : 0, isActiveWindow() ? 1 : 0);
    MainLoop::requestExit();
}

void MainWindow::onMinimisedChanged(bool minimised)
{
    minimised_ = minimised;
    zlog(LogCat::General, "ZEM: WM_SIZE: Minimized = %i\r\n", minimised ? 1 : 0);
    idleSetMinimised(minimised);
    windowMinimised(minimised);
    updateThreadSetSuspended(minimised);
    // A minimised window lives in the tray, without a taskbar button.
    if (settings.TaskButton == TaskButtonMode::TaskOrTray && minimised != trayShown_) setTrayIcon(minimised, true);
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() != minimised_) onMinimisedChanged(isMinimized());
    if (event->type() == QEvent::ActivationChange) windowActivation(isActiveWindow());
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    // The right button is the guest's; Shift with it, or the menu key, opens this menu.
    if (event->reason() == QContextMenuEvent::Mouse && !(event->modifiers() & Qt::ShiftModifier)) return;
    // The menu takes the button's release.
    windowMenuOpens();
    QMenu menu(this);
    QAction* onTop = menu.addAction(QStringLiteral("Always on top"));
    onTop->setCheckable(true);
    onTop->setChecked(settings.AlwaysOnTop != 0);
    QAction* aspect = menu.addAction(QStringLiteral("Keep aspect ratio"));
    aspect->setCheckable(true);
    aspect->setChecked(settings.KeepAspectRatio != 0);
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == onTop)
        setAlwaysOnTop(!settings.AlwaysOnTop);
    else if (chosen == aspect)
        setKeepAspectRatio(!settings.KeepAspectRatio);
}

void MainWindow::setAlwaysOnTop(bool on)
{
    settings.AlwaysOnTop = on ? 1 : 0;
    const bool visible = isVisible();
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
}

void MainWindow::setKeepAspectRatio(bool on)
{
    settings.KeepAspectRatio = on ? 1 : 0;
    clientSizeChanged();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
    if (event->key() == Qt::Key_F11 && (event->modifiers() & both) == both) {
        const std::string path = writeScreenPicture();
        if (path.empty())
            zlog(LogCat::Error, "ZEM: Cannot write the screen picture\r\n");
        else
            zlog(LogCat::General, "ZEM: Screen picture %s\r\n", path.c_str());
        return;
    }
    if (windowKeyEvent(*event)) return;
    QWidget::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (windowKeyEvent(*event)) return;
    QWidget::keyReleaseEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) { windowMouseMove(*event, destination_); }
void MainWindow::mousePressEvent(QMouseEvent* event) { windowMouseButton(*event, true); }
void MainWindow::mouseReleaseEvent(QMouseEvent* event) { windowMouseButton(*event, false); }
void MainWindow::wheelEvent(QWheelEvent* event) { windowWheel(*event); }

void MainWindow::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    windowActivation(true);
}

void MainWindow::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    windowActivation(false);
}

// Tab is a key for the guest, never a move of the focus.
bool MainWindow::focusNextPrevChild(bool) { return false; }

void MainWindow::toggleFullScreen() { displayChange(true); }

void MainWindow::setTrayIcon(bool show, bool adjustStyle)
{
    if (show && !tray_) {
        trayMenu_ = std::make_unique<QMenu>();
        QAction* restoreAction = trayMenu_->addAction(QStringLiteral("&Restore"));
        QAction* exitAction = trayMenu_->addAction(QStringLiteral("&Exit"));
        QObject::connect(restoreAction, &QAction::triggered, this, [this] { trayLeftClick(); });
        QObject::connect(exitAction, &QAction::triggered, this, [this] { trayExit(); });
        tray_ = std::make_unique<QSystemTrayIcon>(windowIcon());
        tray_->setContextMenu(trayMenu_.get());
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            zlog(LogCat::General, "ZEM: WM_NOTIFYICON: %i\r\n", int(why));
            if (why == QSystemTrayIcon::Trigger) trayLeftClick();
        });
    }
    if (tray_) {
        tray_->setToolTip(windowTitle().left(MaxTipLength));
        tray_->setVisible(show);
    }
    const bool changed = trayShown_ != show;
    trayShown_ = show;
    if (adjustStyle && changed) {
        // Without a taskbar button while the tray icon shows.
        const bool visible = isVisible() && !isMinimized();
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        setWindowFlag(Qt::Tool, show);
        if (visible) QWidget::show();
    }
}

void MainWindow::trayLeftClick()
{
    if (minimised_ || isHidden()) {
        if (settings.TaskButton == TaskButtonMode::TaskOrTray) setTrayIcon(false, true);
        showNormal();
        raise();
        activateWindow();
    } else {
        showMinimized();
    }
}

void MainWindow::trayExit() { MainLoop::requestExit(); }

void MainWindow::setUpDesktop()
{
    if (settings.TaskButton != TaskButtonMode::Taskbar && !QSystemTrayIcon::isSystemTrayAvailable()) {
        zlog(LogCat::General, "ZEM: No system tray here: the window keeps its taskbar button\r\n");
        settings.TaskButton = TaskButtonMode::Taskbar;
    }
    if (settings.TaskButton == TaskButtonMode::Tray) setTrayIcon(true, true);

    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        const bool active = state == Qt::ApplicationActive;
        zlog(LogCat::General, "ZEM: WM_ACTIVATEAPP\r\n");
        static bool lastActive = false;
        if (active == lastActive) return;
        lastActive = active;
        zlog(LogCat::General, "ZEM: New active state: %i\r\n", active ? 1 : 0);
        prioritySetApplicationActive(active);
        applyPriority();
    });
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        QObject::connect(clipboard, &QClipboard::dataChanged, this, [clipboard] {
            const QMimeData* data = clipboard->mimeData();
            if (data && data->hasText()) noteHostClipboardText();
        });
}
