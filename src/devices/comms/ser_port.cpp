#include "devices/comms/ser_port.h"

#include "config/settings.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "log/log.h"
#include "core/ring_buffer.h"
#include "platform/serial_line.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// A line that cannot report its modem lines (a pseudo-terminal) is taken as a null-modem
// cable to a live peer: CTS, DSR and carrier on until the peer goes away.
constexpr uint32_t ConnectedLines = ModemLine::Cts | ModemLine::Dsr | ModemLine::CarrierDetect;

// How often the status thread looks at modem lines the host can read but not wait for.
constexpr int ModemCheckMs = 100;
// How often a receive thread that found the ring full looks again (only while the guest
// leaves data waiting).
constexpr int StalledRetryMs = 20;
// A failed wait is repeated after this pause, so a broken wait cannot spin.
constexpr auto FailedWaitPause = std::chrono::milliseconds(100);
// Write time-outs: per byte and on top.
constexpr int WriteMsPerByte = 10;
constexpr int WriteMsExtra = 100;

// The host side of one open: the line, the threads' wake-ups, and the threads.
struct Session {
    SerialLine line;
    WakeEvent receiveKick;
    WakeEvent sendKick;
    WakeEvent statusWake;  // the status thread's wait ends (mask changed, quit)
    std::atomic<uint32_t> quit{0};
    std::atomic<uint32_t> running{0};    // SerQuit bits of threads still running
    std::atomic<bool> abandoned{false};  // the threads were given up; they must touch nothing
    std::thread receiveThread, sendThread, statusThread;
    std::mutex endLock;
    std::condition_variable ended;
    bool modemReadable = false;
};

struct Port {
    unsigned index = 0;
    std::shared_ptr<Session> session;  // set while the host line is held
    std::atomic<uint8_t> directions{0};
    std::atomic<uint32_t> baud{SerLimits::DefaultBaud};
    std::atomic<uint32_t> modemStatus{0};
    uint8_t handshake = 0;
    std::atomic<bool> rtsOn{false};
    std::atomic<bool> rtsLine{false};
    std::atomic<bool> receiving{false};
    std::atomic<uint32_t> eventMask{SerEventMask::None};
    std::atomic<bool> receivePending{false};  // the receive thread owns the waiting input
    std::atomic<bool> hungUp{false};
    std::atomic<uint32_t> dropGeneration{0};  // bumped whenever queued output is dropped
    RingBuffer transmit{SerLimits::RingSize};
    RingBuffer receive{SerLimits::RingSize};
    uint32_t transmitHandle = 0;
    uint32_t receiveHandle = 0;

    unsigned number() const { return index + 1; }
};

std::array<Port, SerPortCount> ports;

void logSystemError(const Port& port, const char* what, int error)
{
    zlog(LogCat::Error, "ser%u: %s: %s (%d)\r\n", port.number(), what, serialErrorText(error).c_str(), error);
}

void postWithKey(unsigned slot, uint32_t value)
{
    // Until the guest announces its routines there is nobody to run.
    if (uint32_t key = eventLinkage(slot)) postEvent(key, value);
}

void threadEnded(Session& session, uint32_t bit)
{
    uint32_t quit = session.quit.load();
    while (!session.quit.compare_exchange_weak(quit, quit & ~bit)) {}
    {
        std::lock_guard<std::mutex> guard(session.endLock);
        session.running.fetch_and(~bit);
    }
    session.ended.notify_all();
}

// The host's RTS line; the port records the level whether or not the host has the line.
void setRtsLine(Port& port, Session& session, bool on)
{
    session.line.setRts(on);
    if (port.rtsLine.exchange(on) != on) zlog(LogCat::Serial, "ser%u: RTS %s\n", port.number(), on ? "on" : "off");
}

void noteHangUp(Port& port, Session& session, int error)
{
    if (port.hungUp.exchange(true)) return;
    logSystemError(port, "Error in WaitCommEvent", error);
    if (!session.modemReadable) port.modemStatus.store(0);
    session.statusWake.signal();
}

uint32_t readModemStatus(const Port& port, const Session& session)
{
    if (std::optional<uint32_t> lines = session.line.modemLines()) return *lines;
    return port.hungUp.load() ? 0 : ConnectedLines;
}

// ---- receive thread ----------------------------------------------------------------------

// Appends one block under the RTS rule: a ring that already holds more than half its
// size switches RTS off so that the sender stops.
void storeReceived(Port& port, Session& session, const uint8_t* bytes, size_t count)
{
    if (port.receive.count() > SerLimits::RtsOffAbove) {
        if (port.rtsLine.load()) setRtsLine(port, session, false);
        port.rtsOn.store(false);
    }
    for (size_t i = 0; i < count; ++i) port.receive.put(bytes[i]);
    postWithKey(LinkageSlot::SerialReceive, port.number());
    zlog(LogCat::Serial, "ser%u: Received %i bytes\n", port.number(), int(count));
}

