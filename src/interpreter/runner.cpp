// SPDX-License-Identifier: GPL-3.0-or-later
// The statement runner: reads the script text line by line at run time,
// with labels, jumps, conditional blocks, loops, waits and handlers. There
// is no parsing pass; block structure is found by skipping forward with
// nesting counters or by jumping back to a remembered position.

#include "common/limits.h"
#include "engine.h"
#include "scriptcache.h"

#include "common/conventions.h"

#include <QScopeGuard>
#include <utility>
#include <vector>

namespace varnok {

namespace {


// One invocation of the runner and everything it keeps. It lives on the
// heap: the runner's frame stays on the native stack for every level of
// user-function recursion, so it should be small.
class Runner
{
public:
    Runner(Engine &engine, const std::shared_ptr<ScriptText> &box,
           const std::shared_ptr<RunCommand> &cmd, RunRef &runRef, qint16 &level,
           qint32 startPosition, qint16 window)
        : m_engine(engine), textBox(box), runCommand(cmd), run(runRef), callLevel(level),
          windowIndex(window), ctx{runRef, level, box, cmd, QString()},
          savedCaret(box ? box->selectionStart() : 0), scan(startPosition),
          cache(box ? engine.scripts().of(box) : nullptr)
    {
        if (cache)
            cache->enter(reader);
    }
    ~Runner()
    {
        if (cache)
            cache->leave(reader);
    }
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // Inline in RunScript: one frame less for every level of user-function
    // recursion.
    [[gnu::always_inline]] inline void execute(const QString &statement);

private:
    // How a statement ends: go on (after a yield or not), return from this
    // invocation, or end the run.
    enum class Step { Next, Yield, Return, End };
    // What the runner is doing: running statements, or skipping forward to
    // a label, past a loop, to a branch that holds, or to the ENDIF.
    enum class Mode { Normal, LabelSearch, LoopSkip, BranchSkip, EndifSkip };

    bool readStatement();
    bool jumpToLabel();
    Step executeStatement(const Statement &st);
    Step executeOther(const Statement &st);
    Step exec(const Statement &st)
    {
        m_engine.evaluateStatement(*st.expr, ctx);
        return Step::Yield;
    }
    Step normal(const Statement &st);
    Step skipLoop(Keyword kw);
    Step skipBranch(const Statement &st);
    Step skipToEndif(Keyword kw);
    Step loopEnd(const Statement &st);
    Step wait(const Statement &st);
    Step startSkip(Mode skip);
    Step closeSkippedBlock();
    void pushLoop();
    bool conditionHolds(const Statement &st);
    void endRun();

