// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every benchmark measures with: clocks, peak memory, medians, and the
// platform when no display is named.

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
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
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
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
