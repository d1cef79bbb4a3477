// SPDX-License-Identifier: GPL-3.0-or-later
#include "runcontrol.h"

#include "common/conventions.h"

namespace varnok {

void ActiveRuns::noteErrorBox()
{
    if (!m_stack.empty() && m_stack.back())
        m_stack.back()->noteErrorBox();
}

int ActiveRuns::innermostWindow() const
{
    return !m_stack.empty() && m_stack.back() ? m_stack.back()->windowIndex() : 0;
}

RunControl::Executing::Executing(RunControl &control)
    : m_runs(control.m_activeRuns), m_depth(control.m_activeRuns.m_stack.size())
{
    m_runs.m_stack.push_back(&control);
}

RunControl::Executing::~Executing()
{
    // Inner runs have popped their own entries already; the control itself
    // may be gone by now, so only the stack is touched.
    m_runs.m_stack.resize(m_depth);
}

RunControl::RunControl(Engine &engine, std::shared_ptr<TextModel> text, ActiveRuns &activeRuns,
                       StateCallback onStateChanged, ClockFunction clock)
    : m_engine(engine),
      m_text(std::move(text)),
      m_activeRuns(activeRuns),
      m_onStateChanged(std::move(onStateChanged)),
      m_clock(std::move(clock))
{
}

RunControl::~RunControl()
{
    for (RunControl *&entry : m_activeRuns.m_stack)
        if (entry == this)
            entry = nullptr;
}

void RunControl::setState(State state)
{
    const State from = m_state;
    m_state = state;
    if (m_onStateChanged)
        m_onStateChanged(from, state);
}

void RunControl::setStatus(QStringView value)
{
    m_engine.setWindowStatus(u"SkriptFenster", m_index, value);
}

void RunControl::ausfuehren()
{
    if (m_state != State::Idle) {
        m_stop->set(true);
        return;
    }
    setStatus(u"1");
    m_stop->set(false);
    m_errorBox = false;
    m_text->setReadOnly(true);
    waitEntry().waiting = false;
    setState(State::Running);
    runFrom(RunRef{}, 0);
}

void RunControl::runFrom(RunRef run, qint32 startPosition)
{
    const std::weak_ptr<const bool> alive = m_alive;
    {
        Executing executing(*this);
        qint16 level = 0;
        m_engine.RunScript(m_text, m_stop, QString(), run, level, startPosition, qint16(m_index));
    }
    if (alive.expired())
        return;
    afterRun();
}

void RunControl::afterRun()
{
    if (waitEntry().waiting) {
        m_waitBegan = m_clock();
        setState(State::Waiting);
        return;
    }
    finish();
}

void RunControl::finish()
{
    const std::weak_ptr<const bool> alive = m_alive;
    m_text->setReadOnly(false);
    setState(State::Idle);
    if (alive.expired())
        return;
    setStatus(u"0");
}

void RunControl::tick()
{
    // A box opened by the condition (an error) keeps the event loop going;
    // the timer must not evaluate the condition again underneath it.
    if (m_ticking || m_state != State::Waiting)
        return;
    WaitEntry &wait = waitEntry();
    if (m_stop->stopRequested()) {
        wait.waiting = false;
        // The run's object may already be gone (an error box in an earlier
        // condition); never release an object that a later run now owns.
        if (m_engine.isCurrent(wait.run))
            m_engine.ReleaseSkriptObject(wait.run.index);
        finish();
        return;
    }
    // A timer may fire a little early; the wait lasts at least one interval
    // all the same, and the run goes on at the next tick.
    if (m_clock() - m_waitBegan < kTickInterval)
        return;

    EvalContext ctx;
    ctx.run = wait.run;
    ctx.textBox = m_text;
    ctx.runCommand = m_stop;
    const QString condition = wait.condition;
    const std::weak_ptr<const bool> alive = m_alive;
    QString result;
    m_ticking = true;
    {
        Executing executing(*this);
        result = m_engine.EvaluateWaitCondition(condition, ctx);
    }
    if (alive.expired())
        return;
    m_ticking = false;

    WaitEntry &entry = waitEntry();
    if (m_state != State::Waiting)
        return;
    if (!m_engine.isCurrent(entry.run)) {
        // The condition ended the run with an error box: the wait ends too.
        entry.waiting = false;
        finish();
        return;
    }
    if (numericValue(result) == 0)
        return;

    entry.waiting = false;
    setState(State::Running);
    runFrom(entry.run, entry.resumePosition);
}

} // namespace varnok
