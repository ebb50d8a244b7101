#include "devices/comms/par_ports.h"

#include "config/config_blocks.h"
#include "config/settings.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "log/log.h"
#include "core/machine.h"
#include "core/ql_charset.h"
#include "core/ring_buffer.h"
#include "platform/host_printers.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr auto KickWait = 100ms;
constexpr auto StopWait = 3000ms;
// After the stop wait: how long a writer told to abandon its target gets to notice.
constexpr auto AbandonWait = 1000ms;
constexpr int EmptyDrainsAfterQuit = 2;
constexpr const char* JobTitle = "ZEM print job";

struct Port {
    int number = 0;
    RingBuffer ring{ParLimits::RingSize};
    uint32_t ringHandle = 0;

    // What the guest or the configuration bound the port to.
    std::atomic<uint8_t> mode{ParMode::None};
    std::string printer;  // cp1252; empty: the default printer
    std::atomic<bool> filter{false};

    // The open job; the device lock keeps the writer's own close and a stop apart.
    std::mutex deviceLock;
    std::unique_ptr<HostPrintTarget> target;
    ParKind kind = ParKind::Device;
    std::string spoolName;
    std::string jobPrinter;  // the name this job prints to (cp1252)
    std::atomic<bool> open{false};

    std::mutex kickLock;
    std::condition_variable kickSignal;
    std::atomic<bool> kicked{false};
    std::atomic<bool> quit{false};
    std::atomic<bool> abandon{false};
    std::atomic<bool> dataWritten{false};

    std::thread writer;
    std::mutex runLock;
    std::condition_variable ended;
    bool running = false;
};

std::array<Port, ParLimits::PortCount> ports;

Port& portFor(int number) { return ports[size_t(number - 1)]; }

void logFailure(const char* message, const HostFailure& failure)
{
    zlog(LogCat::Error, "%s: %s (%d)\r\n", message, failure.text.c_str(), failure.code);
}

int32_t guestCodeFor(const HostFailure& failure)
{
    switch (failure.kind) {
    case HostFailureKind::NotFound:
        return GuestError::NotFound;
    case HostFailureKind::Denied:
        return GuestError::InUse;
    case HostFailureKind::Other:
        break;
    }
    return GuestError::NotComplete;
}

// A guest waiting for room asks to send on every turn of its loop; a kick the writer
// has not yet taken up is enough, so repeats cost one atomic exchange.
void kick(Port& p)
{
    if (p.kicked.exchange(true)) return;
    // Passing through the lock orders the flag before a writer that is about to wait.
    {
        std::lock_guard<std::mutex> guard(p.kickLock);
    }
    p.kickSignal.notify_one();
}

void waitForKick(Port& p)
{
    std::unique_lock<std::mutex> guard(p.kickLock);
    p.kickSignal.wait_for(guard, KickWait, [&] { return p.kicked.load(); });
    // An exchange, not a store: it reads the kick it clears, so what the guest put into
    // the ring before kicking is visible to the take that follows.
    p.kicked.exchange(false);
}

void startPrinterProgram(Port& p)
{
    if (!machineInfo.printerProgramPresent) {
        zlog(LogCat::Parallel, "par: No printer program for %s\r\n", p.spoolName.c_str());
        return;
    }
    HostFailure failure;
    if (!hostStartDetached(machineInfo.printerProgramPath, {p.spoolName, cp1252ToUtf8(p.jobPrinter)}, failure))
        logFailure("par: Cannot start the printer program", failure);
}

// Ends the job on the host. Whoever comes second (the writer at its end, or a stop)
// finds no target and does nothing.
void closePort(Port& p)
{
    std::lock_guard<std::mutex> guard(p.deviceLock);
    if (!p.target) return;
    if (!p.target->close())
        logFailure(p.kind == ParKind::PrinterJob ? "par: EndDocPrinter failed" : "par: CloseHandle failed",
                   p.target->failure());
    p.target.reset();
    if (p.kind == ParKind::SpoolFile) {
        if (p.filter.load() && p.dataWritten.load())
            startPrinterProgram(p);
        else if (!p.dataWritten.load())
            std::remove(p.spoolName.c_str());  // nobody takes an empty job over
    }
    p.jobPrinter.clear();
    p.open = false;
}

