#pragma once
// The script interpreter: evaluator, built-ins, runner, errors and user
// functions over one object tree. Everything runs on the UI thread; all
// working state of an evaluation or a run lives in the call, so the engine
// is re-entrant (a run may start inside another run's yield).

#include "common/scripttext.h"
#include "host.h"
#include "objects/objecttree.h"

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <array>
#include <memory>
#include <random>
#include <vector>

namespace varnok {

// The run a context belongs to: the index of its per-run object Skript(n)
// and a serial that tells this run's object from a later one with the same
// index. A run whose object was released has a stale serial.
struct RunRef
{
    qint16 index = 0;
    quint64 serial = 0;
};

// Parameters of one call, numbered from 1 (element 0 is unused).
using Params = QVarLengthArray<QString, 4>;

struct EvalContext
{
    RunRef run;
    qint16 callLevel = 0;
    std::shared_ptr<ScriptText> textBox;
    std::shared_ptr<RunCommand> runCommand;
    QString errorHandler;
};

struct WaitEntry
{
    bool waiting = false;
    RunRef run;
    QString condition;
    qint32 resumePosition = 0;
};

// Limits that keep the native stack safe; past one of them an evaluation
// reports error 2 and yields the empty text. Besides the counters, the engine
// watches the stack itself and stops with the same error while a reserve for
// the event loop and dialogs is still free (sanitizer builds use far bigger
// frames than release builds).
struct EngineLimits
{
    int evaluationDepth = 4000;    // nested evaluations (parameters, indices, calls)
    int shortcutExpansions = 1000; // rewrites within one evaluation
    int callDepth = 1200;          // user-function (and handler) nesting
    size_t stackReserve = 1024 * 1024; // bytes of stack kept free
};

class Engine
{
public:
    explicit Engine(Host &host);
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    ScriptObjects &root() { return *m_root; }
    const NodePtr &rootPtr() const { return m_root; }
    Host &host() { return m_host; }
    EngineLimits &limits() { return m_limits; }

    // The evaluator.
    QString Evaluate(QStringView expression, const EvalContext &ctx);
    QString CallFunction(QStringView callText, const EvalContext &ctx);
    void SetValueByPath(QStringView path, QStringView value, RunRef run, qint16 callLevel);
    QString GetValueByPath(QStringView path, RunRef run, qint16 callLevel);

    // The runner. `statement` empty: run from the text box; otherwise run
    // that one statement. `run` 0 asks for a new per-run object.
    void RunScript(const std::shared_ptr<ScriptText> &textBox,
                   const std::shared_ptr<RunCommand> &runCommand, const QString &statement,
                   RunRef &run, qint16 &callLevel, qint32 startPosition, qint16 windowIndex);

    void RaiseScriptError(int number, const EvalContext &ctx);
    static QString errorMessage(int number);

    RunRef NewSkriptObject();
    void ReleaseSkriptObject(qint16 index);
    bool SkriptObjectAlive(qint16 index) const;
    // True while `run` still owns its per-run object (always for index 0).
    bool isCurrent(const RunRef &run) const
    {
        return run.index == 0
            || (run.index > 0 && size_t(run.index) < m_runSerials.size()
                && m_runSerials[size_t(run.index)] == run.serial);
    }

    // Wait entries of script windows 1..100.
    WaitEntry &waitEntry(int windowIndex) { return m_waits[size_t(windowIndex)]; }

    // A window publishing its Status: SeiteFenster(i).Status(Text(v)).
    void setWindowStatus(QStringView arrayName, int index, QStringView value);

    // The frames of user-function calls and error handlers.
    void BeginFunctionFrame(const RunRef &run, qint16 level);
    void AddFunctionParameter(const RunRef &run, qint16 level, const QString &value);
    void EndFunctionFrame(const RunRef &run, qint16 level);

private:
    friend class Builtins;
    QString normalizeNumber(QStringView literal, const EvalContext &ctx);
    QString callFunctionOf(const EineFunktion &f, QStringView inner, const EvalContext &ctx);
    QString callWords(QVarLengthArray<QStringView, 4> &words, const EvalContext &ctx,
                      const void *known = nullptr);
    QString assignVariable(const ScriptObjects &node, QStringView name, QStringView inner,
                           const EvalContext &ctx);
    QString accessArray(const ScriptObjects &node, QStringView name, QStringView inner,
                        const EvalContext &ctx);
    // `known`, when given, is what lookupBuiltin found for `name` before.
    QString callBuiltin(QStringView name, Params &params, const EvalContext &ctx,
                        const void *known = nullptr);
    static const void *lookupBuiltin(QStringView name);
    QString scriptBuiltin(int id, Params &params, const EvalContext &ctx);
    QString valueBuiltin(int id, Params &params, const EvalContext &ctx);
    QString fileBuiltin(int id, Params &params, const EvalContext &ctx);
    QString windowBuiltin(int id, Params &params, const EvalContext &ctx);
    QString callUserFunction(Params &params, const EvalContext &ctx);
    QString arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx);
    NodePtr resolveStep(const ScriptObjects &node, QStringView name, QStringView args,
                        const EvalContext &ctx);
    NodePtr runNode(const RunRef &run) const;
    struct RunState;
    enum class StepResult { Next, Return, End };
    bool readStatement(RunState &st);
    StepResult executeStatement(RunState &st);
    StepResult executeOther(RunState &st, int keyword, QStringView arg);
    bool conditionHolds(RunState &st, QStringView expression);
    void pushLoop(RunState &st);
    bool closeSkippedBlock(RunState &st);
    void endRun(RunState &st);
    QString fail(int number, const EvalContext &ctx);

    Host &m_host;
    NodePtr m_root;
    ObjectArrayPtr m_skriptArray;
    NodePtr m_faultNode; // what resolveStep hands back after reporting a fault
    EngineLimits m_limits;
    int m_evalDepth = 0;
    int m_callDepth = 0;
    int m_recordingError = 0;
    int m_nesting = 0;          // active Evaluate and RunScript frames
    quintptr m_stackBase = 0;   // frame address of the outermost one
    size_t m_stackSize = 0;     // the thread's stack limit
    bool stackExhausted(const void *frame) const
    {
        const quintptr here = reinterpret_cast<quintptr>(frame);
        const size_t used = m_stackBase > here ? m_stackBase - here : 0;
        return used + m_limits.stackReserve > m_stackSize;
    }
    friend class NestingGuard;
    quint64 m_nextSerial = 0;
    std::vector<quint64> m_runSerials; // by run index; 0 = free
    std::array<WaitEntry, 101> m_waits{};
    std::mt19937 m_random;

public:
    // Numbers the built-ins need; public for the built-in table.
    float nextRandom();
    static qint32 clockMs();
};

// Marks one Evaluate or RunScript frame; the outermost one fixes the stack
// base against which the depth is measured.
class NestingGuard
{
public:
    NestingGuard(Engine &e, const void *frame) : m_engine(e)
    {
        if (m_engine.m_nesting++ == 0)
            m_engine.m_stackBase = reinterpret_cast<quintptr>(frame);
    }
    ~NestingGuard() { --m_engine.m_nesting; }
    NestingGuard(const NestingGuard &) = delete;
    NestingGuard &operator=(const NestingGuard &) = delete;

private:
    Engine &m_engine;
};

} // namespace varnok
