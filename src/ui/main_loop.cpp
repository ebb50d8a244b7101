#include "ui/main_loop.h"

#include "core/log.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace {

// One byte per request on a pipe, so a signal handler can wake the loop safely.
enum Request : char {
    Destroy = 'D',
    ProcessorEnded = 'E',
    Terminate = 'T',
};

int wakeRead = -1;
int wakeWrite = -1;
std::atomic<bool> quitFlag{false};
std::atomic<int> lastSignal{0};

std::mutex loopLock;
std::condition_variable loopEndedSignal;
bool loopEnded = false;

void post(Request request)
{
    if (wakeWrite < 0) return;
    char byte = request;
    // Non-blocking: a full pipe already holds a wake-up.
    ssize_t ignored = write(wakeWrite, &byte, 1);
    (void)ignored;
}

void onSignal(int signal)
{
    int savedErrno = errno;
    lastSignal.store(signal, std::memory_order_relaxed);
    post(Terminate);
    errno = savedErrno;
}

constexpr int TerminatingSignals[] = {SIGINT, SIGTERM};

void setSignalHandler(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : TerminatingSignals) sigaction(s, &action, nullptr);
}

}  // namespace

namespace MainLoop {

bool init()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeRead = fds[0];
    wakeWrite = fds[1];
    {
        std::lock_guard<std::mutex> guard(loopLock);
        loopEnded = false;
    }
    setSignalHandler(onSignal);
    return true;
}

void run()
{
    bool done = false;
    while (!done) {
        pollfd p{wakeRead, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        char requests[16];
        ssize_t n = read(wakeRead, requests, sizeof requests);
        for (ssize_t i = 0; i < n; ++i) {
            switch (requests[i]) {
            case Terminate:
                zlog(LogCat::General, "ZEM: Signal %d received\r\n", lastSignal.load());
                quitFlag = true;
                done = true;
                break;
            case Destroy:
            case ProcessorEnded:
                done = true;
                break;
            default:
                break;
            }
        }
    }
    {
        std::lock_guard<std::mutex> guard(loopLock);
        loopEnded = true;
    }
    loopEndedSignal.notify_all();
}

bool quitRequested() { return quitFlag; }

void quitAndDestroy()
{
    quitFlag = true;
    std::unique_lock<std::mutex> guard(loopLock);
    if (loopEnded) return;
    post(Destroy);
    loopEndedSignal.wait(guard, [] { return loopEnded; });
}

void postProcessorEnded() { post(ProcessorEnded); }

void close()
{
    setSignalHandler(SIG_DFL);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

}  // namespace MainLoop
