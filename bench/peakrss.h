// The peak memory the desktop's benches print.
#pragma once

#include <sys/resource.h>

// The most resident memory this process has held so far, in kilobytes.
inline long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
