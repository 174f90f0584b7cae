#pragma once
// The clocks every benchmark reads: wall time, the CPU time of the calling thread, of this
// whole process, and of the children it has reaped.

#include <sys/resource.h>
#include <time.h>

#include <chrono>

namespace bench {

inline double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU seconds (user and system) of every thread of this process. Where the other side of the
// exchange (velorax-sim) is a process of its own, this is the client side's CPU alone.
inline double SelfCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU seconds (user and system) of the child processes reaped so far: the difference around
// a child's whole life is its CPU, to the microsecond (/proc/PID/stat counts clock ticks).
inline double ReapedChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace bench