// Reads what the line holds, as far as the ring has room. True when bytes are left
// waiting because the ring is full.
bool drainLine(Port& port, Session& session)
{
    uint8_t block[SerLimits::Block];
    for (;;) {
        if (session.quit.load() || session.abandoned.load()) return false;
        uint32_t room = port.receive.size() - 1 - port.receive.count();
        size_t want = std::min<size_t>(SerLimits::Block, room);
        // The host keeps what does not fit, and its own flow control holds the sender,
        // rather than the bytes being dropped here.
        if (want == 0) return true;
        ssize_t got = session.line.readSome(block, want);
        if (got == -2 || (got < 0 && errno == EIO)) {
            noteHangUp(port, session, EIO);
            return false;
        }
        if (got < 0) {
            logSystemError(port, "Error in ReadFile", errno);
            return false;
        }
        if (got > 0) storeReceived(port, session, block, size_t(got));
        if (size_t(got) < want) return false;
    }
}

void receiveThread(Port& port, std::shared_ptr<Session> session)
{
    zlog(LogCat::Serial, "ser%u: Receive started!\r\n", port.number());
    bool stalled = false;
    while (!session->quit.load()) {
        if (!session->receiveKick.wait(stalled ? StalledRetryMs : -1) && !stalled) {
            logSystemError(port, "Error in WaitForSingleObject (Read)", errno);
            std::this_thread::sleep_for(FailedWaitPause);
            continue;
        }
        if (session->quit.load() || session->abandoned.load()) break;
        if (!port.receivePending.load()) {
            stalled = false;
            continue;
        }
        stalled = drainLine(port, *session);
        if (!stalled) {
            port.receivePending.store(false);
            session->statusWake.signal();
        }
    }
    zlog(LogCat::Serial, "ser%u: Receive quit!\r\n", port.number());
    threadEnded(*session, SerQuit::Receive);
}

// ---- send thread -------------------------------------------------------------------------

// Empties the transmit ring onto the line. Bytes taken out of the ring wait in `pending`
// until the line has them.
void sendPass(Port& port, Session& session, std::vector<uint8_t>& pending, uint32_t& generation)
{
    for (;;) {
        if (session.abandoned.load()) return;
        uint32_t now = port.dropGeneration.load();
        if (now != generation) {
            pending.clear();
            generation = now;
        }
        if (pending.empty()) {
            while (pending.size() < SerLimits::Block) {
                std::optional<uint8_t> byte = port.transmit.get();
                if (!byte) break;
                pending.push_back(*byte);
            }
            // Room for the guest.
            if (pending.size() < SerLimits::Block) postWithKey(LinkageSlot::SerialTransmit, port.number());
            if (pending.empty()) return;
        }
        if (port.hungUp.load()) return;
        int timeout = WriteMsPerByte * int(pending.size()) + WriteMsExtra;
        ssize_t written = session.line.write(pending.data(), pending.size(), timeout, session.sendKick,
                                             [&session] { return session.quit.load() != 0; });
        if (written < 0) {
            int error = errno;
            logSystemError(port, "Error in WriteFile", error);
            if (error == EIO) noteHangUp(port, session, error);
            return;
        }
        if (size_t(written) < pending.size())
            zlog(LogCat::Serial, "ser%u: Send error. %d requested, %d send\n", port.number(), int(pending.size()),
                 int(written));
        if (port.dropGeneration.load() != generation) continue;
        pending.erase(pending.begin(), pending.begin() + written);
        // A line that takes nothing is tried again (the write waited its time-out), unless
        // the port is going away.
        if (written == 0 && session.quit.load()) return;
    }
}

void sendThread(Port& port, std::shared_ptr<Session> session)
{
    zlog(LogCat::Serial, "ser%u: Send started!\r\n", port.number());
    std::vector<uint8_t> pending;
    pending.reserve(SerLimits::Block);
    uint32_t generation = port.dropGeneration.load();
    int passesLeft = -1;
    for (;;) {
        if (session->quit.load()) {
            // What the guest queued before it closed still goes out.
            if (passesLeft < 0) passesLeft = 2;
            if (passesLeft == 0) break;
            --passesLeft;
        } else if (!session->sendKick.wait(-1)) {
            logSystemError(port, "Error in WaitForSingleObject (Write)", errno);
            std::this_thread::sleep_for(FailedWaitPause);
            continue;
        }
        if (session->abandoned.load()) break;
        sendPass(port, *session, pending, generation);
    }
    zlog(LogCat::Serial, "ser%u: Send quit!\r\n", port.number());
    threadEnded(*session, SerQuit::Send);
}

