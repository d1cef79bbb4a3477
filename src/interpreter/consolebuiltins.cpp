// SPDX-License-Identifier: GPL-3.0-or-later
// The built-ins for running scripts as tests: checks, lines on standard
// output, parameters. They reach the application through the engine's
// ScriptConsole and raise no script error of their own.

#include "builtinfunctions.h"

#include "scriptconsole.h"

namespace varnok::builtin {

QString pruefe(Engine &engine, Params &p, const EvalContext &)
{
    const bool passed = numericValue(p[1]) != 0;
    engine.console().check(p[2], passed);
    return passed ? QStringLiteral("1") : QStringLiteral("0");
}

QString schreibe(Engine &engine, Params &p, const EvalContext &)
{
    engine.console().writeLine(p[1]);
    return {};
}

QString parameter(Engine &engine, Params &p, const EvalContext &)
{
    return engine.console().parameter(p[1]);
}

} // namespace varnok::builtin
