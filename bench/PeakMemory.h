// The peak resident memory of the benchmark process, for a counter.
#pragma once
#include <fstream>
#include <malloc.h>
#include <sys/resource.h>

inline double PeakRssMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;   // Linux reports kilobytes
}

// Hands freed memory back and starts the peak again from what the process
// holds now (Linux: 5 in clear_refs), so that a benchmark's peak leaves out
// what making its input took.
inline void RestartPeakRss()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
