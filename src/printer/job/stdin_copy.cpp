#include "printer/job/stdin_copy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "printer/base/errors.h"
#include "printer/job/temp_file.h"

namespace zemprint {

namespace {
constexpr std::size_t kChunkSize = 1024;

bool writeAll(int fd, const char* p, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, p, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}
}  // namespace

TGetTempSTDINThrd::~TGetTempSTDINThrd()
{
    if (worker_.joinable()) worker_.join();
}

void TGetTempSTDINThrd::start()
{
    done_.store(false, std::memory_order_relaxed);
    worker_ = std::thread([this] { copy(); });
}

void TGetTempSTDINThrd::copy()
{
    try {
        // Checked before the temporary file exists: a closed standard input would
        // otherwise be given the new file's descriptor number.
        if (::fcntl(inputFd_, F_GETFD) < 0) throw EZEMPrint("Cannot get StdIn handle");
        std::string name;
        const int out = createTemporaryFile(name);
        fileName_ = name;
        char buffer[kChunkSize];
        bool written = true;
        int error = 0;
        for (;;) {
            const ssize_t got = ::read(inputFd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            if (!writeAll(out, buffer, static_cast<std::size_t>(got))) {
                error = errno != 0 ? errno : ENOSPC;
                written = false;
                break;
            }
        }
        if (::close(out) != 0 && written) {
            error = errno;
            written = false;
        }
        // A job that could not be stored whole must not be printed half.
        if (!written)
            throw EZEMPrint(formatMessage("Cannot write to temp file \"%s\": %s", name.c_str(), std::strerror(error)));
    } catch (const EZEMPrint& error) {
        error_ = error.what();
        if (!fileName_.empty()) ::unlink(fileName_.c_str());
        fileName_.clear();
    }
    done_.store(true, std::memory_order_release);
}

std::string TGetTempSTDINThrd::finish()
{
    if (worker_.joinable()) worker_.join();
    if (!error_.empty()) throw EZEMPrint(error_);
    return fileName_;
}

}  // namespace zemprint