// Hands a block to the target. A target that takes only part of it gets the rest again;
// a failing target loses the block (the job goes on).
void writeBlock(Port& p, const uint8_t* data, size_t length)
{
    size_t done = 0;
    while (done < length) {
        const long got = p.target->write(data + done, length - done, p.abandon);
        if (got < 0) {
            logFailure(p.kind == ParKind::PrinterJob ? "par: Error in WritePrinter" : "par: Error in WriteFile",
                       p.target->failure());
            return;
        }
        if (got > 0) p.dataWritten = true;
        if (size_t(got) < length - done) {
            zlog(LogCat::Parallel, "par: Send error. %d requested, %d send\r\n", int(length - done), int(got));
            if (p.abandon.load()) return;
        }
        done += size_t(got);
    }
}

void tellGuestRoom(const Port& p)
{
    if (uint32_t key = eventLinkage(LinkageSlot::Parallel)) postEvent(key, uint32_t(p.number));
}

void writerLoop(Port* port)
{
    Port& p = *port;
    std::array<uint8_t, ParLimits::RingSize> block;
    int emptyDrains = 0;
    for (;;) {
        if (!p.quit.load()) waitForKick(p);
        for (;;) {
            const size_t count = p.ring.take(block.data(), uint32_t(block.size()));
            if (count < block.size()) tellGuestRoom(p);
            if (count == 0) break;
            if (!p.abandon.load()) writeBlock(p, block.data(), count);
        }
        if (!p.quit.load()) continue;
        if (++emptyDrains >= EmptyDrainsAfterQuit) break;
    }
    closePort(p);
    zlog(LogCat::Parallel, "par: Thread quit!\r\n");
    {
        std::lock_guard<std::mutex> guard(p.runLock);
        p.running = false;
    }
    p.ended.notify_all();
}

bool waitEnded(Port& p, std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(p.runLock);
    return p.ended.wait_for(guard, limit, [&] { return !p.running; });
}

bool writerRunning(Port& p)
{
    std::lock_guard<std::mutex> guard(p.runLock);
    return p.running;
}

// Ends the port's job and its writer. `dropUnsent`: the bytes still in the ring are
// thrown away (a new job replaces this one) instead of being written first.
void stopPort(Port& p, bool dropUnsent)
{
    if (writerRunning(p)) {
        if (dropUnsent) p.ring.clear();
        p.quit = true;
        kick(p);
        if (!waitEnded(p, StopWait)) {
            zlog(LogCat::Parallel, "PAR: Thread doesn't respond, it has to be terminated!\r\n");
            p.abandon = true;
            kick(p);
            if (!waitEnded(p, AbandonWait)) {
                // A host call that never returns: the thread keeps its target and
                // closes it itself should it ever come back.
                p.writer.detach();
                return;
            }
        }
    }
    if (p.writer.joinable()) p.writer.join();
    closePort(p);
}

bool validPort(int number) { return number >= 1 && number <= ParLimits::PortCount; }

}  // namespace

void parStart()
{
    for (int i = 0; i < ParLimits::PortCount; ++i) {
        Port& p = ports[size_t(i)];
        p.number = i + 1;
        p.ring.clear();
        p.ringHandle = ringRegister(&p.ring);
        p.mode = settings.ParallelPort[i] <= ParMode::Printer ? settings.ParallelPort[i] : ParMode::None;
        p.printer = settings.ParallelPrinter[i];
        p.filter = settings.ParallelFilter[i] == 1 && machineInfo.printerProgramPresent;
        p.quit = p.abandon = p.dataWritten = false;
    }
}

void parShutDown()
{
    for (Port& p : ports) {
        stopPort(p, false);
        ringUnregister(p.ringHandle);
        p.ringHandle = 0;
        p.printer.clear();
        p.ring.clear();
    }
}

