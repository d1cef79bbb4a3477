// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The built-in table: one row per built-in, from which the function nodes
// (the start-up tree, a run's object, the window objects), the dispatch and
// the help window's function rows are made. Adding a built-in is one row
// here plus its native function (docs/architecture.md, "How to add").

#include "engine.h"

#include "objects/builtintree.h"

#include <QVarLengthArray>
#include <span>

namespace varnok {

// Parameters of one call, numbered from 1 (element 0 is unused).
using Params = QVarLengthArray<QString, 4>;

using BuiltinSignature = QString(Engine &engine, Params &params, const EvalContext &ctx);
using BuiltinFunction = BuiltinSignature *;

// Where the help window's fixed object list names a built-in. The list is
// fixed text with its own grouping (MyIndex at its top, the window
// functions under their windows, the root File node listed with
// Main.File.Copy), so each row says where it appears; built-ins added
// beside that text are None and are documented in the manual pages.
enum class HelpPlace : quint8 {
    None,
    Root,               // beside the shortcut Skript, at the top
    RunUser,            // Skript().User
    RunObject,          // Skript()
    SeiteFenster,       // SeiteFenster()
    SkriptFenster,      // SkriptFenster()
    File,               // File
    MainMathe,          // Main.Mathe
    MainText,           // Main.Text
    MainConvert,        // Main.Convert
    MainBedingungMathe, // Main.Bedingung.Mathe
    MainBedingungText,  // Main.Bedingung.Text
    Main,               // Main
    RootEnd,            // after the shortcut Text, at the end
};

struct Builtin
{
    FunctionSite site;     // the node it is made as and its id (matched in upper case)
    int params = -1;       // -1: any number (checked by the function itself)
    BuiltinFunction run = nullptr; // null: the id names no operation (see the table)
    HelpPlace help = HelpPlace::None;
};

// Every row, in the order the nodes are made.
std::span<const Builtin> builtinTable();
// The rows' sites, for the tree and the window objects.
FunctionSites builtinSites();

// The row with an operation whose id matches `name`, or null.
const Builtin *findBuiltin(QStringView name);

// Checks the parameter count and runs the built-in `name` names; `known`,
// when given, is what findBuiltin found for `name` before.
QString callBuiltin(Engine &engine, QStringView name, Params &params, const EvalContext &ctx,
                    const Builtin *known = nullptr);

} // namespace varnok
