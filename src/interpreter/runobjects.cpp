// SPDX-License-Identifier: GPL-3.0-or-later
#include "runobjects.h"

#include "common/limits.h"

#include "builtins.h"

#include <utility>

namespace varnok {

namespace {

// What every run finds in its object: User with the four New* functions
// and MyFunktion (from the built-in table), Error with its record and
// Clear, and the user-function frames.
void furnish(ScriptObjects &node)
{
    addFunctionSites(node, builtinSites(), FunctionHome::RunObject);
    node.AddObject(u"Error");
    const NodePtr error = node.object(u"Error");
    error->AddVariable(u"Nummer");
    error->AddVariable(u"Text");
    error->AddShortcut(u"Clear");
    error->shortcut(u"Clear")->SetVerknuepfung(
        QStringLiteral("Main.Und(Skript.Error.Text() Skript.Error.Nummer(0))"));
    node.AddShortcut(u"Funktion");
    node.shortcut(u"Funktion")->SetVerknuepfung(QStringLiteral("Skript.Funktion(Skript.MyFunktion())"));
    node.AddArrayObject(u"Funktion");
}

} // namespace

RunObjects::RunObjects(ObjectArrayPtr skriptArray)
    : m_skriptArray(std::move(skriptArray)), m_serials(1, 0), m_nodes(1, nullptr)
{
}

RunRef RunObjects::create()
{
    for (int n = 1; n <= limits::kRunIndexes; ++n) {
        const NodePtr node = m_skriptArray->claimObject(qint16(n));
        // MyFunktion marks an object in use.
        if (node->function(u"MyFunktion"))
            continue;
        furnish(*node);
        if (m_serials.size() <= size_t(n)) {
            m_serials.resize(size_t(n) + 1, 0);
            m_nodes.resize(size_t(n) + 1, nullptr);
        }
        m_serials[size_t(n)] = ++m_nextSerial;
        m_nodes[size_t(n)] = node.get();
        return RunRef{qint16(n), m_serials[size_t(n)]};
    }
    return RunRef{};
}

void RunObjects::release(qint16 index)
{
    if (index <= 0)
        return;
    m_skriptArray->ResetObject(index);
    if (size_t(index) < m_serials.size()) {
        m_serials[size_t(index)] = 0;
        m_nodes[size_t(index)] = nullptr;
    }
}

bool RunObjects::alive(qint16 index) const
{
    const NodePtr node = m_skriptArray->peekObject(index);
    return node && node->function(u"MyFunktion");
}

NodePtr RunObjects::node(const RunRef &run) const
{
    if (run.index == 0 || !isCurrent(run))
        return nullptr;
    return m_skriptArray->peekObject(run.index);
}

} // namespace varnok
