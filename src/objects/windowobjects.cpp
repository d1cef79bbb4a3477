// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowobjects.h"

#include "builtintree.h"

#include <initializer_list>
#include <utility>

namespace varnok {

namespace {

void addBound(ScriptObjects &node, QStringView name, const std::shared_ptr<TextField> &box)
{
    node.AddVariable(name);
    VariablePtr v;
    node.GetVariable(name, v);
    v->LinkInhaltWithTextBox(box);
}

// A window function's body ends in the window's index after a blank.
QString windowSuffix(qint16 index)
{
    return QLatin1Char(' ') + QString::number(index);
}

NodePtr windowNode(ScriptObjects &root, QStringView array, qint16 index)
{
    ObjectArrayPtr arr;
    if (!root.GetArrayObject(array, arr))
        return nullptr;
    return arr->claimObject(index);
}

} // namespace

void RegisterSeiteFenster(ScriptObjects &root, qint16 index, const SeiteFields &f, FunctionSites sites,
                          const MitschnittFields &mitschnitt, const VerbindungFields &verbindung)
{
    NodePtr n = windowNode(root, u"SeiteFenster", index);
    if (!n || n->variable(u"Status"))
        return;
    n->AddVariable(u"Status");
    addBound(*n, seiteField(SeiteField::Text).scriptName, f[SeiteField::Text]);
    addFunctionSites(*n, sites, FunctionHome::SeiteFenster, windowSuffix(index));

    for (const auto &[nodeName, kind] : {std::pair{u"Input", SeiteNode::Input},
                                         std::pair{u"Output", SeiteNode::Output}}) {
        n = windowNode(root, u"SeiteFenster", index);
        n->AddObject(nodeName);
        NodePtr sub;
        n->GetObject(nodeName, sub);
        for (const SeiteFieldRow &row : kSeiteFields)
            if (row.node == kind)
                addBound(*sub, row.scriptName, f[row.field]);
    }

    n = windowNode(root, u"SeiteFenster", index);
    n->AddObject(u"Mitschnitt");
    NodePtr sub;
    n->GetObject(u"Mitschnitt", sub);
    for (std::size_t i = 0; i < kMitschnittValueCount; ++i)
        addBound(*sub, kMitschnittNames[i], mitschnitt[i]);

    n = windowNode(root, u"SeiteFenster", index);
    n->AddObject(u"Verbindung");
    n->GetObject(u"Verbindung", sub);
    for (std::size_t i = 0; i < kVerbindungValueCount; ++i)
        addBound(*sub, kVerbindungNames[i], verbindung[i]);
}

void RegisterSkriptFenster(ScriptObjects &root, qint16 index, const std::shared_ptr<TextField> &text1,
                           FunctionSites sites)
{
    NodePtr n = windowNode(root, u"SkriptFenster", index);
    if (!n || n->variable(u"Status"))
        return;
    n->AddVariable(u"Status");
    addBound(*n, u"Text", text1);
    addFunctionSites(*n, sites, FunctionHome::SkriptFenster, windowSuffix(index));
}

void UnregisterSeiteFenster(ScriptObjects &root, qint16 index)
{
    if (ObjectArrayPtr arr = root.objectArray(u"SeiteFenster"))
        arr->ResetObject(index);
}

void UnregisterSkriptFenster(ScriptObjects &root, qint16 index)
{
    if (ObjectArrayPtr arr = root.objectArray(u"SkriptFenster"))
        arr->ResetObject(index);
}

} // namespace varnok
