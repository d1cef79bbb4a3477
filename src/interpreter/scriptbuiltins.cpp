// SPDX-License-Identifier: GPL-3.0-or-later
// The run object's own built-ins: its index, the call level, the four
// Skript.User.New* functions, and calls of user functions.

#include "common/limits.h"
#include "builtinfunctions.h"
#include "frames.h"

namespace varnok::builtin {

namespace {

// Skript.User of the run, or null once the run has no object.
NodePtr userObject(Engine &engine, const EvalContext &ctx)
{
    const NodePtr runObject = engine.runs().node(ctx.run);
    return runObject ? runObject->object(u"User") : nullptr;
}

QString added(Engine &engine, bool ok, const EvalContext &ctx)
{
    return ok ? QString() : engine.fail(2, ctx);
}

} // namespace

QString myIndex(Engine &, Params &, const EvalContext &ctx)
{
    return integerText(ctx.run.index);
}

QString myFunktion(Engine &, Params &, const EvalContext &ctx)
{
    return integerText(ctx.callLevel);
}

QString userNewFunction(Engine &engine, Params &p, const EvalContext &ctx)
{
    const NodePtr user = userObject(engine, ctx);
    if (!user)
        return {};
    const bool ok = user->AddFunction(p[1]);
    if (ok)
        user->function(p[1])->SetFunktion(QStringLiteral("User Text(") + p[2] + u')');
    return added(engine, ok, ctx);
}

QString userNewArray(Engine &engine, Params &p, const EvalContext &ctx)
{
    const NodePtr user = userObject(engine, ctx);
    if (!user)
        return {};
    return added(engine, user->AddArrayVariable(p[1]), ctx);
}

QString userNewVariable(Engine &engine, Params &p, const EvalContext &ctx)
{
    const NodePtr user = userObject(engine, ctx);
    if (!user)
        return {};
    return added(engine, user->AddVariable(p[1]), ctx);
}

QString userNewShortcut(Engine &engine, Params &p, const EvalContext &ctx)
{
    const NodePtr user = userObject(engine, ctx);
    if (!user)
        return {};
    const bool ok = user->AddShortcut(p[1]);
    if (ok)
        user->shortcut(p[1])->SetVerknuepfung(p[2]);
    return added(engine, ok, ctx);
}

// User <label> <parameters...>: runs from the label one call level deeper
// and yields the frame's Rueckgabe.
QString user(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (p.size() < 2)
        return engine.fail(2, ctx);
    RunObjects &runs = engine.runs();
    if (ctx.run.index == 0 || !runs.node(ctx.run))
        return {};
    if (ctx.callLevel >= limits::kCallLevels || engine.guard().exhausted(__builtin_frame_address(0)))
        return engine.fail(2, ctx);
    const qint16 level = qint16(ctx.callLevel + 1);
    beginFunctionFrame(runs, ctx.run, level, std::span<const QString>(p.constData() + 2, size_t(p.size() - 2)));
    runInFrame(engine, ctx, QStringLiteral("goto ") + p[1], level);
    QString result;
    if (!readFrameReturn(engine, ctx.run, level, result))
        result = engine.GetValueByPath(u"Skript.Funktion.Rueckgabe", ctx.run, level);
    endFunctionFrame(runs, ctx.run, level);
    return result;
}

} // namespace varnok::builtin
