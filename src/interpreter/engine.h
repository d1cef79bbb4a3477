// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The script interpreter's state and its public face. The stages live in
// their own files: evaluator.cpp (expressions), builtins.h (the built-in
// table) with one file per group of built-ins, runner.cpp (statements),
// errors.cpp (script errors), frames.h (user-function frames), runobjects.h
// (per-run objects), guard.h (stack safety), randomclock.h.
// Everything runs on the UI thread; all working state of an evaluation or a
// run lives in the call, so the engine is re-entrant (a run may start inside
// another run's yield).

#include "common/limits.h"
#include "common/scripttext.h"
#include "guard.h"
#include "host.h"
#include "objects/objecttree.h"
#include "randomclock.h"
#include "runobjects.h"
#include "scriptconsole.h"

#include <QString>
#include <QStringView>
#include <array>
#include <memory>

namespace varnok {

struct Expr;
class ExprCache;
class ScriptCaches;

struct EvalContext
{
    RunRef run;
    qint16 callLevel = 0;
    std::shared_ptr<ScriptText> textBox;
    std::shared_ptr<RunCommand> runCommand;
    QString errorHandler;
};

// What the evaluator found out about the root's shortcut Skript and the
// built-in MyIndex it leads to, true while the root's layout stays.
struct RootPaths
{
    quint64 layout = ~quint64(0);
    bool usable = false; // the shortcut leads to the run's object as the program made it
    const EineVerknuepfung *skript = nullptr;
    const QChar *skriptTarget = nullptr; // the target's characters when checked
    ArrayObjects *runs = nullptr;        // the object array Skript
    const EineFunktion *myIndex = nullptr;
    const Builtin *myIndexRow = nullptr; // what MyIndex's body named when checked
};

struct WaitEntry
{
    bool waiting = false;
    RunRef run;
    QString condition;
    qint32 resumePosition = 0;
};

class Engine
{
public:
    explicit Engine(Host &host);
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    ScriptObjects &root() { return *m_root; }
    EngineLimits &limits() { return m_guard.limits; }

    // The evaluator.
    QString Evaluate(QStringView expression, const EvalContext &ctx);
    void SetValueByPath(QStringView path, QStringView value, RunRef run, qint16 callLevel);
    QString GetValueByPath(QStringView path, RunRef run, qint16 callLevel);
    // A statement's expression, parsed before: an EXEC's, whose result is
    // not used, and a condition's.
    void evaluateStatement(const Expr &expression, const EvalContext &ctx);
    QString evaluateCondition(const Expr &expression, const EvalContext &ctx);
    // A waiting run's condition: evaluated as Evaluate does, on the stack
    // the run itself executes on, so it may nest as deep as the run could.
    QString EvaluateWaitCondition(QStringView condition, const EvalContext &ctx);

    // The runner. `statement` empty: run from the text box; otherwise run
    // that one statement. `run` 0 asks for a new per-run object.
    void RunScript(const std::shared_ptr<ScriptText> &textBox,
                   const std::shared_ptr<RunCommand> &runCommand, const QString &statement,
                   RunRef &run, qint16 &callLevel, qint32 startPosition, qint16 windowIndex);
    // Where in `text` the statement starts that the innermost runner
    // invocation reading a script text executes (a handler's single
    // statement counts as the statement that raised it); -1 when that
    // invocation reads another text or none executes. Unlike the selection,
    // it is back on the calling statement as soon as a user function returns.
    qsizetype currentStatementStart(const ScriptText &text) const;
    // The runner invocations executing right now, innermost first: the
    // script text each reads (null for a single statement) and where its
    // current statement starts.
    struct RunningStatement
    {
        const ScriptText *text = nullptr;
        qsizetype start = -1;
        RunningStatement *outer = nullptr;
    };

    // Script errors.
    void RaiseScriptError(int number, const EvalContext &ctx);
    // Raises the error and yields the empty text: what a failing step returns.
    QString fail(int number, const EvalContext &ctx);
    // The name an error 4 about to be raised is about (for the box's
    // detail only).
    void noteMissingName(QString name, QString path)
    {
        m_missingName = std::move(name);
        m_missingPath = std::move(path);
    }
    static QString errorMessage(int number);

    // Per-run objects.
    RunRef NewSkriptObject() { return m_runs.create(); }
    void ReleaseSkriptObject(qint16 index) { m_runs.release(index); }
    bool SkriptObjectAlive(qint16 index) const { return m_runs.alive(index); }
    bool isCurrent(const RunRef &run) const { return m_runs.isCurrent(run); }

    // Wait entries of script windows 1..100.
    WaitEntry &waitEntry(int windowIndex) { return m_waits[size_t(windowIndex)]; }

    // A window publishing its Status: SeiteFenster(i).Status(Text(v)).
    void setWindowStatus(QStringView arrayName, int index, QStringView value);

    // Where checks, console lines and parameters of scripts go; the
    // desktop program's StandardConsole unless the application puts
    // another in place (it must outlive its use, or be replaced by null,
    // which puts the standard one back).
    ScriptConsole &console() { return *m_console; }
    void setConsole(ScriptConsole *console) { m_console = console ? console : &m_standardConsole; }

    // The parts the stages work on.
    Host &host() { return m_host; }
    RunObjects &runs() { return m_runs; }
    StackGuard &guard() { return m_guard; }
    RandomSource &random() { return m_random; }
    RunningStatement *&runningStatements() { return m_running; }
    ScriptCaches &scripts() { return *m_scripts; }
    RootPaths &rootPaths() { return m_rootPaths; }
    // The number whose text form an assignment's value is, noted by the
    // evaluation that made the text for the variable it is assigned to.
    struct AssignedNumber
    {
        const EineVariable *variable = nullptr;
        double value = 0;
    };
    AssignedNumber &assignedNumber() { return m_assignedNumber; }

private:
    Host &m_host;
    QString m_missingName; // of the error 4 being raised
    QString m_missingPath;
    NodePtr m_root;
    RunObjects m_runs;
    StackGuard m_guard;
    std::array<WaitEntry, limits::kWindowsPerKind + 1> m_waits{}; // element 0 is never used
    RandomSource m_random;
    RunningStatement *m_running = nullptr;
    StandardConsole m_standardConsole;
    ScriptConsole *m_console = &m_standardConsole;
    // What was worked out once about expressions and script texts.
    std::unique_ptr<ExprCache> m_exprs;
    std::unique_ptr<ScriptCaches> m_scripts;
    RootPaths m_rootPaths;
    AssignedNumber m_assignedNumber;
};

} // namespace varnok
