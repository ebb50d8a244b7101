#include "platform/host_time.h"

#include <cerrno>
#include <ctime>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int64_t SecondsPerDay = 86400;
constexpr int TmYearBase = 1900;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// Host thread priority (-15, -2 ... 2) as a nice value: the higher the priority, the
// lower the nice value; idle is the lowest the scheduler has.
int niceFor(int priority)
{
    constexpr int IdlePriority = -15;
    constexpr int NiceIdle = 19;
    constexpr int NicePerStep = 5;
    if (priority <= IdlePriority) return NiceIdle;
    return -priority * NicePerStep;
}

}  // namespace

int64_t hostLocalSecondsSince1970()
{
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return daysFromCivil(int64_t(local.tm_year) + TmYearBase, unsigned(local.tm_mon + 1), unsigned(local.tm_mday)) *
               SecondsPerDay +
           local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

uint64_t hostTickMilliseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1'000'000u;
}

SetTimeResult hostSetLocalTime(const LocalDateTime& when)
{
    tm local{};
    local.tm_year = when.year - TmYearBase;
    local.tm_mon = when.month - 1;
    local.tm_mday = when.day;
    local.tm_hour = when.hour;
    local.tm_min = when.minute;
    local.tm_sec = when.second;
    local.tm_isdst = -1;
    time_t instant = mktime(&local);
    if (instant == time_t(-1)) return SetTimeResult::Invalid;
    timespec ts{};
    ts.tv_sec = instant;
    if (clock_settime(CLOCK_REALTIME, &ts) == 0) return SetTimeResult::Done;
    return errno == EPERM ? SetTimeResult::NotPermitted : SetTimeResult::Failed;
}

int hostCurrentThreadId() { return int(syscall(SYS_gettid)); }

bool hostSetThreadPriority(int threadId, int priority)
{
    return setpriority(PRIO_PROCESS, id_t(threadId), niceFor(priority)) == 0;
}
