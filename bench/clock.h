// The benchmarks' clock under Wine: milliseconds from the performance counter.
#ifndef VELTRANE_BENCH_CLOCK_H
#define VELTRANE_BENCH_CLOCK_H

#include <windows.h>

static inline double Now(void)
{
    static LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return 1000.0 * (double)count.QuadPart / (double)frequency.QuadPart;
}

#endif
