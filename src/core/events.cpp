#include "core/events.h"

#include "core/clock.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <chrono>
#include <mutex>
#include <thread>

std::atomic<uint32_t> eventFlags{0};

namespace {

// The queue lies packed from the front, oldest first; the entry behind the last one is
// always free, so a scan or a move always meets a terminating free entry.
std::mutex eventLock;
std::array<GuestEvent, EventQueueCapacity + 1> queue{};
std::array<uint32_t, LinkageSlot::Count> linkage{};

std::atomic<int> powerManagement{PowerManagement::On};
std::atomic<bool> minimised{false};
std::atomic<uint32_t> idleReference{0};

constexpr uint32_t LinkageEntrySize = 2;      // one 16-bit offset per slot
constexpr unsigned LinkageTableRegister = 1;  // A1

// Idle sleeps in short steps and re-checks what it waits for.
constexpr std::chrono::milliseconds IdleStep{5};
// Idle throttles only when the guest has shown no activity for this long.
constexpr uint32_t IdleGraceSeconds = 2;
// The Idle call that puts the emulator to sleep until the next poll tick.
constexpr uint32_t IdleCallsBeforeSleep = 5;

bool stopRequested() { return cpu.nextStep.load(std::memory_order_relaxed) == NextStep::Leave; }

void clearAll()
{
    std::lock_guard<std::mutex> guard(eventLock);
    queue.fill(GuestEvent{});
    linkage.fill(0);
    eventFlags.store(0);
    idleReference.store(0);
}

}  // namespace

void eventSystemInit() { clearAll(); }
void eventSystemClose() { clearAll(); }

void postEvent(uint32_t handler, uint32_t value)
{
    {
        std::lock_guard<std::mutex> guard(eventLock);
        for (unsigned i = 0; i < EventQueueCapacity; ++i) {
            GuestEvent& entry = queue[i];
            if (entry.handler == 0) {
                entry = GuestEvent{handler, value};
                break;
            }
            if (entry.handler == handler && entry.value == value) break;
        }
        eventFlags.fetch_or(EventFlag::Queue);
    }
    cpuRequestInterrupt();
}

uint32_t eventLinkage(unsigned slot)
{
    if (slot >= LinkageSlot::Count) return 0;
    std::lock_guard<std::mutex> guard(eventLock);
    return linkage[slot];
}

std::array<GuestEvent, EventQueueCapacity + 1> eventQueueSnapshot()
{
    std::lock_guard<std::mutex> guard(eventLock);
    return queue;
}

int32_t sysSetLinkage(unsigned)
{
    // The table is always at A1, whatever register the word names.
    const uint32_t table = cpu.A[LinkageTableRegister];
    std::lock_guard<std::mutex> guard(eventLock);
    for (unsigned slot = 0; slot < LinkageSlot::Count; ++slot) {
        uint32_t at = table + slot * LinkageEntrySize;
        linkage[slot] = at + guestReadWord(at);
    }
    queue.fill(GuestEvent{});
    return HostCallResult::KeepRegisters;
}

int32_t sysNextEvent(unsigned)
{
    uint32_t next;
    if (eventFlags.fetch_and(~EventFlag::Queue) & EventFlag::Queue) {
        std::lock_guard<std::mutex> guard(eventLock);
        GuestEvent first = queue[0];
        // Move the later entries forward up to and including the first free one.
        for (unsigned i = 0; i < EventQueueCapacity; ++i) {
            queue[i] = queue[i + 1];
            if (queue[i].handler == 0) break;
        }
        if (queue[0].handler != 0)
            eventFlags.fetch_or(EventFlag::Queue);
        else
            eventFlags.fetch_and(~EventFlag::Queue);
        if (first.handler != 0) {
            cpu.D[1] = first.value;
            cpu.hostCallPc = first.handler;
            return HostCallResult::KeepRegisters;
        }
        // A set queue bit over an empty queue (a setLinkage emptied it) falls through to
        // the poll and done routines rather than sending the guest to address 0.
    }
    if (eventFlags.fetch_and(~EventFlag::Poll) & EventFlag::Poll)
        next = eventLinkage(LinkageSlot::Poll);
    else
        next = eventLinkage(LinkageSlot::Done);
    cpu.hostCallPc = next;
    return HostCallResult::KeepRegisters;
}

void idleSetPowerManagement(int mode) { powerManagement.store(mode); }
void idleSetMinimised(bool on) { minimised.store(on); }

void idleNoteActivity()
{
    cpuIdleCounter.store(0);
    idleReference.store(clockGuestNow());
}

int32_t sysIdle(unsigned)
{
    const int mode = powerManagement.load();
    if (mode == PowerManagement::Off) return HostCallResult::KeepRegisters;

    if (mode == PowerManagement::Suspend && minimised.load()) {
        while (minimised.load() && !stopRequested()) std::this_thread::sleep_for(IdleStep);
        idleNoteActivity();
        return HostCallResult::KeepRegisters;
    }

    if (clockGuestNow() - idleReference.load() < IdleGraceSeconds) return HostCallResult::KeepRegisters;
    if (cpuIdleCounter.fetch_add(1) + 1 == IdleCallsBeforeSleep) {
        // The next poll tick or input event sets the counter back to 0.
        while (cpuIdleCounter.load() != 0 && !stopRequested()) std::this_thread::sleep_for(IdleStep);
    }
    return HostCallResult::KeepRegisters;
}