// ---- status thread -----------------------------------------------------------------------

void statusThread(Port& port, std::shared_ptr<Session> session)
{
    zlog(LogCat::Serial, "ser%u: Status started!\r\n", port.number());
    uint32_t lines = port.modemStatus.load();
    while (!session->quit.load() && !session->abandoned.load()) {
        bool watchInput = (port.eventMask.load() & SerEventMask::ReceivedCharacter) && !port.receivePending.load() &&
                          !port.hungUp.load();
        pollfd p[2] = {{session->statusWake.fd(), POLLIN, 0}, {session->line.fd(), POLLIN, 0}};
        int timeout = session->modemReadable && port.eventMask.load() != SerEventMask::None ? ModemCheckMs : -1;
        int r = poll(p, watchInput ? 2 : 1, timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            logSystemError(port, "Error in WaitCommEvent", errno);
            std::this_thread::sleep_for(FailedWaitPause);
            continue;
        }
        if (p[0].revents & POLLIN) session->statusWake.consume();
        if (session->quit.load()) break;
        if (watchInput && p[1].revents) {
            if (p[1].revents & POLLIN) {
                port.receivePending.store(true);
                session->receiveKick.signal();
            } else if (p[1].revents & (POLLHUP | POLLERR)) {
                noteHangUp(port, *session, EIO);
            }
        }
        uint32_t now = readModemStatus(port, *session);
        if (now != lines) {
            if ((now ^ lines) & ModemLine::CarrierDetect) port.modemStatus.store(now);
            if ((now ^ lines) & ModemLine::Cts) session->sendKick.signal();
            lines = now;
        }
    }
    zlog(LogCat::Serial, "ser%u: Status begin quit!\r\n", port.number());
    zlog(LogCat::Serial, "ser%u: Status quit!\r\n", port.number());
    threadEnded(*session, SerQuit::Status);
}

// ---- open and close ----------------------------------------------------------------------

void cleanup(Port& port)
{
    zlog(LogCat::Serial, "ser%u: Cleanup start\n", port.number());
    if (port.session) {
        Session& session = *port.session;
        // Given-up threads may still hold the line; it closes with their last reference.
        if (!session.abandoned.load()) {
            session.line.purgeOutput();
            session.line.close();
        }
        session.quit.store(0);
        port.session.reset();
    }
    port.directions.store(0);
    zlog(LogCat::Serial, "ser%u: Cleanup end\n", port.number());
}

void forceClose(Port& port)
{
    if (!port.session) return;
    zlog(LogCat::Serial, "ser%u: Close forced\n", port.number());
    std::shared_ptr<Session> session = port.session;
    port.transmit.clear();
    port.dropGeneration.fetch_add(1);
    session->quit.store(SerQuit::All);
    session->receiveKick.signal();
    session->sendKick.signal();
    port.eventMask.store(SerEventMask::None);
    session->statusWake.signal();
    bool allEnded;
    {
        std::unique_lock<std::mutex> lock(session->endLock);
        allEnded = session->ended.wait_for(lock, std::chrono::milliseconds(SerLimits::ThreadEndWaitMs),
                                           [&] { return session->running.load() == 0; });
    }
    std::thread* threads[] = {&session->receiveThread, &session->sendThread, &session->statusThread};
    if (allEnded) {
        for (std::thread* t : threads)
            if (t->joinable()) t->join();
    } else {
        zlog(LogCat::Serial, "ser%u: Threads don't respond, they have to be terminated!\n", port.number());
        // A host thread cannot be killed safely: the threads are cut loose and keep their
        // session alive until they notice.
        session->abandoned.store(true);
        for (std::thread* t : threads)
            if (t->joinable()) t->detach();
    }
    cleanup(port);
}

bool startThreads(Port& port, const std::shared_ptr<Session>& session)
{
    struct Start {
        uint32_t bit;
        std::thread Session::*thread;
        void (*body)(Port&, std::shared_ptr<Session>);
    };
    const Start starts[] = {{SerQuit::Receive, &Session::receiveThread, receiveThread},
                            {SerQuit::Send, &Session::sendThread, sendThread},
                            {SerQuit::Status, &Session::statusThread, statusThread}};
    for (const Start& s : starts) {
        session->running.fetch_or(s.bit);
        try {
            (*session).*(s.thread) = std::thread(s.body, std::ref(port), session);
        } catch (const std::system_error&) {
            session->running.fetch_and(~s.bit);
            return false;
        }
    }
    return true;
}

