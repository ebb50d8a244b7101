#include "platform/host_printers.h"

#include <cups/cups.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int BusyWaitMs = 100;

HostFailure errnoFailure(int code)
{
    HostFailure f;
    f.code = code;
    f.text = std::strerror(code);
    switch (code) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
        f.kind = HostFailureKind::NotFound;
        break;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EROFS:
        f.kind = HostFailureKind::Denied;
        break;
    default:
        f.kind = HostFailureKind::Other;
        break;
    }
    return f;
}

HostFailure cupsFailure()
{
    HostFailure f;
    const ipp_status_t status = cupsLastError();
    f.code = int(status);
    const char* text = cupsLastErrorString();
    f.text = text ? text : ippErrorString(status);
    if (status == IPP_STATUS_ERROR_NOT_FOUND)
        f.kind = HostFailureKind::NotFound;
    else if (status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
             status == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS || status == IPP_STATUS_ERROR_BUSY)
        f.kind = HostFailureKind::Denied;
    else
        f.kind = HostFailureKind::Other;
    return f;
}

class FileTarget : public HostPrintTarget {
public:
    explicit FileTarget(int fd) : fd_(fd) {}
    ~FileTarget() override
    {
        if (fd_ >= 0) ::close(fd_);
    }

    long write(const uint8_t* data, size_t length, const std::atomic<bool>& abandon) override
    {
        for (;;) {
            const ssize_t done = ::write(fd_, data, length);
            if (done >= 0) return long(done);
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                failure_ = errnoFailure(errno);
                return -1;
            }
            // A device or pipe that is full: wait for room, but give up when told to.
            if (abandon.load()) return 0;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, BusyWaitMs);
        }
    }

    bool close() override
    {
        const int fd = fd_;
        fd_ = -1;
        if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
            failure_ = errnoFailure(errno);
            return false;
        }
        return true;
    }

private:
    int fd_;
};

// One connection per job: CUPS keeps its default connection per thread, and the job is
// started on one thread and written on another.
class CupsJobTarget : public HostPrintTarget {
public:
    CupsJobTarget(http_t* http, std::string printer) : http_(http), printer_(std::move(printer)) {}
    ~CupsJobTarget() override
    {
        if (http_) httpClose(http_);
    }

    long write(const uint8_t* data, size_t length, const std::atomic<bool>&) override
    {
        if (cupsWriteRequestData(http_, reinterpret_cast<const char*>(data), length) != HTTP_STATUS_CONTINUE) {
            failure_ = cupsFailure();
            return -1;
        }
        return long(length);
    }

    bool close() override
    {
        if (!http_) return true;
        const ipp_status_t status = cupsFinishDocument(http_, printer_.c_str());
        const bool ok = status <= IPP_STATUS_OK_EVENTS_COMPLETE;
        if (!ok) failure_ = cupsFailure();
        httpClose(http_);
        http_ = nullptr;
        return ok;
    }

private:
    http_t* http_;
    std::string printer_;
};

http_t* connectScheduler()
{
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
}

}  // namespace

std::unique_ptr<HostPrintTarget> hostOpenPrinterDevice(const std::string& path, HostFailure& failure)
{
    // Non-blocking, so that a writer waiting on a stuck printer can still be told to stop.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = errnoFailure(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        failure = errnoFailure(errno == EWOULDBLOCK ? EBUSY : errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileTarget>(fd);
}

std::unique_ptr<HostPrintTarget> hostCreateSpoolFile(std::string& name, HostFailure& failure)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : ".") + "/ZEMXXXXXX.tmp";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), 4);
    if (fd < 0) {
        failure = errnoFailure(errno);
        return nullptr;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    name = buffer.data();
    return std::make_unique<FileTarget>(fd);
}

std::unique_ptr<HostPrintTarget> hostStartRawJob(const std::string& printer, const std::string& title,
                                                 HostFailure& failure, std::string& stage)
{
    stage = "create";
    http_t* http = connectScheduler();
    if (!http) {
        failure = errnoFailure(ECONNREFUSED);
        failure.text = std::string("no print scheduler at ") + cupsServer();
        return nullptr;
    }
    const int job = cupsCreateJob(http, printer.c_str(), title.c_str(), 0, nullptr);
    if (job <= 0) {
        failure = cupsFailure();
        httpClose(http);
        return nullptr;
    }
    stage = "document";
    if (cupsStartDocument(http, printer.c_str(), job, title.c_str(), CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
        failure = cupsFailure();
        cupsCancelJob2(http, printer.c_str(), job, 0);
        httpClose(http);
        return nullptr;
    }
    return std::make_unique<CupsJobTarget>(http, printer);
}

std::optional<std::vector<std::string>> hostPrinterNames(HostFailure& failure)
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    if (count <= 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        failure = cupsFailure();
        cupsFreeDests(count, dests);
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        if (!dests[i].instance) names.emplace_back(dests[i].name);
    cupsFreeDests(count, dests);
    return names;
}

std::string hostDefaultPrinter()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::string name;
    if (cups_dest_t* d = cupsGetDest(nullptr, nullptr, count, dests)) name = d->name;
    cupsFreeDests(count, dests);
    return name;
}

std::string hostParallelDevicePath(int n)
{
    const std::string variable = "ZEM_LPT" + std::to_string(n);
    if (const char* path = std::getenv(variable.c_str()); path && *path) return path;
    return "/dev/lp" + std::to_string(n - 1);
}

bool hostStartDetached(const std::string& program, const std::vector<std::string>& args, HostFailure& failure)
{
    // Everything the child needs is made before fork: only exec and _exit follow it.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        failure = errnoFailure(errno);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        failure = errnoFailure(errno);
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (middle == 0) {
        // The grandchild is adopted by init, so nobody has to reap it.
        ::setsid();
        const pid_t child = ::fork();
        if (child == 0) {
            ::execv(program.c_str(), argv.data());
            const int code = errno;
            (void)!::write(report[1], &code, sizeof code);
            ::_exit(127);
        }
        if (child < 0) {
            const int code = errno;
            (void)!::write(report[1], &code, sizeof code);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {}
    int code = 0;
    ssize_t got;
    while ((got = ::read(report[0], &code, sizeof code)) < 0 && errno == EINTR) {}
    ::close(report[0]);
    if (got == sizeof code) {
        failure = errnoFailure(code);
        return false;
    }
    return true;
}
