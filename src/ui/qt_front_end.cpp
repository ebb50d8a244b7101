#include "ui/qt_front_end.h"

#include "config/dialog/start_dialog.h"
#include "ui/main_loop.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace {

// Platforms on which nobody could see a box.
bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

void QtFrontEnd::messageBox(const std::string& caption, const std::string& text, MessageIcon icon)
{
    bool shown = false;
    if (hasDisplay()) {
        shown = MainLoop::callOnGui([&] {
            QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                            QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
            box.exec();
        });
    }
    if (!shown) writeMessageBoxToStandardError(caption, text, icon);
}

// Nobody could answer a dialog without a display: start-up goes on as when ShowDialog
// says so.
StartDialogResult QtFrontEnd::runStartDialog()
{
    if (!hasDisplay()) return StartDialogResult::Skipped;
    StartDialogOptions options;
    options.endRequested = MainLoop::quitRequested;
    return runStartConfigDialog(options);
}

void QtFrontEnd::setWindowTitle(const std::string& title) { MainLoop::setWindowTitle(title); }
bool QtFrontEnd::isForeground() { return MainLoop::isForeground(); }
void QtFrontEnd::flashWindow() { MainLoop::flashWindow(); }
bool QtFrontEnd::clipboardPut(const std::string& text) { return MainLoop::clipboardPut(text); }
std::optional<std::string> QtFrontEnd::clipboardText() { return MainLoop::clipboardText(); }

int QtFrontEnd::openFile(const std::string& file, const std::string& parameters)
{
    return MainLoop::openFile(file, parameters);
}

void QtFrontEnd::requestQuit() { MainLoop::quitAndDestroy(); }
void QtFrontEnd::processorEnded() { MainLoop::postProcessorEnded(); }
