// The peak resident memory of the benchmark process, for a counter.
#pragma once
#include <sys/resource.h>

inline double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;   // Linux reports kilobytes
}
