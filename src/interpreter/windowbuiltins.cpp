// SPDX-License-Identifier: GPL-3.0-or-later
// The window built-ins: what a script may do with request and script
// windows, handed on to the host.

#include "builtinfunctions.h"

namespace varnok::builtin {

namespace {

// The window index in parameter 1 into `out`: 0 when that window is open,
// otherwise the error number to report.
int openWindow(Engine &engine, const Params &p, bool seite, int &out)
{
    const auto i16 = toInt16(numericValue(p[1]));
    if (!i16)
        return 2;
    out = *i16;
    const Host &host = engine.host();
    return (seite ? host.hasSeiteWindow(out) : host.hasSkriptWindow(out)) ? 0 : 4;
}

// Runs `action` on the window named by parameter 1 when it is open;
// otherwise reports error 2 (no 16-bit index) or 4 (no such window).
// `action` yields 0, or the error number of its own failure.
template <typename Action>
QString onWindow(Engine &engine, const Params &p, const EvalContext &ctx, bool seite, Action action)
{
    int i = 0;
    if (const int error = openWindow(engine, p, seite, i))
        return engine.fail(error, ctx);
    if (const int error = action(engine.host(), i))
        return engine.fail(error, ctx);
    return {};
}

} // namespace

QString seiteSenden(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, true, [](Host &h, int i) { h.seiteSenden(i); return 0; });
}

QString seiteClose(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, true, [](Host &h, int i) { h.seiteClose(i); return 0; });
}

QString skriptNeu(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, false, [](Host &h, int i) { h.skriptNeu(i); return 0; });
}

QString skriptLaden(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, false, [&p](Host &h, int i) { return h.skriptLaden(i, p[2]) ? 0 : 6; });
}

QString skriptSpeichern(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, false, [&p](Host &h, int i) { return h.skriptSpeichern(i, p[2]) ? 0 : 7; });
}

QString skriptAusfuehren(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, false, [](Host &h, int i) { h.skriptAusfuehren(i); return 0; });
}

QString skriptClose(Engine &engine, Params &p, const EvalContext &ctx)
{
    return onWindow(engine, p, ctx, false, [](Host &h, int i) { h.skriptClose(i); return 0; });
}

QString newSkriptFenster(Engine &engine, Params &, const EvalContext &)
{
    return integerText(engine.host().createSkriptWindow());
}

QString newSeiteFenster(Engine &engine, Params &, const EvalContext &)
{
    return integerText(engine.host().createSeiteWindow());
}

} // namespace varnok::builtin
