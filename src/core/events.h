// The event system: how host events reach the guest. Device threads queue (handler,
// value) pairs with postEvent; the 4 ms timer raises the poll; the guest's level-2
// interrupt handler asks SYS NextEvent which of its routines to run next. SYS Idle gives
// host processor time back while the guest has nothing to do.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Bits of the event flags word; changed only by atomic bit operations.
namespace EventFlag {
constexpr uint32_t Poll = 1u << 0;   // set by the timer every 20 ms, cleared when taken
constexpr uint32_t Queue = 1u << 1;  // the event queue is not empty
}  // namespace EventFlag

extern std::atomic<uint32_t> eventFlags;

// The routines the guest announces with SYS SetLinkage, by slot.
namespace LinkageSlot {
constexpr unsigned Poll = 0;      // run when a poll is pending and the queue is empty
constexpr unsigned Done = 1;      // run when nothing is pending
constexpr unsigned Keyboard = 2;  // value: the keyboard ring handle
constexpr unsigned Unused = 3;
constexpr unsigned Parallel = 4;        // value: port number 1-8
constexpr unsigned SerialTransmit = 5;  // value: port number 1-8
constexpr unsigned SerialReceive = 6;   // value: port number 1-8
constexpr unsigned Count = 7;
}  // namespace LinkageSlot

struct GuestEvent {
    uint32_t handler = 0;  // guest address of the routine; 0 marks a free entry
    uint32_t value = 0;    // handed to the routine in D1
    bool operator==(const GuestEvent&) const = default;
};

constexpr unsigned EventQueueCapacity = 32;

// Start-up: empties the queue and the linkage and clears the flags.
void eventSystemInit();
// Shut-down: the same, so nothing stale survives a later start.
void eventSystemClose();

// Any thread: queues one event (no duplicate of a queued pair; dropped when the queue is
// full) and asks the processor for an interrupt.
void postEvent(uint32_t handler, uint32_t value);

// The guest address announced for a linkage slot (0 until the guest announces it). Device
// code uses these as its event keys.
uint32_t eventLinkage(unsigned slot);

// A copy of the queue, oldest first, up to the first free entry (tests, diagnostics).
std::array<GuestEvent, EventQueueCapacity + 1> eventQueueSnapshot();

// SYS operations; n = register number 0-7 from the host-call word.
int32_t sysSetLinkage(unsigned n);  // A1 = linkage table
int32_t sysNextEvent(unsigned n);   // continues at the next routine (hostCallPc)
int32_t sysIdle(unsigned n);        // may sleep while the guest has nothing to do

// The inputs of SYS Idle's power-management rule.
namespace PowerManagement {
constexpr int Off = 0;
constexpr int On = 1;
constexpr int Suspend = 2;
}  // namespace PowerManagement
void idleSetPowerManagement(int mode);
void idleSetMinimised(bool minimised);  // main window
// Guest-visible activity (key press, pointer move, sound-chip update): resets the idle
// counter and restarts the two seconds before Idle throttles.
void idleNoteActivity();
