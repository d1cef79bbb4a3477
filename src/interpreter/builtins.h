// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The built-in table: every operation a one-word function body may name,
// with its parameter count and the native function that performs it.

#include "engine.h"

#include <QLatin1StringView>
#include <QVarLengthArray>

namespace varnok {

// Parameters of one call, numbered from 1 (element 0 is unused).
using Params = QVarLengthArray<QString, 4>;

using BuiltinSignature = QString(Engine &engine, Params &params, const EvalContext &ctx);
using BuiltinFunction = BuiltinSignature *;

struct Builtin
{
    QLatin1StringView name; // upper case; a call name matches when its upper-cased characters do
    int params;             // -1: any number (checked by the function itself)
    BuiltinFunction run;
};

// The entry whose name matches, or null.
const Builtin *findBuiltin(QStringView name);

// Checks the parameter count and runs the built-in `name` names; `known`,
// when given, is what findBuiltin found for `name` before.
QString callBuiltin(Engine &engine, QStringView name, Params &params, const EvalContext &ctx,
                    const Builtin *known = nullptr);

} // namespace varnok
