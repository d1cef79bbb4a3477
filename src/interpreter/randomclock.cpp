// SPDX-License-Identifier: GPL-3.0-or-later
#include "randomclock.h"

#include <chrono>
#include <ctime>

namespace varnok {

RandomSource::RandomSource()
    : m_random(std::random_device{}() ^ quint32(std::chrono::steady_clock::now().time_since_epoch().count()))
{
}

float RandomSource::next()
{
    return float(m_random() >> 8) * (1.0f / 16777216.0f);
}

qint32 monotonicClockMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const quint64 ms = quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u;
    return qint32(quint32(ms & 0xFFFFFFFFu));
}

} // namespace varnok
