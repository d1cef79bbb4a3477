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
    return (seite ? host.isSeiteWindowOpen(out) : host.isSkriptWindowOpen(out)) ? 0 : 4;
}

} // namespace

QString seiteSenden(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, true, i))
        return engine.fail(error, ctx);
    engine.host().seiteSenden(i);
    return {};
}

QString seiteClose(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, true, i))
        return engine.fail(error, ctx);
    engine.host().seiteClose(i);
    return {};
}

QString skriptNeu(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, false, i))
        return engine.fail(error, ctx);
    engine.host().skriptNeu(i);
    return {};
}

QString skriptLaden(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, false, i))
        return engine.fail(error, ctx);
    if (!engine.host().skriptLaden(i, p[2]))
        return engine.fail(6, ctx);
    return {};
}

QString skriptSpeichern(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, false, i))
        return engine.fail(error, ctx);
    if (!engine.host().skriptSpeichern(i, p[2]))
        return engine.fail(7, ctx);
    return {};
}

QString skriptAusfuehren(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, false, i))
        return engine.fail(error, ctx);
    engine.host().skriptAusfuehren(i);
    return {};
}

QString skriptClose(Engine &engine, Params &p, const EvalContext &ctx)
{
    int i = 0;
    if (const int error = openWindow(engine, p, false, i))
        return engine.fail(error, ctx);
    engine.host().skriptClose(i);
    return {};
}

QString newSkriptFenster(Engine &engine, Params &, const EvalContext &)
{
    return integerText(engine.host().openSkriptWindow());
}

QString newSeiteFenster(Engine &engine, Params &, const EvalContext &)
{
    return integerText(engine.host().openSeiteWindow());
}

} // namespace varnok::builtin
