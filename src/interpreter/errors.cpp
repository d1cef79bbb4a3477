// Script errors: recorded in the run's own object, then handled by the
// script's ONERROR statement or shown in a box that ends the run.

#include "engine.h"

namespace varnok {

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
    // Errors outside a run, and errors of a run that has already ended,
    // are not reported: the latter would otherwise fail to record themselves
    // and report again without end.
    if (ctx.run.index == 0 || !isCurrent(ctx.run) || m_recordingError > 0)
        return;

    ++m_recordingError;
    SetValueByPath(u"Skript.Error.Nummer", QString::number(number), ctx.run, 0);
    SetValueByPath(u"Skript.Error.Text", errorMessage(number), ctx.run, 0);
    --m_recordingError;

    if (!ctx.errorHandler.isEmpty() && ctx.callLevel < 32767 && m_callDepth < m_limits.callDepth) {
        const qint16 level = qint16(ctx.callLevel + 1);
        BeginFunctionFrame(ctx.run, level);
        RunRef run = ctx.run;
        qint16 callLevel = level;
        ++m_callDepth;
        RunScript(ctx.textBox, ctx.runCommand, ctx.errorHandler, run, callLevel, 0, 0);
        --m_callDepth;
        EndFunctionFrame(ctx.run, level);
        return;
    }

    ++m_recordingError;
    const QString message = GetValueByPath(u"Skript.Error.Text", ctx.run, 0);
    --m_recordingError;
    m_host.showScriptError(number, message);
    if (isCurrent(ctx.run))
        ReleaseSkriptObject(ctx.run.index);
}

} // namespace varnok
