// SPDX-License-Identifier: GPL-3.0-or-later
#include "requestclock.h"

#include <QElapsedTimer>
#include <QTimer>

namespace varnok {

namespace {

class SystemRequestClock final : public RequestClock
{
public:
    SystemRequestClock()
    {
        m_timer.setObjectName(QStringLiteral("Timer1"));
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { timedOut(); });
        m_elapsed.start();
    }

    qint64 nanoseconds() const override { return m_elapsed.nsecsElapsed(); }
    void startTimer(int ms) override
    {
        m_timer.stop();
        m_timer.start(ms);
    }
    void stopTimer() override { m_timer.stop(); }
    bool timerActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    QElapsedTimer m_elapsed;
};

} // namespace

std::unique_ptr<RequestClock> makeSystemRequestClock()
{
    return std::make_unique<SystemRequestClock>();
}

} // namespace varnok
