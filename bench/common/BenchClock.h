// The benches' clocks, in milliseconds: the monotonic clock and a sleep on
// it; the CPU time (user and system) of the whole process and of the calling
// thread. Linux only.
#pragma once

#include <sys/resource.h>
#include <time.h>

inline double WallMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline void SleepMs(double ms) {
    const timespec ts{time_t(ms / 1000), long(ms * 1e6) % 1000000000L};
    nanosleep(&ts, nullptr);
}

inline double ProcessCpuMs() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

inline double ThreadCpuMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
