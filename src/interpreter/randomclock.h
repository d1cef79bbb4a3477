// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two outside numbers the built-ins read: random numbers and the clock.

#include <QtGlobal>
#include <random>

namespace varnok {

class RandomSource
{
public:
    RandomSource(); // seeded from the system and the clock
    // 24 random bits: a single-precision value in [0, 1).
    float next();

private:
    std::mt19937 m_random;
};

// Milliseconds of a monotonic clock, wrapped to 32 bits.
qint32 monotonicClockMs();

} // namespace varnok
