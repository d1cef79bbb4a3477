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
// reports error 2 and yields the empty text.
struct EngineLimits
{
    int evaluationDepth = 3000;   // nested evaluations (parameters, indices, calls)
    int shortcutExpansions = 1000; // rewrites within one evaluation
    int callDepth = 1500;         // user-function (and handler) nesting
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
    QString evaluate(QStringView expression, const EvalContext &ctx);
    QString callBuiltin(QStringView name, std::vector<QString> &params, const EvalContext &ctx);
    QString callUserFunction(std::vector<QString> &params, const EvalContext &ctx);
    QString arrayAccess(ArrayVariable &array, QStringView args, const EvalContext &ctx);
    NodePtr resolveStep(const NodePtr &node, QStringView name, QStringView args, const EvalContext &ctx,
                        bool &faulted);
    NodePtr runNode(const RunRef &run) const;
    QString fail(int number, const EvalContext &ctx);

    Host &m_host;
    NodePtr m_root;
    ObjectArrayPtr m_skriptArray;
    EngineLimits m_limits;
    int m_evalDepth = 0;
    int m_callDepth = 0;
    int m_recordingError = 0;
    quint64 m_nextSerial = 0;
    std::vector<quint64> m_runSerials; // by run index; 0 = free
    std::array<WaitEntry, 101> m_waits{};
    std::mt19937 m_random;

public:
    // Numbers the built-ins need; public for the built-in table.
    float nextRandom();
    static qint32 clockMs();
};

} // namespace varnok