    Engine &m_engine;
    const std::shared_ptr<ScriptText> &textBox;
    const std::shared_ptr<RunCommand> &runCommand;
    RunRef &run;
    qint16 &callLevel;
    qint16 windowIndex;
    EvalContext ctx;
    qsizetype savedCaret = 0;
    qint32 scan = 0;
    qint32 previous = 0;
    std::vector<qint32> loopStack;
    Mode mode = Mode::Normal;
    int counter = 0;
    QString labelTarget;
    bool single = false;
    Engine::RunningStatement running;
    // What is known about the text box's text; the statement being executed
    // is held (a single one here, one of the text's by the cache through
    // `reader`), since it may change the text it came from.
    std::shared_ptr<ScriptCache> cache;
    ScriptCache::Reader reader;
    std::shared_ptr<const Statement> singleStatement;
    const Statement *current = nullptr;
};

void Runner::execute(const QString &statement)
{
    single = !statement.isEmpty();
    running.outer = std::exchange(m_engine.runningStatements(), &running);
    const auto unlink = qScopeGuard([this] { m_engine.runningStatements() = running.outer; });
    for (;;) {
        if (single) {
            singleStatement = m_engine.scripts().single(statement);
            current = singleStatement.get();
        } else if (!readStatement()) {
            break;
        }
        switch (executeStatement(*current)) {
        case Step::Next:
        case Step::Yield:
            break;
        case Step::Return:
            return;
        case Step::End:
            endRun();
            return;
        }
        if (single)
            return;
        if ((runCommand && runCommand->stopRequested()) || !m_engine.isCurrent(run))
            break;
    }
    if (callLevel == 0)
        endRun();
}

void Runner::endRun()
{
    if (textBox)
        textBox->setSelection(savedCaret, 0);
    // An object released already (an error box ended the run) may by now
    // belong to another run with the same index.
    if (m_engine.isCurrent(run))
        m_engine.ReleaseSkriptObject(run.index);
}

// A label search reads every line from the top until the label; no line
// on the way is executed and nothing yields, so it goes straight to where
// the search would end, with the selection it would leave. False when the
// search runs past the end of the text.
bool Runner::jumpToLabel()
{
    const ScriptCache::LabelPlace place = cache->findLabel(*textBox, labelTarget);
    if (place.anyLine) {
        textBox->setSelection(place.line.from, place.line.to - place.line.from);
        running.text = textBox.get();
        running.start = place.line.from;
        previous = place.before;
        scan = place.line.end;
    }
    if (!place.found)
        return false;
    mode = Mode::Normal;
    return true;
}

bool Runner::readStatement()
{
    if (!textBox) {
        // Nothing to read: a label search from a handler without a text box.
        return false;
    }
    if (mode == Mode::LabelSearch && !jumpToLabel())
        return false;
    current = cache->statementAt(*textBox, scan);
    reader.current = current;
    reader.kept.reset();
    if (!current)
        return false;
    textBox->setSelection(current->from, current->length);
    // A single statement (a handler, a function's GOTO) turns into a run
    // through the text here.
    running.text = textBox.get();
    running.start = current->from;
    previous = scan;
    scan = current->end;
    return true;
}

bool Runner::conditionHolds(const Statement &st)
{
    return numericValue(m_engine.evaluateCondition(*st.expr, ctx)) != 0;
}

Runner::Step Runner::executeStatement(const Statement &st)
{
    if (st.keyword == Keyword::None)
        return Step::Next;
    // EXEC is what user functions recurse through: keep its path in this
    // small frame and everything else in its own function.
    if (st.keyword == Keyword::Exec && mode == Mode::Normal) {
        const Step step = exec(st);
        m_engine.host().yield();
        return step;
    }
    return executeOther(st);
}

[[gnu::noinline]] Runner::Step Runner::executeOther(const Statement &st)
{
    Step step = Step::Next;
    switch (mode) {
    case Mode::Normal:
        step = normal(st);
        break;
    case Mode::LabelSearch: // readStatement goes straight to the label
        break;
    case Mode::LoopSkip:
        step = skipLoop(st.keyword);
        break;
    case Mode::BranchSkip:
        step = skipBranch(st);
        break;
    case Mode::EndifSkip:
        step = skipToEndif(st.keyword);
        break;
    }
    if (step == Step::Yield)
        m_engine.host().yield();
    return step;
}

Runner::Step Runner::normal(const Statement &st)
{
    const QString &arg = st.arg;
    switch (st.keyword) {
    case Keyword::None:
    case Keyword::Label:
    case Keyword::EndIf:
        return Step::Next;
    case Keyword::Exec:
        return exec(st);
    case Keyword::OnError:
        ctx.errorHandler = arg;
        return Step::Yield;
    case Keyword::Goto:
        single = false;
        scan = 0;
        mode = Mode::LabelSearch;
        labelTarget = st.label;
        return Step::Yield;
    case Keyword::ExitFunction:
        return callLevel != 0 ? Step::Return : Step::Next;
    case Keyword::If:
        if (!conditionHolds(st))
            startSkip(Mode::BranchSkip);
        return Step::Yield;
    case Keyword::ElseIf:
    case Keyword::Else:
        return startSkip(Mode::EndifSkip);
    case Keyword::Do:
        pushLoop();
        return Step::Yield;
    case Keyword::DoWhile:
        if (conditionHolds(st))
            pushLoop();
        else
            startSkip(Mode::LoopSkip);
        return Step::Yield;
    case Keyword::Loop:
    case Keyword::LoopWhile:
        return loopEnd(st);
    case Keyword::WaitTill:
    case Keyword::WaitWhile:
        return wait(st);
    case Keyword::Quit:
        return Step::End;
    case Keyword::Other:
        m_engine.RaiseScriptError(1, ctx);
        return Step::Next;
    }
    return Step::Next;
}

Runner::Step Runner::skipLoop(Keyword kw)
{
    if (kw == Keyword::Do || kw == Keyword::DoWhile) {
        ++counter;
        return Step::Next;
    }
    if (kw == Keyword::Loop || kw == Keyword::LoopWhile)
        return closeSkippedBlock();
    return Step::Next;
}

Runner::Step Runner::skipBranch(const Statement &st)
{
    const Keyword kw = st.keyword;
    if (kw == Keyword::If) {
        ++counter;
        return Step::Next;
    }
    if (kw == Keyword::EndIf)
        return closeSkippedBlock();
    if (counter == 0 && (kw == Keyword::Else || (kw == Keyword::ElseIf && conditionHolds(st)))) {
        mode = Mode::Normal;
        return Step::Yield;
    }
    return Step::Next;
}

Runner::Step Runner::skipToEndif(Keyword kw)
{
    if (kw == Keyword::If) {
        ++counter;
        return Step::Next;
    }
    if (kw == Keyword::EndIf)
        return closeSkippedBlock();
    return Step::Next;
}

Runner::Step Runner::startSkip(Mode skip)
{
    mode = skip;
    counter = 0;
    return Step::Yield;
}

// The end of a block met while skipping: an inner one lowers the count, the
// skipped block's own end resumes normal execution (with a yield).
Runner::Step Runner::closeSkippedBlock()
{
    if (counter > 0) {
        --counter;
        return Step::Next;
    }
    mode = Mode::Normal;
    return Step::Yield;
}

// LOOP jumps back to its DO; LOOPWHILE only while its condition holds.
Runner::Step Runner::loopEnd(const Statement &st)
{
    const bool again = st.keyword == Keyword::Loop || conditionHolds(st);
    if (loopStack.empty()) {
        m_engine.RaiseScriptError(1, ctx);
    } else {
        if (again)
            scan = loopStack.back();
        loopStack.pop_back();
    }
    return Step::Yield;
}

void Runner::pushLoop()
{
    // A full loop stack is reported like a statement that cannot run.
    if (loopStack.size() >= size_t(limits::kLoopStack))
        m_engine.RaiseScriptError(1, ctx);
    else
        loopStack.push_back(previous);
}

// WAITTILL / WAITWHILE: a top-level run of a script window leaves its
// condition in the window's wait entry and returns; the run control resumes
// it once the condition holds.
Runner::Step Runner::wait(const Statement &st)
{
    const Keyword kw = st.keyword;
    const QString &arg = st.arg;
    if (callLevel == 0 && windowIndex >= 1 && windowIndex <= limits::kWindowsPerKind) {
        WaitEntry &w = m_engine.waitEntry(windowIndex);
        w.waiting = true;
        w.run = run;
        w.condition = kw == Keyword::WaitTill ? arg : concat({u"Main.Nicht(", arg, u")"});
        w.resumePosition = scan;
        return Step::Return;
    }
    m_engine.RaiseScriptError(1, ctx);
    return Step::Next;
}

} // namespace

qsizetype Engine::currentStatementStart(const ScriptText &text) const
{
    const RunningStatement *r = m_running;
    while (r && !r->text)
        r = r->outer;
    return r && r->text == &text ? r->start : -1;
}

void Engine::RunScript(const std::shared_ptr<ScriptText> &textBox,
                       const std::shared_ptr<RunCommand> &runCommand, const QString &statement,
                       RunRef &run, qint16 &callLevel, qint32 startPosition, qint16 windowIndex)
{
    if (run.index == 0) {
        run = NewSkriptObject();
        callLevel = 0;
        if (run.index == 0)
            return; // every per-run object is in use
    }
    // The outermost run enters the run stack; nested ones are on it already.
    m_guard.onRunStack([&] {
        StackGuard::Nesting nesting(m_guard, __builtin_frame_address(0));
        const auto runner = std::make_unique<Runner>(*this, textBox, runCommand, run, callLevel,
                                                     startPosition, windowIndex);
        runner->execute(statement);
    });
}

} // namespace varnok
