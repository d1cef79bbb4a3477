// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time a request engine lives by: its one timeout countdown and the
// monotonic clock its events are timed with. The engine's own uses a Qt
// timer; tests use one they advance by hand, so a 60-second retry takes no
// 60 seconds and no race with a short interval.

#include <QtGlobal>

#include <functional>
#include <memory>

namespace varnok {

class RequestClock
{
public:
    virtual ~RequestClock() = default;

    // Monotonic time in nanoseconds; only differences mean anything.
    virtual qint64 nanoseconds() const = 0;
    // Starts the countdown anew (a running one is dropped first), so a full
    // interval starts now.
    virtual void startTimer(int ms) = 0;
    virtual void stopTimer() = 0;
    virtual bool timerActive() const = 0;

    // What runs when a countdown ends; the countdown is no longer active
    // by then.
    void setTimeoutHandler(std::function<void()> handler) { m_handler = std::move(handler); }

protected:
    void timedOut()
    {
        if (m_handler)
            m_handler();
    }

private:
    std::function<void()> m_handler;
};

// A QTimer and the steady clock.
std::unique_ptr<RequestClock> makeSystemRequestClock();

} // namespace varnok
