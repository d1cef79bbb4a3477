// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A request engine's clock that moves only when the test says so: the
// timeout fires inside advance(), once its whole interval has passed.

#include "request/requestclock.h"

namespace varnok::test {

class ManualRequestClock : public RequestClock
{
public:
    qint64 nanoseconds() const override { return m_nowNs; }
    void startTimer(int ms) override
    {
        m_active = true;
        m_dueNs = m_nowNs + qint64(ms) * 1000000;
    }
    void stopTimer() override { m_active = false; }
    bool timerActive() const override { return m_active; }

    // Moves the time on; a countdown that ends on the way fires at its
    // moment (the handler may start it again, and it fires again when the
    // rest of the way reaches it).
    void advance(qint64 ms)
    {
        const qint64 to = m_nowNs + ms * 1000000;
        while (m_active && m_dueNs <= to) {
            m_nowNs = m_dueNs;
            m_active = false;
            timedOut();
        }
        m_nowNs = to;
    }

private:
    qint64 m_nowNs = 0;
    qint64 m_dueNs = 0;
    bool m_active = false;
};

} // namespace varnok::test
