#include "ui/main_loop.h"

#include "base/front_end.h"
#include "log/log.h"
#include "platform/signal_pipe.h"

#include <QApplication>
#include <QIcon>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QSocketNotifier>
#include <QThread>
#include <QUrl>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

// Signals reach the loop as one byte on a pipe, which a socket notifier watches.
std::atomic<bool> quitFlag{false};

std::unique_ptr<QApplication> application;
std::unique_ptr<QSocketNotifier> signalNotifier;

// Threads waiting for the GUI thread wait on this; the end of the loop releases them.
std::mutex loopLock;
std::condition_variable loopChanged;
bool loopEnded = false;

std::mutex titleLock;
std::string currentTitle;

QPointer<QWidget> mainWindow;

// Window titles are limited as the host's title bars took them.
constexpr int MaxTitleLength = 255;

// Without a display the program still runs, on Qt's offscreen platform.
void chooseOffscreenWithoutDisplay()
{
    bool noDisplay = !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY");
    if (noDisplay && !getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

void endLoop()
{
    if (application) application->quit();
}

void onSignalReadable()
{
    int signal = SignalPipe::drain();
    zlog(LogCat::General, "ZEM: Signal %d received\r\n", signal);
    quitFlag = true;
    endLoop();
}

// Qt's own remarks (missing runtime directory and the like) get a debug-mask bit of their
// own that no other category uses; its critical and fatal messages always show.
constexpr uint32_t QtRemarks = 0x1000;

void routeQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    uint32_t category = (type == QtCriticalMsg || type == QtFatalMsg) ? LogCat::Error : QtRemarks;
    zlog(category, "Qt: %s\r\n", message.toLocal8Bit().constData());
}

bool onGuiThread() { return application && QThread::currentThread() == application->thread(); }

}  // namespace

namespace MainLoop {

bool init(int& argc, char** argv)
{
    chooseOffscreenWithoutDisplay();
    qInstallMessageHandler(routeQtMessages);
    if (!SignalPipe::open()) return false;
    application = std::make_unique<QApplication>(argc, argv);
    // The loop ends through quitAndDestroy, the processor's end or a signal, never
    // because a last window closed.
    application->setQuitOnLastWindowClosed(false);
    // The installed desktop entry and icon, so the desktop shows the window as ours.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zem2.ZEM2"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zem2")));
    signalNotifier = std::make_unique<QSocketNotifier>(SignalPipe::readEnd(), QSocketNotifier::Read);
    QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, onSignalReadable);
    {
        std::lock_guard<std::mutex> guard(loopLock);
        loopEnded = false;
    }
    return true;
}

void run()
{
    bool endedEarly = false;
    {
        std::lock_guard<std::mutex> guard(loopLock);
        endedEarly = loopEnded;
    }
    if (!endedEarly && application) application->exec();
    {
        std::lock_guard<std::mutex> guard(loopLock);
        loopEnded = true;
    }
    loopChanged.notify_all();
}

bool quitRequested() { return quitFlag; }

bool callOnGui(const std::function<void()>& work)
{
    if (!application) return false;
    if (onGuiThread()) {
        work();
        return true;
    }
    struct Call {
        bool done = false;
        bool cancelled = false;
    };
    auto call = std::make_shared<Call>();
    {
        std::lock_guard<std::mutex> guard(loopLock);
        if (loopEnded) return false;
    }
    QMetaObject::invokeMethod(
        application.get(),
        [call, work] {
            {
                std::lock_guard<std::mutex> guard(loopLock);
                if (call->cancelled) return;
            }
            work();
            {
                std::lock_guard<std::mutex> guard(loopLock);
                call->done = true;
            }
            loopChanged.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> guard(loopLock);
    loopChanged.wait(guard, [&] { return call->done || loopEnded; });
    if (!call->done) call->cancelled = true;
    return call->done;
}

void quitAndDestroy()
{
    quitFlag = true;
    callOnGui(endLoop);
    // The loop has ended, or ends right after the call: wait for that, as the window's
    // destruction would.
    std::unique_lock<std::mutex> guard(loopLock);
    loopChanged.wait(guard, [] { return loopEnded; });
}

void requestExit()
{
    quitFlag = true;
    endLoop();
}

void setMainWindow(QWidget* window)
{
    mainWindow = window;
    if (!window) return;
    std::lock_guard<std::mutex> guard(titleLock);
    if (!currentTitle.empty()) window->setWindowTitle(QString::fromStdString(currentTitle).left(MaxTitleLength));
}

void postProcessorEnded()
{
    if (application) QMetaObject::invokeMethod(application.get(), endLoop, Qt::QueuedConnection);
}

void setWindowTitle(const std::string& title)
{
    callOnGui([&] {
        std::lock_guard<std::mutex> guard(titleLock);
        currentTitle = title;
        if (mainWindow) mainWindow->setWindowTitle(QString::fromStdString(title).left(MaxTitleLength));
    });
    zlog(LogCat::General, "ZEM: Window title \"%s\"\r\n", title.c_str());
}

std::string windowTitle()
{
    std::lock_guard<std::mutex> guard(titleLock);
    return currentTitle;
}

// Without a main window the program is never in front, and there is nothing to flash.
bool isForeground()
{
    bool front = false;
    callOnGui([&] { front = mainWindow && mainWindow->isActiveWindow(); });
    return front;
}

void flashWindow()
{
    callOnGui([] {
        if (mainWindow) QApplication::alert(mainWindow);
    });
}

bool clipboardPut(const std::string& text)
{
    bool stored = false;
    callOnGui([&] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
            clipboard->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
            stored = true;
        }
    });
    return stored;
}

std::optional<std::string> clipboardText()
{
    std::optional<std::string> text;
    callOnGui([&] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard) return;
        const QMimeData* data = clipboard->mimeData();
        if (!data || !data->hasText()) return;
        text = clipboard->text().toStdString();
    });
    return text;
}

int openFile(const std::string& file, const std::string& parameters)
{
    int result = ShellResult::OutOfResources;
    callOnGui([&] {
        QString name = QString::fromUtf8(file.data(), qsizetype(file.size()));
        QUrl url = QUrl::fromUserInput(name, QString(), QUrl::AssumeLocalFile);
        if (!url.isValid()) {
            result = ShellResult::FileNotFound;
            return;
        }
        if (url.isLocalFile()) {
            QFileInfo info(url.toLocalFile());
            if (!info.exists()) {
                result = info.dir().exists() ? ShellResult::FileNotFound : ShellResult::PathNotFound;
                return;
            }
            // A program with parameters is started with them; anything else goes to the
            // desktop's handler for its type.
            if (!parameters.empty() && info.isFile() && info.isExecutable()) {
                QStringList args =
                    QProcess::splitCommand(QString::fromUtf8(parameters.data(), qsizetype(parameters.size())));
                result = QProcess::startDetached(info.absoluteFilePath(), args) ? ShellResult::Success
                                                                                : ShellResult::AccessDenied;
                return;
            }
        }
        result = QDesktopServices::openUrl(url) ? ShellResult::Success : ShellResult::NoAssociation;
    });
    return result;
}

void close()
{
    signalNotifier.reset();
    SignalPipe::close();
    application.reset();
    qInstallMessageHandler(nullptr);
}

}  // namespace MainLoop