void applyBaud(Port& port, uint32_t rate)
{
    BaudChoice choice = serialNearestBaud(rate);
    if (!choice.exact)
        zlog(LogCat::Serial, "ser%u: Baud rate %u not available, using %u\n", port.number(), unsigned(rate),
             unsigned(choice.rate));
}

int32_t openHostLine(Port& port)
{
    auto session = std::make_shared<Session>();
    SerialOpenError error = SerialOpenError::None;
    int hostError = 0;
    if (!session->line.open(serDevicePath(port.index), error, hostError)) {
        logSystemError(port, "Cannot open the host port", hostError);
        cleanup(port);
        switch (error) {
        case SerialOpenError::NotFound:
            return GuestError::NotImplemented;
        case SerialOpenError::InUse:
            return GuestError::InUse;
        default:
            return GuestError::NotComplete;
        }
    }
    zlog(LogCat::Serial, "ser%u: Handle: %x\n", port.number(), unsigned(session->line.fd()));
    port.session = session;
    port.hungUp.store(false);
    port.receivePending.store(false);
    port.rtsLine.store(false);

    uint32_t rate = port.baud.load();
    applyBaud(port, rate);
    bool ready = session->receiveKick.valid() && session->sendKick.valid() && session->statusWake.valid() &&
                 session->line.configure(rate);
    if (ready) {
        session->line.setDtr(true);
        setRtsLine(port, *session, true);
        port.eventMask.store(SerEventMask::Lines);
        session->modemReadable = session->line.modemLines().has_value();
        port.modemStatus.store(readModemStatus(port, *session));
        ready = startThreads(port, session);
    }
    if (!ready) {
        logSystemError(port, "Cannot set up the host port", errno);
        // Threads that did start are ended the ordinary way before the line goes.
        if (session->running.load() != 0)
            forceClose(port);
        else
            cleanup(port);
        return GuestError::NotComplete;
    }
    return 0;
}

Port* portAt(unsigned port) { return port < SerPortCount ? &ports[port] : nullptr; }

}  // namespace

void serStartUp()
{
    for (unsigned i = 0; i < SerPortCount; ++i) {
        Port& port = ports[i];
        port.index = i;
        port.session.reset();
        port.directions.store(0);
        port.baud.store(SerLimits::DefaultBaud);
        port.modemStatus.store(0);
        port.handshake = 0;
        port.rtsOn.store(false);
        port.rtsLine.store(false);
        port.receiving.store(false);
        port.eventMask.store(SerEventMask::None);
        port.transmit.clear();
        port.receive.clear();
        port.transmitHandle = ringRegister(&port.transmit);
        port.receiveHandle = ringRegister(&port.receive);
    }
}

void serShutDown()
{
    // The machine's table has logged the shut-down line.
    for (Port& port : ports) {
        forceClose(port);
        ringUnregister(port.transmitHandle);
        ringUnregister(port.receiveHandle);
        port.transmitHandle = port.receiveHandle = 0;
    }
}

int32_t serOpenPort(unsigned index, uint8_t directions, uint8_t handshake)
{
    Port* port = portAt(index);
    if (!port) return GuestError::BadParameter;
    if (serComNumber(index) == 0) {
        forceClose(*port);
        cleanup(*port);
        return GuestError::NotImplemented;
    }
    zlog(LogCat::Serial, "ser%u: Opening port\n", port->number());
    if (directions & SerDirection::Transmit) {
        port->transmit.clear();
        port->dropGeneration.fetch_add(1);
    }
    if (directions & SerDirection::Receive) port->receive.clear();
    port->rtsOn.store(false);
    port->receiving.store(false);
    port->handshake = handshake;

    if (port->session && port->directions.load() != 0) {
        zlog(LogCat::Serial, "ser%u: Windows port already open\n", port->number());
        uint8_t now = port->directions.fetch_or(directions & SerDirection::Both) | directions;
        if (now & SerDirection::Receive) {
            setRtsLine(*port, *port->session, true);
            port->rtsOn.store(true);
        }
        return 0;
    }

    // A line still held from an earlier open (its threads ended) is let go first. The
    // directions are recorded after that, since letting go clears them.
    forceClose(*port);
    port->directions.store(directions & SerDirection::Both);
    std::this_thread::sleep_for(std::chrono::milliseconds(SerLimits::ReopenDelayMs));
    return openHostLine(*port);
}

