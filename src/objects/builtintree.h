// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The function nodes of built-ins, made from the interpreter's built-in
// table. The table lives in the interpreter (it names the native
// functions), a layer above this one, so it comes in as a list of sites:
// the interpreter hands `builtinSites()` to BuildObjectTree and to the
// window registration, and makes its own run objects from it too.

#include "objecttree.h"

#include <QStringView>
#include <span>

namespace varnok {

// The node below which a built-in's function is made.
enum class FunctionHome : quint8 {
    Tree,          // the start-up tree, from the root
    RunObject,     // a run's own object Skript(n)
    SeiteFenster,  // a request window's object; the body carries the window index
    SkriptFenster, // a script window's object; likewise
    None,          // no node: the id is only ever named by a body (User)
};

struct FunctionSite
{
    FunctionHome home = FunctionHome::None;
    QStringView path; // dotted, from the home node: "Main.Mathe.Plus"
    QStringView id;   // the body: "MainMathePlus"
};

using FunctionSites = std::span<const FunctionSite>;

// Makes the function of every site of `home` below `node`, in the order of
// `sites`, each as Add, look up, set body (the id, then `bodySuffix`). A
// path's objects are added on their first mention and looked up again for
// every later one, so the order of every list follows the order of the sites.
void addFunctionSites(ScriptObjects &node, FunctionSites sites, FunctionHome home,
                      QStringView bodySuffix = {});

// The tree every script sees at start-up: the built-in functions of the
// table's Tree sites, the shortcuts Skript and Text, and the three (empty)
// object arrays.
NodePtr BuildObjectTree(FunctionSites sites);

} // namespace varnok
