// The statement runner: reads the script text line by line at run time,
// with labels, jumps, conditional blocks, loops, waits and handlers. There
// is no parsing pass; block structure is found by skipping forward with
// nesting counters or by jumping back to a remembered position.

#include "engine.h"
#include "upperid.h"

#include "common/conventions.h"

#include <QScopeGuard>
#include <utility>
#include <vector>

namespace varnok {

namespace {

enum class Keyword {
    Label, Exec, OnError, Goto, ExitFunction, If, ElseIf, Else, EndIf,
    Do, DoWhile, Loop, LoopWhile, WaitTill, WaitWhile, Quit, Other,
};

Keyword classify(QStringView word)
{
    using L = QLatin1StringView;
    static const std::pair<L, Keyword> words[] = {
        {L("EXEC"), Keyword::Exec},           {L("IF"), Keyword::If},
        {L("ENDIF"), Keyword::EndIf},         {L("ELSE"), Keyword::Else},
        {L("ELSEIF"), Keyword::ElseIf},       {L("DO"), Keyword::Do},
        {L("DOWHILE"), Keyword::DoWhile},     {L("LOOP"), Keyword::Loop},
        {L("LOOPWHILE"), Keyword::LoopWhile}, {L("GOTO"), Keyword::Goto},
        {L("ONERROR"), Keyword::OnError},     {L("EXITFUNCTION"), Keyword::ExitFunction},
        {L("WAITTILL"), Keyword::WaitTill},   {L("WAITWHILE"), Keyword::WaitWhile},
        {L("QUIT"), Keyword::Quit},
    };
    for (const auto &[text, kw] : words)
        if (matchesUpperId(word, text))
            return kw;
    return Keyword::Other;
}

constexpr size_t kLoopStackSize = 32000;

// 1-based position of the next statement after `position`, skipping CR and
// LF; 0 past the end.
qint32 nextStatementStart(const QString &text, qint32 position)
{
    qsizetype p = position; // 0-based index of position + 1
    const qsizetype n = text.size();
    while (p < n && (text[p] == u'\r' || text[p] == u'\n'))
        ++p;
    return p >= n ? 0 : qint32(p + 1);
}

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
          savedCaret(box ? box->selectionStart() : 0), scan(startPosition)
    {
    }

    void execute(const QString &statement);

private:
    // How a statement ends: go on (after a yield or not), return from this
    // invocation, or end the run.
    enum class Step { Next, Yield, Return, End };
    // What the runner is doing: running statements, or skipping forward to
    // a label, past a loop, to a branch that holds, or to the ENDIF.
    enum class Mode { Normal, LabelSearch, LoopSkip, BranchSkip, EndifSkip };

