// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run control of one script window: Ausführen and Stopp, the wait entry
// and its 100 ms tick, and the end of a run. The script window, the test
// host and varnok-run all drive this one class; a window only owns the timer
// that calls tick() and shows the state it is told about.

#include "common/textmodel.h"
#include "interpreter/engine.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace varnok {

class RunControl;

// The stop request of one script window, read by the runner after every
// statement and by the tick.
class StopFlag : public RunCommand
{
public:
    bool stopRequested() const override { return m_stop; }
    void set(bool stop) { m_stop = stop; }

private:
    bool m_stop = false;
};

// The runs executing right now, innermost last. Runs nest (a statement may
// start another window's run), and a script error box belongs to the run
// whose statement is executing innermost. One per application.
class ActiveRuns
{
public:
    ActiveRuns() = default;
    ActiveRuns(const ActiveRuns &) = delete;
    ActiveRuns &operator=(const ActiveRuns &) = delete;

    // Tells the innermost executing run that an error box ended it.
    void noteErrorBox();
    // The window index of the innermost executing run; 0 when none runs.
    int innermostWindow() const;

private:
    friend class RunControl;
    // Entries of a run control destroyed while executing are null.
    std::vector<RunControl *> m_stack;
};

class RunControl
{
public:
    enum class State { Idle, Running, Waiting };
    using Clock = std::chrono::steady_clock;
    // How often a waiting run looks at its condition, and the least time
    // between entering a wait and going on.
    static constexpr std::chrono::milliseconds kTickInterval{100};

    // Called after every change of state. The window's timer runs exactly
    // while the state is Waiting. Only the change to Idle, the last thing a
    // run does, may destroy the control.
    using StateCallback = std::function<void(State from, State to)>;

    using ClockFunction = std::function<Clock::time_point()>;

    // `clock` is the monotonic clock waits are measured with; tests pass one
    // they advance by hand.
    RunControl(Engine &engine, std::shared_ptr<TextModel> text, ActiveRuns &activeRuns,
               StateCallback onStateChanged, ClockFunction clock = &Clock::now);
    ~RunControl();
    RunControl(const RunControl &) = delete;
    RunControl &operator=(const RunControl &) = delete;

    // The window index 1..100, given once the window has one.
    void setWindowIndex(int index) { m_index = index; }
    int windowIndex() const { return m_index; }

    // Ausführen: starts a run when idle, otherwise asks the run to stop (an
    // executing run stops after its statement, a waiting one at the next
    // tick). A started run executes inside this call up to its end or its
    // first wait.
    void ausfuehren();
    // The timer's tick: ends a waiting run on a stop request, otherwise
    // evaluates the wait condition and continues the run when it holds, but
    // never before kTickInterval has passed since the wait began.
    void tick();

    State state() const { return m_state; }
    bool isIdle() const { return m_state == State::Idle; }
    bool stopRequested() const { return m_stop->stopRequested(); }
    // True when the last run ended with an error box (no ONERROR handler).
    bool endedByError() const { return m_errorBox; }
    void noteErrorBox() { m_errorBox = true; }

private:
    void runFrom(RunRef run, qint32 startPosition);
    void afterRun();
    void finish();
    void setState(State state);
    void setStatus(QStringView value);
    WaitEntry &waitEntry() { return m_engine.waitEntry(m_index); }

    // Marks this control as executing for the length of a scope.
    class Executing
    {
    public:
        explicit Executing(RunControl &control);
        ~Executing();
        Executing(const Executing &) = delete;
        Executing &operator=(const Executing &) = delete;

    private:
        ActiveRuns &m_runs;
        size_t m_depth;
    };

    Engine &m_engine;
    std::shared_ptr<TextModel> m_text;
    ActiveRuns &m_activeRuns;
    StateCallback m_onStateChanged;
    ClockFunction m_clock;
    std::shared_ptr<StopFlag> m_stop = std::make_shared<StopFlag>();
    // Expires with the control: a run or a condition may close its own
    // window, and the control must not touch itself afterwards.
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
    int m_index = 0;
    State m_state = State::Idle;
    bool m_ticking = false;
    bool m_errorBox = false;
    Clock::time_point m_waitBegan{};
};

} // namespace varnok
