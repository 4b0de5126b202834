#pragma once
// Wall and CPU time of a piece of work, keeping the cheapest seen: on a
// shared machine other work skews the figures as little as possible then.

#include <algorithm>
#include <ctime>
#include <functional>

inline double clockMilliseconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Cost {
    double wallMs = 1e30;
    double cpuMs = 1e30;
};

// cpuClock: CLOCK_PROCESS_CPUTIME_ID (all threads) or CLOCK_THREAD_CPUTIME_ID.
inline void measure(Cost& cost, const std::function<void()>& work, clockid_t cpuClock)
{
    const double wall = clockMilliseconds(CLOCK_MONOTONIC);
    const double cpu = clockMilliseconds(cpuClock);
    work();
    cost.cpuMs = std::min(cost.cpuMs, clockMilliseconds(cpuClock) - cpu);
    cost.wallMs = std::min(cost.wallMs, clockMilliseconds(CLOCK_MONOTONIC) - wall);
}
