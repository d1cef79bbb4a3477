// The statement runner: reads the script text line by line at run time,
// with labels, jumps, conditional blocks, loops, waits and handlers. There
// is no parsing pass; block structure is found by skipping forward with
// nesting counters or by jumping back to a remembered position.

#include "engine.h"

#include "common/conventions.h"

namespace varnok {

namespace {

enum class Keyword {
    Label, Exec, OnError, Goto, ExitFunction, If, ElseIf, Else, EndIf,
    Do, DoWhile, Loop, LoopWhile, WaitTill, WaitWhile, Quit, Other,
};

// Compares as if the word had been upper-cased first.
bool keywordIs(QStringView word, QLatin1StringView keyword)
{
    if (word.size() != keyword.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i)
        if (upperChar(word[i]) != QLatin1Char(keyword[i]))
            return false;
    return true;
}

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
        if (keywordIs(word, text))
            return kw;
    return Keyword::Other;
}

enum class Mode { Normal, LabelSearch, LoopSkip, BranchSkip, EndifSkip };

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

} // namespace

RunRef Engine::NewSkriptObject()
{
    for (int n = 1; n <= 32767; ++n) {
        const NodePtr node = m_skriptArray->GetObject(qint16(n));
        if (!node)
            break;
        if (node->function(u"MyFunktion"))
            continue;

        node->AddObject(u"User");
        const NodePtr user = node->object(u"User");
        for (const auto &[name, id] : {std::pair{u"NewFunction", u"SkriptUserNewFunction"},
                                       std::pair{u"NewArray", u"SkriptUserNewArray"},
                                       std::pair{u"NewVariable", u"SkriptUserNewVariable"},
                                       std::pair{u"NewShortcut", u"SkriptUserNewShortcut"}}) {
            user->AddFunction(QStringView(name));
            user->function(QStringView(name))->SetFunktion(QStringView(id));
        }
        node->AddObject(u"Error");
        const NodePtr error = node->object(u"Error");
        error->AddVariable(u"Nummer");
        error->AddVariable(u"Text");
        error->AddShortcut(u"Clear");
        error->shortcut(u"Clear")->SetVerknuepfung(
            QStringLiteral("Main.Und(Skript.Error.Text() Skript.Error.Nummer(0))"));
        node->AddShortcut(u"Funktion");
        node->shortcut(u"Funktion")->SetVerknuepfung(QStringLiteral("Skript.Funktion(Skript.MyFunktion())"));
        node->AddFunction(u"MyFunktion");
        node->function(u"MyFunktion")->SetFunktion(u"SkriptMyFunktion");
        node->AddArrayObject(u"Funktion");

        if (m_runSerials.size() <= size_t(n))
            m_runSerials.resize(size_t(n) + 1, 0);
        m_runSerials[size_t(n)] = ++m_nextSerial;
        return RunRef{qint16(n), m_runSerials[size_t(n)]};
    }
    return RunRef{};
}

void Engine::ReleaseSkriptObject(qint16 index)
{
    if (index <= 0)
        return;
    m_skriptArray->ResetObject(index);
    if (size_t(index) < m_runSerials.size())
        m_runSerials[size_t(index)] = 0;
}

bool Engine::SkriptObjectAlive(qint16 index) const
{
    const NodePtr node = m_skriptArray->peekObject(index);
    return node && node->function(u"MyFunktion");
}

// Everything one invocation of the runner keeps. It lives on the heap: the
// runner's frame stays on the native stack for every level of user-function
// recursion, so it should be small.
struct Engine::RunState
{
    RunState(const std::shared_ptr<ScriptText> &box, const std::shared_ptr<RunCommand> &cmd,
             RunRef &runRef, qint16 &level, qint16 window)
        : textBox(box), runCommand(cmd), run(runRef), callLevel(level), windowIndex(window),
          ctx{runRef, level, box, cmd, QString()}
    {
    }
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
};

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
    NestingGuard nesting(*this, __builtin_frame_address(0));
    auto st = std::make_unique<RunState>(textBox, runCommand, run, callLevel, windowIndex);
    st->savedCaret = textBox ? textBox->selectionStart() : 0;
    st->scan = startPosition;
    st->single = !statement.isEmpty();

    for (;;) {
        if (st->single) {
            st->line = statement;
        } else if (!readStatement(*st)) {
            break;
        }
        switch (executeStatement(*st)) {
        case StepResult::Next:
            break;
        case StepResult::Return:
            return;
        case StepResult::End:
            endRun(*st);
            return;
        }
        if (st->single)
            return;
        if ((runCommand && runCommand->stopRequested()) || !isCurrent(run))
            break;
    }
    if (callLevel == 0)
        endRun(*st);
}

void Engine::endRun(RunState &st)
{
    if (st.textBox)
        st.textBox->setSelection(st.savedCaret, 0);
    // An object released already (an error box ended the run) may by now
    // belong to another run with the same index.
    if (isCurrent(st.run))
        ReleaseSkriptObject(st.run.index);
}

bool Engine::readStatement(RunState &st)
{
    static const QString kNoText;
    const QString &text = st.textBox ? st.textBox->scriptText() : kNoText;
    const qint32 next = nextStatementStart(text, st.scan);
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
    if (st.textBox)
        st.textBox->setSelection(from, to - from);
    // The statement may change the text it came from: keep the text it was
    // read from alive (a shared copy, no duplicate) and look at the line in it.
    st.source = text;
    st.line = QStringView(st.source).mid(from, to - from);
    st.previous = st.scan;
    st.scan = end;
    return true;
}

