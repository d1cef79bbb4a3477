// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every benchmark measures with: clocks, peak memory, medians, and the
// platform when no display is named.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <sys/resource.h>

namespace varnok::bench {

// Processor time of this process: the machine is shared, and waiting for a
// core is not what is measured.
inline double processorSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The process's peak resident memory so far.
inline long peakRssKb()
{
    // Linux's own count, which resetPeakRss() can start anew.
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long kb = -1;
        while (kb < 0 && std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                kb = std::atol(line + 6);
        std::fclose(f);
        if (kb >= 0)
            return kb;
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Starts the peak anew at the present size, so that what a benchmark set
// up before (answers it made and let go) does not count; false where the
// system cannot.
inline bool resetPeakRss()
{
    FILE *f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Windows are real but need no screen unless a display is there to look.
inline void offscreenUnlessDisplayed()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace varnok::bench
