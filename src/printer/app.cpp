#include "printer/app.h"

#include <QApplication>
#include <QFile>
#include <QPrinterInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <cstddef>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "printer/ui/about_box.h"
#include "printer/job/command_line.h"
#include "printer/base/errors.h"
#include "printer/host_fonts.h"
#include "printer/ui/message.h"
#include "printer/ui/preview_window.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "printer/job/sample_page.h"
#include "printer/settings/settings.h"
#include "printer/ui/settings_window.h"
#include "printer/job/stdin_copy.h"
#include "printer/job/temp_file.h"
#include "printer/base/trace.h"

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
    if (name.empty()) throw EZEMPrint("Cannot get default printer");
    return name;
}

// "message: \"name\": reason", the form of every error that has a file or
// printer and a system reason.
std::string withReason(const char* message, const std::string& name, int error)
{
    return formatMessage("%s: \"%s\": %s", message, name.c_str(), std::strerror(error));
}

// Size of the job file, with the intake's messages for a missing or unreadable one.
long long jobFileSize(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        throw EZEMPrint(withReason("File with print data not found", path, errno));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EZEMPrint(withReason("Cannot open file with print data", path, errno));
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw EZEMPrint(withReason("Cannot open file with print data", path, error));
    }
    ::close(fd);
    return static_cast<long long>(info.st_size);
}

// Why a printer could not be opened: for files, what is wrong with the folder.
std::string printerFailure(const std::string& printerName)
{
    if (outputKindFor(printerName) == OutputKind::Printer)
        return formatMessage("Cannot open printer: \"%s\": no such CUPS printer", printerName.c_str());
    const auto slash = printerName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : printerName.substr(0, slash == 0 ? 1 : slash);
    struct stat info {};
    int error = ENOTDIR;
    if (::stat(folder.c_str(), &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;  // the name itself is a folder
    return withReason("Cannot open printer", printerName, error);
}

bool debugRequested()
{
    const char* value = std::getenv("ZEMPRINT_DEBUG");
    return value && *value && std::string(value) != "0";
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
    for (qsizetype i = 1; i < list.size(); ++i) args.push_back(QFile::encodeName(list[i]).toStdString());
    return args;
}

}  // namespace

namespace {

constexpr int kDisplayConnectTimeoutMs = 1000;
constexpr int kFirstX11Port = 6000;

bool connectsTo(int fd, const sockaddr* address, socklen_t length)
{
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    bool connected = ::connect(fd, address, length) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd wait{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&wait, 1, kDisplayConnectTimeoutMs) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}

bool unixSocketAnswers(const std::string& path, bool abstract)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    return connectsTo(fd, reinterpret_cast<const sockaddr*>(&address), length);
}

bool tcpAnswers(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool answered = false;
    for (addrinfo* a = found; a && !answered; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0) answered = connectsTo(fd, a->ai_addr, a->ai_addrlen);
    }
    ::freeaddrinfo(found);
    return answered;
}

// An X server named "host:N.S" or ":N" listens on a local socket or on TCP
// port 6000 + N.
bool x11DisplayAnswers(const std::string& display)
{
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = display.substr(0, colon);
    const std::string rest = display.substr(colon + 1);
    const std::string number = rest.substr(0, rest.find('.'));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + number;
        return unixSocketAnswers(path, false) || unixSocketAnswers(path, true);
    }
    if (host.front() == '/')  // a launchd-style socket path
        return unixSocketAnswers(display, false);
    return tcpAnswers(host, kFirstX11Port + std::stoi(number));
}

bool waylandDisplayAnswers(const std::string& display)
{
    if (display.front() == '/') return unixSocketAnswers(display, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && unixSocketAnswers(std::string(runtime) + "/" + display, false);
}

}  // namespace

// Without a display that answers (none named, or the one named gone), the
// run is headless instead of aborting in the window system's start-up.
void chooseHeadlessPlatform()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool reachable =
        (wayland && *wayland && waylandDisplayAnswers(wayland)) || (display && *display && x11DisplayAnswers(display));
    if (!reachable) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int runProgram(QApplication& app, int standardInput)
{
    // Temporary files this run made: the sample page goes whatever happens;
    // a copy of standard input is kept after a failure, as the only copy of
    // the user's job, and named in the message.
    std::string sampleFile;
    std::string inputCopy;
    try {
        Windows windows;
        TSettings settings(settingsFilePath(), installedFontFamilies, localeDecimalSeparator());
        settings.load();
        if (debugRequested()) settings.debug = true;
        setDebugTraceEnabled(settings.debug);

        const std::vector<std::string> args = programArguments(app);
        const IntakePlan plan = planIntake(args);
        settings.runPins = plan.pins;
        settings.runPaperSize = plan.paperSize;
        if (settings.debug)
            debugTraceF("File \"%s\", Printername \"%s\"",
                        plan.source == JobSource::StandardInput ? "-" : plan.jobFile.c_str(), plan.printerName.c_str());

        std::string jobFile;
        switch (plan.source) {
        case JobSource::SamplePage:
            jobFile = sampleFile = writeTemporaryFile(samplePage().data(), samplePage().size());
            break;
        case JobSource::StandardInput:
            jobFile = inputCopy = copyStandardInput(standardInput);
            break;
        case JobSource::File:
            jobFile = plan.jobFile;
            break;
        }
        const std::string printerName = plan.printerName.empty() ? defaultPrinterName() : plan.printerName;

        if (jobFileSize(jobFile) == 0) {
            if (plan.deleteJobFile) ::unlink(jobFile.c_str());
            return 0;
        }

        bool print = true;
        {
            TPrinterSetup setup;
            if (!setup.open(printerName)) throw EZEMPrint(printerFailure(printerName));
            if (setup.outputKind() != OutputKind::Printer && !settings.paperSize().empty()) {
                const std::optional<QPageSize> paper = paperSizeNamed(settings.paperSize());
                if (!paper)
                    throw EZEMPrint(
                        formatMessage("Unknown paper size \"%s\" (A3, A4, A5, B5, Letter, Legal, "
                                      "Executive, Tabloid)",
                                      settings.paperSize().c_str()));
                setup.deviceMode().pageSize = *paper;
                setup.capture();
            }
            // Without a display nobody could answer the window: a scripted run
            // prints as if "&Print" had been pressed.
            const bool showWindow = plan.alwaysShowDialog || !settings.values().hideDialog;
            if (showWindow && displayAvailable()) print = windows.settings.run(settings, setup, jobFile);
            if (print && printJob(settings, setup, jobFile).pages == 0)
                std::fprintf(stderr, "ZEMPrint: the job holds nothing to print: no page was printed\n");
        }
        if (plan.deleteJobFile) ::unlink(jobFile.c_str());
        return 0;
    } catch (const EZEMPrint& error) {
        if (!sampleFile.empty()) ::unlink(sampleFile.c_str());
        std::string message = error.what();
        if (!inputCopy.empty()) message += "\nThe job read from standard input is kept in \"" + inputCopy + "\"";
        showError(message);
        return 1;
    }
}

}  // namespace zemprint
