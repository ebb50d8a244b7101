#include "printer/app.h"

#include <QApplication>
#include <QFile>
#include <QPrinterInfo>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "printer/about_box.h"
#include "printer/command_line.h"
#include "printer/errors.h"
#include "printer/host_fonts.h"
#include "printer/message.h"
#include "printer/preview_window.h"
#include "printer/print_run.h"
#include "printer/printer_setup.h"
#include "printer/sample_page.h"
#include "printer/settings.h"
#include "printer/settings_window.h"
#include "printer/stdin_copy.h"
#include "printer/temp_file.h"
#include "printer/trace.h"

namespace zemprint {

namespace {

constexpr auto kInputPollInterval = std::chrono::milliseconds(5);

// Standard input is copied on a worker thread while this thread keeps the
// application's events flowing.
std::string copyStandardInput(int standardInput)
{
    TGetTempSTDINThrd copier(standardInput);
    copier.start();
    while (!copier.done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(kInputPollInterval);
    }
    return copier.finish();
}

std::string defaultPrinterName()
{
    const std::string name = QPrinterInfo::defaultPrinterName().toStdString();
    if (name.empty())
        throw EZEMPrint("Cannot get default printer");
    return name;
}

// Size of the job file, with the intake's messages for a missing or unreadable one.
long long jobFileSize(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        throw EZEMPrint("File with print data not found");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EZEMPrint("Cannot open file with print data");
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw EZEMPrint("Cannot open file with print data");
    }
    ::close(fd);
    return static_cast<long long>(info.st_size);
}

// The program's three windows, created hidden at start; the settings window
// is the main window and shows the other two.
struct Windows {
    TPreviewForm preview;
    TAboutForm about;
    TSettingsForm settings{preview, about};
};

std::vector<std::string> programArguments(const QApplication& app)
{
    std::vector<std::string> args;
    const QStringList list = app.arguments();
    for (qsizetype i = 1; i < list.size(); ++i)
        args.push_back(QFile::encodeName(list[i]).toStdString());
    return args;
}

}  // namespace

void chooseHeadlessPlatform()
{
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool noDisplay = (!display || !*display) && (!wayland || !*wayland);
    if (noDisplay && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int runProgram(QApplication& app, int standardInput)
{
    try {
        Windows windows;
        TSettings settings(settingsFilePath(), installedFontFamilies, localeDecimalSeparator());
        settings.load();

        const std::vector<std::string> args = programArguments(app);
        const IntakePlan plan = planIntake(args);
        debugTraceF("File \"%s\", Printername \"%s\"", args.empty() ? "" : args[0].c_str(), plan.printerName.c_str());

        std::string jobFile;
        switch (plan.source) {
        case JobSource::SamplePage:
            jobFile = writeTemporaryFile(samplePage().data(), samplePage().size());
            break;
        case JobSource::StandardInput:
            jobFile = copyStandardInput(standardInput);
            break;
        case JobSource::File:
            jobFile = plan.jobFile;
            break;
        }
        const std::string printerName = plan.printerName.empty() ? defaultPrinterName() : plan.printerName;

        if (jobFileSize(jobFile) == 0) {
            if (plan.deleteJobFile)
                ::unlink(jobFile.c_str());
            return 0;
        }

        bool print = true;
        {
            TPrinterSetup setup;
            if (!setup.open(printerName))
                throw EZEMPrint("Cannot open printer");
            // Without a display nobody could answer the window: a scripted run
            // prints as if "&Print" had been pressed.
            const bool showWindow = plan.alwaysShowDialog || !settings.values().hideDialog;
            if (showWindow && displayAvailable())
                print = windows.settings.run(settings, setup, jobFile);
            if (print)
                printJob(settings, setup, jobFile);
        }
        if (plan.deleteJobFile)
            ::unlink(jobFile.c_str());
        return 0;
    } catch (const EZEMPrint& error) {
        showError(error.what());
        return 1;
    }
}

}  // namespace zemprint
