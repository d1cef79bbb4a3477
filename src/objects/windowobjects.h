// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The nodes SeiteFenster(i) and SkriptFenster(i) that stand for open windows.

#include "builtintree.h"
#include "objecttree.h"
#include "seitefields.h"

#include <memory>

namespace varnok {

// The text boxes of a request window a node binds to, one per row of the
// field table.
using SeiteFields = SeiteFieldMap<std::shared_ptr<TextField>>;

// `sites`: the built-in table's sites (builtinSites()), whose window
// functions the node receives.
void RegisterSeiteFenster(ScriptObjects &root, qint16 index, const SeiteFields &fields, FunctionSites sites);
void UnregisterSeiteFenster(ScriptObjects &root, qint16 index);
void RegisterSkriptFenster(ScriptObjects &root, qint16 index, const std::shared_ptr<TextField> &text1,
                           FunctionSites sites);
void UnregisterSkriptFenster(ScriptObjects &root, qint16 index);

} // namespace varnok
