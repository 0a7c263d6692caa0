#pragma once
// What every benchmark reports besides its times.
#include <sys/resource.h>

// The process's peak resident memory so far, in MiB.
inline long peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// CPU time (user and system, every thread) of this process, or of its finished
// children, in ms: steadier than the wall clock on a busy machine.
inline double cpuMs(int who = RUSAGE_SELF)
{
    rusage ru{};
    getrusage(who, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}