    bool readStatement();
    Step executeStatement();
    Step executeOther(Keyword kw, QStringView arg);
    Step exec(QStringView arg)
    {
        m_engine.Evaluate(arg, ctx);
        return Step::Yield;
    }
    Step normal(Keyword kw, QStringView arg);
    Step searchLabel(Keyword kw, QStringView arg);
    Step skipLoop(Keyword kw);
    Step skipBranch(Keyword kw, QStringView arg);
    Step skipToEndif(Keyword kw);
    Step loopEnd(Keyword kw, QStringView arg);
    Step wait(Keyword kw, QStringView arg);
    Step startSkip(Mode skip);
    Step closeSkippedBlock();
    void pushLoop();
    bool conditionHolds(QStringView expression);
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
    QString source;   // the text the current statement was read from
    QStringView line; // the current statement, in `source` or the statement argument
    Engine::RunningStatement running;
};

void Runner::execute(const QString &statement)
{
    single = !statement.isEmpty();
    running.outer = std::exchange(m_engine.runningStatements(), &running);
    const auto unlink = qScopeGuard([this] { m_engine.runningStatements() = running.outer; });
    for (;;) {
        if (single) {
            line = statement;
        } else if (!readStatement()) {
            break;
        }
        switch (executeStatement()) {
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

bool Runner::readStatement()
{
    static const QString kNoText;
    const QString &text = textBox ? textBox->scriptText() : kNoText;
    const qint32 next = nextStatementStart(text, scan);
    if (next == 0)
        return false;
    const qsizetype cr = text.indexOf(u'\r', next - 1);
    const qint32 end = cr < 0 ? qint32(text.size() + 1) : qint32(cr + 1);
    qsizetype from = next - 1;
    qsizetype to = end - 1; // exclusive, 0-based
    while (from < to && (text[from] == u' ' || text[to - 1] == u' ')) {
        if (text[from] == u' ')
            ++from;
        else
            --to;
    }
    if (textBox)
        textBox->setSelection(from, to - from);
    // The statement may change the text it came from: keep the text it was
    // read from alive (a shared copy, no duplicate) and look at the line in it.
    source = text;
    line = QStringView(source).mid(from, to - from);
    // A single statement (a handler, a function's GOTO) turns into a run
    // through the text here.
    running.text = textBox.get();
    running.start = from;
    previous = scan;
    scan = end;
    return true;
}

bool Runner::conditionHolds(QStringView expression)
{
    return numericValue(m_engine.Evaluate(expression, ctx)) != 0;
}

Runner::Step Runner::executeStatement()
{
    QStringView stmt = line;
    if (const qsizetype quote = stmt.indexOf(u'\''); quote >= 0)
        stmt = trimBlanks(stmt.left(quote));
    if (stmt.isEmpty())
        return Step::Next;

    Keyword kw;
    QStringView arg;
    if (stmt[0] == u':') {
        kw = Keyword::Label;
        arg = trimBlanks(stmt.mid(1));
    } else {
        const qsizetype space = stmt.indexOf(u' ');
        kw = classify(space < 0 ? stmt : stmt.left(space));
        arg = space < 0 ? QStringView() : trimBlanks(stmt.mid(space + 1));
    }
    // EXEC is what user functions recurse through: keep its path in this
    // small frame and everything else in its own function.
    if (kw == Keyword::Exec && mode == Mode::Normal) {
        const Step step = exec(arg);
        m_engine.host().yield();
        return step;
    }
    return executeOther(kw, arg);
}

[[gnu::noinline]] Runner::Step Runner::executeOther(Keyword kw, QStringView arg)
{
    Step step = Step::Next;
    switch (mode) {
    case Mode::Normal:
        step = normal(kw, arg);
        break;
    case Mode::LabelSearch:
        step = searchLabel(kw, arg);
        break;
    case Mode::LoopSkip:
        step = skipLoop(kw);
        break;
    case Mode::BranchSkip:
        step = skipBranch(kw, arg);
        break;
    case Mode::EndifSkip:
        step = skipToEndif(kw);
        break;
    }
    if (step == Step::Yield)
        m_engine.host().yield();
    return step;
}

Runner::Step Runner::normal(Keyword kw, QStringView arg)
{
    switch (kw) {
    case Keyword::Label:
    case Keyword::EndIf:
        return Step::Next;
    case Keyword::Exec:
        return exec(arg);
    case Keyword::OnError:
        ctx.errorHandler = arg.toString();
        return Step::Yield;
    case Keyword::Goto:
        single = false;
        scan = 0;
        mode = Mode::LabelSearch;
        labelTarget = upperCase(arg);
        return Step::Yield;
    case Keyword::ExitFunction:
        return callLevel != 0 ? Step::Return : Step::Next;
    case Keyword::If:
        if (!conditionHolds(arg))
            startSkip(Mode::BranchSkip);
        return Step::Yield;
    case Keyword::ElseIf:
    case Keyword::Else:
        return startSkip(Mode::EndifSkip);
    case Keyword::Do:
        pushLoop();
        return Step::Yield;
    case Keyword::DoWhile:
        if (conditionHolds(arg))
            pushLoop();
        else
            startSkip(Mode::LoopSkip);
        return Step::Yield;
    case Keyword::Loop:
    case Keyword::LoopWhile:
        return loopEnd(kw, arg);
    case Keyword::WaitTill:
    case Keyword::WaitWhile:
        return wait(kw, arg);
    case Keyword::Quit:
        return Step::End;
    case Keyword::Other:
        m_engine.RaiseScriptError(1, ctx);
        return Step::Next;
    }
    return Step::Next;
}

Runner::Step Runner::searchLabel(Keyword kw, QStringView arg)
{
    if (kw == Keyword::Label && nameMatchesTrimmed(labelTarget, arg))
        mode = Mode::Normal;
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

Runner::Step Runner::skipBranch(Keyword kw, QStringView arg)
{
    if (kw == Keyword::If) {
        ++counter;
        return Step::Next;
    }
    if (kw == Keyword::EndIf)
        return closeSkippedBlock();
    if (counter == 0 && (kw == Keyword::Else || (kw == Keyword::ElseIf && conditionHolds(arg)))) {
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
Runner::Step Runner::loopEnd(Keyword kw, QStringView arg)
{
    const bool again = kw == Keyword::Loop || conditionHolds(arg);
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
    if (loopStack.size() >= kLoopStackSize)
        m_engine.RaiseScriptError(1, ctx);
    else
        loopStack.push_back(previous);
}

// WAITTILL / WAITWHILE: a top-level run of a script window leaves its
// condition in the window's wait entry and returns; the run control resumes
// it once the condition holds.
Runner::Step Runner::wait(Keyword kw, QStringView arg)
{
    if (callLevel == 0 && windowIndex >= 1 && windowIndex <= 100) {
        WaitEntry &w = m_engine.waitEntry(windowIndex);
        w.waiting = true;
        w.run = run;
        w.condition = kw == Keyword::WaitTill ? arg.toString() : concat({u"Main.Nicht(", arg, u")"});
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
    StackGuard::Nesting nesting(m_guard, __builtin_frame_address(0));
    const auto runner = std::make_unique<Runner>(*this, textBox, runCommand, run, callLevel,
                                                 startPosition, windowIndex);
    runner->execute(statement);
}

} // namespace varnok
