// SPDX-License-Identifier: GPL-3.0-or-later
// Script errors: recorded in the run's own object, then handled by the
// script's ONERROR statement or shown in a box that ends the run.

#include "common/limits.h"
#include "engine.h"
#include "frames.h"

#include <utility>

namespace varnok {

namespace {

// Skript.Error.Nummer and .Text of the run.
void recordError(Engine &engine, int number, const RunRef &run)
{
    int &recording = engine.guard().recordingError;
    ++recording;
    engine.SetValueByPath(u"Skript.Error.Nummer", QString::number(number), run, 0);
    engine.SetValueByPath(u"Skript.Error.Text", Engine::errorMessage(number), run, 0);
    --recording;
}

// The ONERROR handler runs one call level deeper, in a frame of its own.
void runErrorHandler(Engine &engine, const EvalContext &ctx)
{
    const qint16 level = qint16(ctx.callLevel + 1);
    beginFunctionFrame(engine.runs(), ctx.run, level);
    runInFrame(engine, ctx, ctx.errorHandler, level);
    endFunctionFrame(engine.runs(), ctx.run, level);
}

} // namespace

QString Engine::errorMessage(int number)
{
    switch (number) {
    case 1:
        return QStringLiteral("unbekannter Befehl");
    case 2:
        return QStringLiteral("ungültige Parameter");
    case 3:
        return QStringLiteral("Syntaxfehler");
    case 4:
        return QStringLiteral("Objekt nicht gefunden");
    case 5:
        return QStringLiteral("ungültige Funktion");
    case 6:
        return QStringLiteral("Fehler beim Laden");
    case 7:
        return QStringLiteral("Fehler beim Speichern");
    default:
        return QStringLiteral("Fehler");
    }
}

void Engine::RaiseScriptError(int number, const EvalContext &ctx)
{
    ScriptErrorDetail detail;
    if (number == 4) {
        detail.missingName = std::exchange(m_missingName, QString());
        detail.missingPath = std::exchange(m_missingPath, QString());
    }
    // Errors outside a run, and errors of a run that has already ended,
    // are not reported: the latter would otherwise fail to record themselves
    // and report again without end.
    if (ctx.run.index == 0 || !isCurrent(ctx.run) || m_guard.recordingError > 0)
        return;

    recordError(*this, number, ctx.run);

    if (!ctx.errorHandler.isEmpty() && ctx.callLevel < limits::kCallLevels
        && !m_guard.exhausted(__builtin_frame_address(0))) {
        runErrorHandler(*this, ctx);
        return;
    }

    // The text as the run object holds it now.
    ++m_guard.recordingError;
    const QString message = GetValueByPath(u"Skript.Error.Text", ctx.run, 0);
    --m_guard.recordingError;
    m_host.showLocatedScriptError(number, message, detail);
    if (isCurrent(ctx.run))
        ReleaseSkriptObject(ctx.run.index);
}

QString Engine::fail(int number, const EvalContext &ctx)
{
    RaiseScriptError(number, ctx);
    return {};
}

} // namespace varnok
