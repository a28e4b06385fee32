// The peak memory the desktop's benches print.
#pragma once

#include <sys/resource.h>

#include <cstdlib>

// The most resident memory this process has held so far, in kilobytes.
inline long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

#include <cstdio>
#include <cstring>

// The memory this process holds now, in kilobytes (0 when it cannot be read).
inline long currentRssKb() {
    long kb = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr)
            if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::atol(line + 6);
        std::fclose(f);
    }
    return kb;
}
