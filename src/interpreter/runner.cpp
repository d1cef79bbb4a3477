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
    static const QString kNoText;
    const qsizetype savedCaret = textBox ? textBox->selectionStart() : 0;
    qint32 scan = startPosition;
    qint32 previous = 0;
    std::vector<qint32> loopStack;
    Mode mode = Mode::Normal;
    int counter = 0;
    QString labelTarget;
    EvalContext ctx{run, callLevel, textBox, runCommand, QString()};
    bool single = !statement.isEmpty();
    QString current;

    auto restoreAndRelease = [&] {
        if (!isCurrent(run))
            return; // released already; the index may belong to another run now
        if (textBox)
            textBox->setSelection(savedCaret, 0);
        ReleaseSkriptObject(run.index);
    };
    auto truthOf = [&](QStringView expression) { return numericValue(Evaluate(expression, ctx)) != 0; };
    auto error = [&](int number) { RaiseScriptError(number, ctx); };

    for (;;) {
        if (single) {
            current = statement;
        } else {
            const QString &text = textBox ? textBox->scriptText() : kNoText;
            const qint32 next = nextStatementStart(text, scan);
            if (next == 0)
                break;
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
            current = text.mid(from, to - from);
            previous = scan;
            scan = end;
        }

        QStringView stmt = current;
        if (const qsizetype quote = stmt.indexOf(u'\''); quote >= 0)
            stmt = trimBlanks(stmt.left(quote));

        if (!stmt.isEmpty()) {
            Keyword kw;
            QStringView word;
            QStringView arg;
            if (stmt[0] == u':') {
                kw = Keyword::Label;
                arg = trimBlanks(stmt.mid(1));
            } else {
                const qsizetype space = stmt.indexOf(u' ');
                word = space < 0 ? stmt : stmt.left(space);
                arg = space < 0 ? QStringView() : trimBlanks(stmt.mid(space + 1));
                kw = classify(word);
            }

            bool yield = false;
            switch (mode) {
            case Mode::Normal:
                switch (kw) {
                case Keyword::Label:
                case Keyword::EndIf:
                    break;
                case Keyword::Exec:
                    Evaluate(arg, ctx);
                    yield = true;
                    break;
                case Keyword::OnError:
                    ctx.errorHandler = arg.toString();
                    yield = true;
                    break;
                case Keyword::Goto:
                    single = false;
                    scan = 0;
                    mode = Mode::LabelSearch;
                    labelTarget = upperCase(arg);
                    yield = true;
                    break;
                case Keyword::ExitFunction:
                    if (callLevel != 0)
                        return;
                    break;
                case Keyword::If:
                    if (!truthOf(arg)) {
                        mode = Mode::BranchSkip;
                        counter = 0;
                    }
                    yield = true;
                    break;
                case Keyword::ElseIf:
                case Keyword::Else:
                    mode = Mode::EndifSkip;
                    counter = 0;
                    yield = true;
                    break;
                case Keyword::Do:
                    if (loopStack.size() >= kLoopStackSize)
                        error(1);
                    else
                        loopStack.push_back(previous);
                    yield = true;
                    break;
                case Keyword::DoWhile:
                    if (truthOf(arg)) {
                        if (loopStack.size() >= kLoopStackSize)
                            error(1);
                        else
                            loopStack.push_back(previous);
                    } else {
                        mode = Mode::LoopSkip;
                        counter = 0;
                    }
                    yield = true;
                    break;
                case Keyword::Loop:
                case Keyword::LoopWhile: {
                    const bool again = kw == Keyword::Loop || truthOf(arg);
                    if (loopStack.empty()) {
                        error(1);
                    } else {
                        if (again)
                            scan = loopStack.back();
                        loopStack.pop_back();
                    }
                    yield = true;
                    break;
                }
                case Keyword::WaitTill:
                case Keyword::WaitWhile:
                    if (callLevel == 0 && windowIndex >= 1 && windowIndex <= 100) {
                        WaitEntry &w = m_waits[size_t(windowIndex)];
                        w.waiting = true;
                        w.run = run;
                        w.condition = kw == Keyword::WaitTill
                            ? arg.toString()
                            : concat({u"Main.Nicht(", arg, u")"});
                        w.resumePosition = scan;
                        return;
                    }
                    error(1);
                    break;
                case Keyword::Quit:
                    restoreAndRelease();
                    return;
                case Keyword::Other:
                    error(1);
                    break;
                }
                break;

            case Mode::LabelSearch:
                if (kw == Keyword::Label && nameMatchesTrimmed(labelTarget, arg))
                    mode = Mode::Normal;
                break;

            case Mode::LoopSkip:
                if (kw == Keyword::Do || kw == Keyword::DoWhile) {
                    ++counter;
                } else if (kw == Keyword::Loop || kw == Keyword::LoopWhile) {
                    if (counter > 0) {
                        --counter;
                    } else {
                        mode = Mode::Normal;
                        yield = true;
                    }
                }
                break;

            case Mode::BranchSkip:
                if (kw == Keyword::If) {
                    ++counter;
                } else if (kw == Keyword::EndIf) {
                    if (counter > 0) {
                        --counter;
                    } else {
                        mode = Mode::Normal;
                        yield = true;
                    }
                } else if (kw == Keyword::Else && counter == 0) {
                    mode = Mode::Normal;
                    yield = true;
                } else if (kw == Keyword::ElseIf && counter == 0) {
                    if (truthOf(arg)) {
                        mode = Mode::Normal;
                        yield = true;
                    }
                }
                break;

            case Mode::EndifSkip:
                if (kw == Keyword::If) {
                    ++counter;
                } else if (kw == Keyword::EndIf) {
                    if (counter > 0) {
                        --counter;
                    } else {
                        mode = Mode::Normal;
                        yield = true;
                    }
                }
                break;
            }
            if (yield)
                m_host.yield();
        }

        if (single)
            return;
        if ((runCommand && runCommand->stopRequested()) || !isCurrent(run))
            break;
    }

    if (callLevel != 0)
        return;
    restoreAndRelease();
}

} // namespace varnok
