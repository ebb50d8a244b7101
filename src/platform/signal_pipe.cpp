#include "platform/signal_pipe.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int wakeRead = -1;
int wakeWrite = -1;
std::atomic<int> lastSignal{0};

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM};

void onSignal(int signal)
{
    int savedErrno = errno;
    lastSignal.store(signal, std::memory_order_relaxed);
    char byte = 'T';
    ssize_t ignored = write(wakeWrite, &byte, 1);
    (void)ignored;
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : TerminatingSignals) sigaction(s, &action, nullptr);
}

}  // namespace

namespace SignalPipe {

bool open()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeRead = fds[0];
    wakeWrite = fds[1];
    setHandler(onSignal);
    return true;
}

int readEnd() { return wakeRead; }

int drain()
{
    char bytes[16];
    while (wakeRead >= 0 && read(wakeRead, bytes, sizeof bytes) > 0) {}
    return lastSignal.load(std::memory_order_relaxed);
}

void close()
{
    setHandler(SIG_DFL);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

}  // namespace SignalPipe
