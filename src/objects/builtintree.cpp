// SPDX-License-Identifier: GPL-3.0-or-later
#include "builtintree.h"

namespace varnok {

namespace {

void addShortcut(ScriptObjects &parent, QStringView name, const QString &target)
{
    parent.AddShortcut(name);
    ShortcutPtr s;
    parent.GetShortcut(name, s);
    s->SetVerknuepfung(target);
}

NodePtr objectOf(ScriptObjects &parent, QStringView name)
{
    NodePtr n;
    if (!parent.GetObject(name, n)) {
        parent.AddObject(name);
        parent.GetObject(name, n);
    }
    return n;
}

} // namespace

void addFunctionSites(ScriptObjects &node, FunctionSites sites, FunctionHome home, QStringView bodySuffix)
{
    for (const FunctionSite &site : sites) {
        if (site.home != home)
            continue;
        ScriptObjects *parent = &node;
        NodePtr held;
        QStringView rest = site.path;
        for (qsizetype dot = rest.indexOf(u'.'); dot >= 0; dot = rest.indexOf(u'.')) {
            held = objectOf(*parent, rest.left(dot));
            parent = held.get();
            rest = rest.mid(dot + 1);
        }
        parent->AddFunction(rest);
        FunctionPtr f;
        parent->GetFunction(rest, f);
        if (bodySuffix.isEmpty())
            f->SetFunktion(site.id);
        else
            f->SetFunktion(site.id.toString().append(bodySuffix));
    }
}

NodePtr BuildObjectTree(FunctionSites sites)
{
    auto root = std::make_shared<ScriptObjects>();
    root->Initialize();
    addShortcut(*root, u"Skript", QStringLiteral("Skript(MyIndex())"));
    root->AddArrayObject(u"Skript");
    root->AddArrayObject(u"SeiteFenster");
    root->AddArrayObject(u"SkriptFenster");
    addFunctionSites(*root, sites, FunctionHome::Tree);
    addShortcut(*root, u"Text", QStringLiteral("Main.Convert.Text"));
    return root;
}

} // namespace varnok