int32_t parOpen(int number)
{
    if (!validPort(number)) return GuestError::BadParameter;
    Port& p = portFor(number);
    const uint8_t mode = p.mode.load();
    if (mode == ParMode::None) return GuestError::NotFound;
    stopPort(p, true);
    if (writerRunning(p)) return GuestError::InUse;  // the old job's writer is stuck in the host

    HostFailure failure;
    std::unique_ptr<HostPrintTarget> target;
    {
        std::lock_guard<std::mutex> guard(p.deviceLock);
        if (mode < ParMode::Printer) {
            p.kind = ParKind::Device;
            target = hostOpenPrinterDevice(hostParallelDevicePath(mode), failure);
            if (!target) logFailure("par: CreateFile failed", failure);
        } else {
            p.jobPrinter = p.printer.empty() ? parDefaultPrinter() : p.printer;
            if (p.jobPrinter.empty()) return GuestError::BadParameter;
            if (p.filter.load()) {
                p.kind = ParKind::SpoolFile;
                target = hostCreateSpoolFile(p.spoolName, failure);
                if (!target) logFailure("par: CreateFile failed", failure);
            } else {
                p.kind = ParKind::PrinterJob;
                std::string stage;
                target = hostStartRawJob(cp1252ToUtf8(p.jobPrinter), JobTitle, failure, stage);
                if (!target)
                    logFailure(stage == "create" ? "par: OpenPrinter failed" : "par: StartDocPrinter failed", failure);
                else
                    zlog(LogCat::Parallel, "par: Printer %s opened\r\n", p.jobPrinter.c_str());
            }
        }
        if (!target) {
            p.jobPrinter.clear();
            return guestCodeFor(failure);
        }
        p.target = std::move(target);
        p.open = true;
    }
    p.quit = false;
    p.abandon = false;
    p.dataWritten = false;
    p.kicked = false;
    {
        std::lock_guard<std::mutex> guard(p.runLock);
        p.running = true;
    }
    p.writer = std::thread(writerLoop, &p);
    return 0;
}

void parEndJob(int number)
{
    if (!validPort(number)) return;
    Port& p = portFor(number);
    if (!p.open.load()) return;
    p.quit = true;
    kick(p);
}

void parSend(int number)
{
    if (!validPort(number)) return;
    Port& p = portFor(number);
    if (p.ring.empty()) return;
    kick(p);
    // A guest that asks again with its ring still full is spinning until the writer has
    // run: where both share a busy core, hand the rest of this time slice to the writer.
    if (p.ring.full()) std::this_thread::yield();
}

bool parIsOpen(int number) { return validPort(number) && portFor(number).open.load(); }

uint32_t parRingHandle(int number) { return validPort(number) ? portFor(number).ringHandle : 0; }

bool parWaitClosed(int number, int ms)
{
    if (!validPort(number)) return false;
    return waitEnded(portFor(number), std::chrono::milliseconds(ms));
}

uint8_t parMode(int number) { return validPort(number) ? portFor(number).mode.load() : ParMode::None; }

std::string parTargetName(int number)
{
    if (!validPort(number)) return {};
    Port& p = portFor(number);
    const uint8_t mode = p.mode.load();
    if (mode == ParMode::None) return {};
    if (mode < ParMode::Printer) return "LPT" + std::to_string(mode);
    return p.printer.empty() ? parDefaultPrinter() : p.printer;
}

int32_t parSetTarget(int number, const std::string& text)
{
    if (!validPort(number)) return GuestError::BadParameter;
    Port& p = portFor(number);
    if (p.open.load()) return GuestError::InUse;
    if (text.empty()) {
        p.mode = ParMode::None;
        return 0;
    }
    const bool lpt = text.size() >= 3 && (text[0] | 0x20) == 'l' && (text[1] | 0x20) == 'p' && (text[2] | 0x20) == 't';
    if (lpt) {
        int n = 0;
        size_t i = 3;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && n <= ParLimits::DeviceCount; ++i)
            n = n * 10 + (text[i] - '0');
        if (i == 3 || n < 1 || n > ParLimits::DeviceCount) return GuestError::BadParameter;
        p.mode = uint8_t(n);
        return 0;
    }
    // A name longer than the configuration can keep would be cut when saved.
    if (text.size() > ParLimits::PrinterNameMax) return GuestError::BadParameter;
    p.printer = text;
    p.mode = ParMode::Printer;
    return 0;
}

bool parFilter(int number) { return validPort(number) && portFor(number).filter.load(); }

int32_t parSetFilter(int number, uint32_t value)
{
    if (!validPort(number) || value > 1) return GuestError::BadParameter;
    if (value == 1 && !machineInfo.printerProgramPresent) return GuestError::NotFound;
    portFor(number).filter = value == 1;
    return 0;
}

bool parPrinterNames(std::vector<std::string>& names, int& hostError)
{
    HostFailure failure;
    std::optional<std::vector<std::string>> list = hostPrinterNames(failure);
    if (!list) {
        hostError = failure.code;
        return false;
    }
    names.clear();
    for (const std::string& name : *list) names.push_back(utf8ToCp1252(name));
    return true;
}

std::string parDefaultPrinter() { return utf8ToCp1252(hostDefaultPrinter()); }
