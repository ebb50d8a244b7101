#include "core/clock.h"

#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "platform/host_time.h"
#include "platform/periodic_timer.h"

#include <atomic>
#include <chrono>

namespace {

// Seconds from 1961-01-01 to 1970-01-01: nine years, two of them leap years.
constexpr int64_t Seconds1961To1970 = (9 * 365 + 2) * int64_t(86400);
constexpr uint64_t MillisecondsPerSecond = 1000;
constexpr int ResyncSteps = 60;
constexpr std::chrono::seconds ClockPeriod{1};

std::atomic<uint32_t> clockBase{0};
std::atomic<uint32_t> guestClock{0};
std::atomic<int> resyncCountdown{ResyncSteps};
PeriodicTimer clockTimer;

HostClockSetter hostClockSetter = nullptr;

// Host tick counts wrap at 2^32 milliseconds like the guest arithmetic on them.
uint32_t tickMilliseconds() { return uint32_t(hostTickMilliseconds()); }

bool dateIsValid(const PackedDateFields& d)
{
    static constexpr int DaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.month < 1 || d.month > 12 || d.day < 1) return false;
    bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    int days = DaysInMonth[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
    return d.day <= days && d.hour < 24 && d.minute < 60 && d.second < 60;
}

bool setHostClock(const PackedDateFields& d)
{
    LocalDateTime when{d.year, d.month, d.day, d.hour, d.minute, d.second};
    SetTimeResult result = hostSetLocalTime(when);
    if (result != SetTimeResult::Done)
        zlog(LogCat::General, "ZEM: Cannot set the host clock (%s)\r\n",
             result == SetTimeResult::NotPermitted ? "not permitted" : "refused");
    return result == SetTimeResult::Done;
}

void storeRegister(uint32_t value)
{
    // One aligned 32-bit store, written without a lock while the guest runs.
    uint8_t* host = guestRange(ClockLayout::Register, sizeof(uint32_t));
    if (!host) return;
    uint32_t bigEndian = __builtin_bswap32(value);
    std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(host)).store(bigEndian, std::memory_order_relaxed);
}

}  // namespace

uint32_t guestSecondsFromLocal1970(int64_t localSeconds) { return uint32_t(localSeconds + Seconds1961To1970); }

void clockResync()
{
    uint32_t now = guestSecondsFromLocal1970(hostLocalSecondsSince1970());
    clockBase.store(now - uint32_t(tickMilliseconds() / MillisecondsPerSecond));
    resyncCountdown.store(ResyncSteps);
}

namespace {
void publishClock()
{
    uint32_t now = clockBase.load() + uint32_t(tickMilliseconds() / MillisecondsPerSecond);
    guestClock.store(now);
    if (mem.base) storeRegister(now);
}
}  // namespace

void clockTimerStep()
{
    if (resyncCountdown.fetch_sub(1) - 1 <= 0) clockResync();
    publishClock();
}

uint32_t clockGuestNow() { return guestClock.load(); }

bool clockStart()
{
    clockResync();
    clockTimerStep();
    return clockTimer.start(ClockPeriod, clockTimerStep);
}

void clockStop() { clockTimer.stop(); }

PackedDateFields unpackDate(uint32_t packed)
{
    constexpr int BaseYear = 1980;
    return PackedDateFields{
        int(packed >> 25) + BaseYear, int((packed >> 21) & 0xF), int((packed >> 16) & 0x1F),
        int((packed >> 11) & 0x1F),   int((packed >> 5) & 0x3F), int(packed & 0x1F) * 2,
    };
}

int32_t inpSetHostClock(unsigned n)
{
    if (n > 7) return HostCallResult::Illegal;
    PackedDateFields when = unpackDate(cpu.D[n]);
    // A date the calendar does not have is refused like any other failure to set the
    // time, instead of being rolled into a neighbouring day.
    if (dateIsValid(when)) {
        HostClockSetter set = hostClockSetter ? hostClockSetter : setHostClock;
        // Twice in succession, as the host may apply a time zone change with the first.
        if (set(when)) set(when);
    } else {
        zlog(LogCat::General, "ZEM: Invalid date for the host clock\r\n");
    }
    clockResync();
    publishClock();
    return HostCallResult::KeepRegisters;
}

void clockSetHostClockSetter(HostClockSetter setter) { hostClockSetter = setter; }

namespace {
constexpr unsigned SetHostClockSlot = 0;
}

void clockInstallHostCalls() { hostCallInstall(HostCallGroupId::Inp, SetHostClockSlot, inpSetHostClock); }

void clockRemoveHostCalls() { hostCallRemove(HostCallGroupId::Inp, SetHostClockSlot); }
