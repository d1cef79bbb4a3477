// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frames of user-function calls and error handlers: Skript(n).Funktion(level)
// with Parameter, AnzahlParameter and Rueckgabe, and the nested run inside one.

#include "engine.h"

#include <span>

namespace varnok {

void beginFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level);
// Opens the frame with its parameters, as beginFunctionFrame and then
// addFunctionParameter for each of them in turn would.
void beginFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level, std::span<const QString> params);
void addFunctionParameter(const RunObjects &runs, const RunRef &run, qint16 level, const QString &value);
void endFunctionFrame(RunObjects &runs, const RunRef &run, qint16 level);
// What Skript.Funktion.Rueckgabe yields at `level` for a run that is still
// current, read straight from the frame; false where the path could go any
// other way (the caller then evaluates it).
bool readFrameReturn(Engine &engine, const RunRef &run, qint16 level, QString &out);

// Runs `statement` (a GOTO or an error handler) one call level deeper, in
// the frame `level` the caller opened. Inline: this sits between two runner
// frames on the native stack for every level of user-function recursion.
inline void runInFrame(Engine &engine, const EvalContext &ctx, const QString &statement, qint16 level)
{
    RunRef run = ctx.run;
    qint16 callLevel = level;
    engine.RunScript(ctx.textBox, ctx.runCommand, statement, run, callLevel, 0, 0);
}

} // namespace varnok