bool Engine::conditionHolds(RunState &st, QStringView expression)
{
    return numericValue(Evaluate(expression, st.ctx)) != 0;
}

Engine::StepResult Engine::executeStatement(RunState &st)
{
    QStringView stmt = st.line;
    if (const qsizetype quote = stmt.indexOf(u'\''); quote >= 0)
        stmt = trimBlanks(stmt.left(quote));
    if (stmt.isEmpty())
        return StepResult::Next;

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
    if (kw == Keyword::Exec && st.mode == Mode::Normal) {
        Evaluate(arg, st.ctx);
        m_host.yield();
        return StepResult::Next;
    }
    return executeOther(st, int(kw), arg);
}

[[gnu::noinline]] Engine::StepResult Engine::executeOther(RunState &st, int keyword, QStringView arg)
{
    const Keyword kw = Keyword(keyword);
    bool yield = false;
    switch (st.mode) {
    case Mode::Normal:
        switch (kw) {
        case Keyword::Label:
        case Keyword::EndIf:
            break;
        case Keyword::Exec:
            Evaluate(arg, st.ctx);
            yield = true;
            break;
        case Keyword::OnError:
            st.ctx.errorHandler = arg.toString();
            yield = true;
            break;
        case Keyword::Goto:
            st.single = false;
            st.scan = 0;
            st.mode = Mode::LabelSearch;
            st.labelTarget = upperCase(arg);
            yield = true;
            break;
        case Keyword::ExitFunction:
            if (st.callLevel != 0)
                return StepResult::Return;
            break;
        case Keyword::If:
            if (!conditionHolds(st, arg)) {
                st.mode = Mode::BranchSkip;
                st.counter = 0;
            }
            yield = true;
            break;
        case Keyword::ElseIf:
        case Keyword::Else:
            st.mode = Mode::EndifSkip;
            st.counter = 0;
            yield = true;
            break;
        case Keyword::Do:
            pushLoop(st);
            yield = true;
            break;
        case Keyword::DoWhile:
            if (conditionHolds(st, arg)) {
                pushLoop(st);
            } else {
                st.mode = Mode::LoopSkip;
                st.counter = 0;
            }
            yield = true;
            break;
        case Keyword::Loop:
        case Keyword::LoopWhile: {
            const bool again = kw == Keyword::Loop || conditionHolds(st, arg);
            if (st.loopStack.empty()) {
                RaiseScriptError(1, st.ctx);
            } else {
                if (again)
                    st.scan = st.loopStack.back();
                st.loopStack.pop_back();
            }
            yield = true;
            break;
        }
        case Keyword::WaitTill:
        case Keyword::WaitWhile:
            if (st.callLevel == 0 && st.windowIndex >= 1 && st.windowIndex <= 100) {
                WaitEntry &w = m_waits[size_t(st.windowIndex)];
                w.waiting = true;
                w.run = st.run;
                w.condition = kw == Keyword::WaitTill ? arg.toString()
                                                      : concat({u"Main.Nicht(", arg, u")"});
                w.resumePosition = st.scan;
                return StepResult::Return;
            }
            RaiseScriptError(1, st.ctx);
            break;
        case Keyword::Quit:
            return StepResult::End;
        case Keyword::Other:
            RaiseScriptError(1, st.ctx);
            break;
        }
        break;

    case Mode::LabelSearch:
        if (kw == Keyword::Label && nameMatchesTrimmed(st.labelTarget, arg))
            st.mode = Mode::Normal;
        break;

    case Mode::LoopSkip:
        if (kw == Keyword::Do || kw == Keyword::DoWhile)
            ++st.counter;
        else if (kw == Keyword::Loop || kw == Keyword::LoopWhile)
            yield = closeSkippedBlock(st);
        break;

    case Mode::BranchSkip:
        if (kw == Keyword::If) {
            ++st.counter;
        } else if (kw == Keyword::EndIf) {
            yield = closeSkippedBlock(st);
        } else if (st.counter == 0
                   && (kw == Keyword::Else || (kw == Keyword::ElseIf && conditionHolds(st, arg)))) {
            st.mode = Mode::Normal;
            yield = true;
        }
        break;

    case Mode::EndifSkip:
        if (kw == Keyword::If)
            ++st.counter;
        else if (kw == Keyword::EndIf)
            yield = closeSkippedBlock(st);
        break;
    }
    if (yield)
        m_host.yield();
    return StepResult::Next;
}

// The end of a block met while skipping: an inner one lowers the count, the
// skipped block's own end resumes normal execution (true: yield).
bool Engine::closeSkippedBlock(RunState &st)
{
    if (st.counter > 0) {
        --st.counter;
        return false;
    }
    st.mode = Mode::Normal;
    return true;
}

void Engine::pushLoop(RunState &st)
{
    // A full loop stack is reported like a statement that cannot run.
    if (st.loopStack.size() >= kLoopStackSize)
        RaiseScriptError(1, st.ctx);
    else
        st.loopStack.push_back(st.previous);
}

} // namespace varnok
