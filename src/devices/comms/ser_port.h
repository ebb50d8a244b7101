// The guest's eight serial ports: each maps onto a host serial line, with a transmit and
// a receive ring between the guest and three host threads (receive, send, status) per
// open port. Everything here except the thread bodies runs on the processor thread (or on
// the GUI thread at start-up and shut-down).
#pragma once

#include <cstdint>
#include <string>

class RingBuffer;

constexpr unsigned SerPortCount = 8;

// Directions of a port, as the guest gives them at open and close.
namespace SerDirection {
constexpr uint8_t Transmit = 0x01;
constexpr uint8_t Receive = 0x02;
constexpr uint8_t Both = Transmit | Receive;
constexpr uint8_t LeftOpen = 0x80;  // closed by the guest, host line kept
}  // namespace SerDirection

// Quit flags of a port's threads; each thread clears its own bit as it ends.
namespace SerQuit {
constexpr uint32_t Send = 0x1;
constexpr uint32_t Receive = 0x2;
constexpr uint32_t Status = 0x4;
constexpr uint32_t All = Send | Receive | Status;
}  // namespace SerQuit

// Port events the status thread watches: transmit empty, CTS, DSR and carrier detect;
// with receiving on also received characters.
namespace SerEventMask {
constexpr uint32_t None = 0;
constexpr uint32_t Lines = 60;
constexpr uint32_t LinesAndReceive = 61;
constexpr uint32_t ReceivedCharacter = 0x1;
}  // namespace SerEventMask

namespace SerLimits {
constexpr uint32_t RingSize = 2048;
constexpr uint32_t RtsOffAbove = 1023;  // receive ring level above which RTS goes off
constexpr uint32_t Block = 512;         // bytes per host read and write
constexpr uint32_t DefaultBaud = 19200;
constexpr unsigned MaxComNumber = 64;
constexpr unsigned ThreadEndWaitMs = 3000;
constexpr unsigned ReopenDelayMs = 50;
}  // namespace SerLimits

// Start-up: the eight records with empty, registered rings and the default rate.
void serStartUp();
// Shut-down (after the processor has stopped): force-closes every port and forgets the
// rings.
void serShutDown();

// Guest operations; `port` is the record index 0-7. Results are guest results.
int32_t serOpenPort(unsigned port, uint8_t directions, uint8_t handshake);
void serCloseDirections(unsigned port, uint8_t directions);
void serSend(unsigned port);
void serReceiveOn(unsigned port);
void serReceiveOff(unsigned port);
uint32_t serModemStatus(unsigned port);
int32_t serSetBaudRate(unsigned port, uint32_t rate);
void serPostTransmitEvent(uint32_t value);

// The host COM number of a port (0: not available) and the host device it stands for.
unsigned serComNumber(unsigned port);
void serSetComNumber(unsigned port, unsigned com);
std::string serDevicePath(unsigned port);

uint32_t serReceiveRingHandle(unsigned port);
uint32_t serTransmitRingHandle(unsigned port);
RingBuffer& serReceiveRing(unsigned port);
RingBuffer& serTransmitRing(unsigned port);

// What a port records, for tests and diagnostics.
struct SerPortState {
    bool held = false;  // a host line is open (possibly with its threads ended)
    uint8_t directions = 0;
    bool rtsOn = false;    // the receive flow-control line is in handshake mode
    bool rtsLine = false;  // the level last set on the host's RTS line
    bool receiving = false;
    uint32_t eventMask = 0;
    uint32_t baud = 0;
    uint32_t modemStatus = 0;
    uint8_t handshake = 0;
    uint32_t quit = 0;
    uint32_t threadsRunning = 0;  // SerQuit bits of the threads still running
    bool hungUp = false;          // the other side of the line went away
};
SerPortState serPortState(unsigned port);
