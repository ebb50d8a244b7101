#include "config/dialog/start_dialog.h"

#include "base/message_box.h"
#include "base/version.h"
#include "config/config_blocks.h"
#include "config/configuration.h"
#include "log/log.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int EndWatchInterval = 100;  // ms

// The accelerated back end is tested once per process; later runs reuse the answer.
std::optional<bool> openGlAnswer;

void showBox(const std::string& text, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromUtf8(Caption::Emulator), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeModalWidget());
    box.exec();
}

}  // namespace

MonitorSet hostMonitors()
{
    MonitorSet set;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        set.primary = {primary->geometry().width(), primary->geometry().height()};
        set.virtualScreen = {primary->virtualSize().width(), primary->virtualSize().height()};
        set.monitors.push_back(set.primary);
    }
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) set.monitors.push_back({screen->geometry().width(), screen->geometry().height()});
    return set;
}

bool openGlContextUsable()
{
    QOpenGLContext context;
    if (!context.create()) {
        zlog(LogCat::Error, "ZEM: Error creating an OpenGL context\r\n");
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        zlog(LogCat::Error, "ZEM: Error initialising an OpenGL surface\r\n");
        return false;
    }
    context.doneCurrent();
    return true;
}

StartDialogResult runStartConfigDialog(const StartDialogOptions& options)
{
    DialogEnvironment env;
    env.language = options.language.value_or(hostLanguage());
    env.monitors = options.monitors ? *options.monitors : hostMonitors();
    env.printerProgramPresent = startDialogHost().printerProgramPresent;
    env.iniReadOnly = configState.iniReadOnly;
    env.programVersion = getReleaseVersion();
    env.imageVersion = configState.imageVersion;
    env.modifiers = options.modifiers ? options.modifiers : [] { return QGuiApplication::queryKeyboardModifiers(); };
    env.message = options.message ? options.message : showBox;

    // "Max" reaches the guest as the primary monitor's size once the dialog has ended.
    setHostScreenSizeProvider([size = env.monitors.primary](int& width, int& height) {
        width = size.width;
        height = size.height;
    });

    if (!openGlAnswer) openGlAnswer = options.openGlUsable ? options.openGlUsable() : openGlContextUsable();
    if (!*openGlAnswer) {
        zlog(LogCat::Error, "ZEM: No usable OpenGL: the raster back end is chosen\r\n");
        settings.ScreenDriver = 1;
        env.driverListEnabled = false;
    }

    const bool shiftHeld = (env.modifiers() & Qt::ShiftModifier) != 0;
    if (!startDialogShown(settings, shiftHeld)) return StartDialogResult::Ok;

    env.printers = options.printers ? *options.printers : knownHostPrinterNames();

    ConfigDialog dialog(startDialogHost(), std::move(env));
    if (options.shown) QTimer::singleShot(0, &dialog, [&] { options.shown(dialog); });
    // The program's own loop has not started yet, so a request to end must reach the
    // dialog here.
    QTimer endWatch;
    if (options.endRequested) {
        QObject::connect(&endWatch, &QTimer::timeout, &dialog, [&] {
            if (options.endRequested()) dialog.reject();
        });
        endWatch.start(EndWatchInterval);
    }
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    return dialog.exec() == QDialog::Accepted ? StartDialogResult::Ok : StartDialogResult::Cancel;
}

void forgetOpenGlTest() { openGlAnswer.reset(); }