void serCloseDirections(unsigned index, uint8_t directions)
{
    Port* port = portAt(index);
    if (!port || !port->session) return;
    uint8_t left = port->directions.fetch_and(uint8_t(~(directions & SerDirection::Both))) &
                   uint8_t(~(directions & SerDirection::Both));
    if (left & SerDirection::Both) return;
    zlog(LogCat::Serial, "ser%u: Closing port\n", port->number());
    Session& session = *port->session;
    if (settings.LeavePortsOpen) {
        zlog(LogCat::Serial, "ser%u: ...leaving Windows port open\n", port->number());
        port->directions.fetch_or(SerDirection::LeftOpen);
        setRtsLine(*port, session, false);
        port->rtsOn.store(false);
        return;
    }
    // The threads end on their own; the line stays held until the next open of this port
    // or shut-down lets it go.
    session.quit.store(SerQuit::All);
    session.receiveKick.signal();
    session.sendKick.signal();
    port->eventMask.store(SerEventMask::None);
    session.statusWake.signal();
}

void serSend(unsigned index)
{
    Port* port = portAt(index);
    if (!port || !port->session || port->session->quit.load() || port->session->running.load() == 0) return;
    if (port->transmit.empty()) return;
    port->session->sendKick.signal();
}

void serReceiveOn(unsigned index)
{
    Port* port = portAt(index);
    if (!port || !port->session) return;
    Session& session = *port->session;
    if (port->receiving.load()) {
        // The guest has emptied the ring: the sender may go on.
        if (!port->rtsOn.load()) {
            setRtsLine(*port, session, true);
            port->rtsOn.store(true);
        }
        if (port->receivePending.load()) session.receiveKick.signal();
        postWithKey(LinkageSlot::SerialReceive, port->number());
        return;
    }
    session.line.purgeInput();
    port->eventMask.store(SerEventMask::LinesAndReceive);
    session.statusWake.signal();
    setRtsLine(*port, session, true);
    port->rtsOn.store(true);
    port->receiving.store(true);
}

void serReceiveOff(unsigned index)
{
    Port* port = portAt(index);
    if (!port || !port->session) return;
    setRtsLine(*port, *port->session, false);
    port->rtsOn.store(false);
    port->receiving.store(false);
    port->eventMask.store(SerEventMask::Lines);
    port->session->statusWake.signal();
}

uint32_t serModemStatus(unsigned index)
{
    Port* port = portAt(index);
    return port ? port->modemStatus.load() : 0;
}

int32_t serSetBaudRate(unsigned index, uint32_t rate)
{
    Port* port = portAt(index);
    if (!port) return GuestError::BadParameter;
    port->baud.store(rate);
    if (!port->session) return 0;
    applyBaud(*port, rate);
    return port->session->line.setBaud(rate) ? 0 : GuestError::BadParameter;
}

void serPostTransmitEvent(uint32_t value) { postWithKey(LinkageSlot::SerialTransmit, value); }

unsigned serComNumber(unsigned port) { return port < SerPortCount ? settings.SerialPort[port] : 0; }

void serSetComNumber(unsigned port, unsigned com)
{
    if (port < SerPortCount && com <= SerLimits::MaxComNumber) settings.SerialPort[port] = uint8_t(com);
}

std::string serDevicePath(unsigned port)
{
    if (port >= SerPortCount) return {};
    if (!settings.SerialDevice[port].empty()) return settings.SerialDevice[port];
    unsigned com = serComNumber(port);
    return com == 0 ? std::string() : "/dev/ttyS" + std::to_string(com - 1);
}

uint32_t serReceiveRingHandle(unsigned port) { return port < SerPortCount ? ports[port].receiveHandle : 0; }
uint32_t serTransmitRingHandle(unsigned port) { return port < SerPortCount ? ports[port].transmitHandle : 0; }
RingBuffer& serReceiveRing(unsigned port) { return ports[port % SerPortCount].receive; }
RingBuffer& serTransmitRing(unsigned port) { return ports[port % SerPortCount].transmit; }

SerPortState serPortState(unsigned index)
{
    SerPortState s;
    Port* port = portAt(index);
    if (!port) return s;
    s.held = port->session != nullptr;
    s.directions = port->directions.load();
    s.rtsOn = port->rtsOn.load();
    s.rtsLine = port->rtsLine.load();
    s.receiving = port->receiving.load();
    s.eventMask = port->eventMask.load();
    s.baud = port->baud.load();
    s.modemStatus = port->modemStatus.load();
    s.handshake = port->handshake;
    s.hungUp = port->hungUp.load();
    if (port->session) {
        s.quit = port->session->quit.load();
        s.threadsRunning = port->session->running.load();
    }
    return s;
}
