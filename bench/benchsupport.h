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
