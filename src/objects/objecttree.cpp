// SPDX-License-Identifier: GPL-3.0-or-later
#include "objecttree.h"

#include "common/limits.h"

#include <atomic>

namespace varnok {

void EineFunktion::SetFunktion(QStringView body)
{
    m_body = normalizeName(body);
    m_oneWord = !m_body.isEmpty() && !m_body.contains(u' ') && !m_body.contains(u'(') && !m_body.contains(u')');
    m_dispatch = nullptr;
}

QString EineVariable::boundText() const
{
    const auto box = m_box.lock();
    return box ? box->text() : QString();
}

void EineVariable::SetInhalt(const QString &value)
{
    if (!m_bound) {
        m_content = value;
        m_numberKnown = false;
        return;
    }
    if (const auto box = m_box.lock())
        box->setText(value);
}

bool EineVariable::appendInPlace(QString &head, const QString &tail)
{
    if (m_bound || head.constData() != m_content.constData() || head.size() != m_content.size())
        return false;
    head = QString();
    m_content.append(tail);
    m_numberKnown = false;
    return true;
}

void EineVariable::SetInhalt(QString &&value)
{
    if (!m_bound) {
        std::swap(m_content, value);
        m_numberKnown = false;
        recycleText(std::move(value));
        return;
    }
    if (const auto box = m_box.lock())
        box->setText(value);
}

void EineVariable::SetInhalt(QString &&value, double number)
{
    SetInhalt(std::move(value));
    if (!m_bound) {
        m_number = number;
        m_numberKnown = true;
    }
}

void EineVariable::LinkInhaltWithTextBox(const std::shared_ptr<TextField> &box)
{
    m_bound = true;
    m_box = box;
    m_numberKnown = false;
}

void EineVariable::LinkInhaltWithNothing()
{
    m_bound = false;
    m_numberKnown = false;
}

std::optional<int> ArrayVariable::FindSlot(qint16 index)
{
    if (const auto pos = m_slots.find(index))
        return pos;
    return m_slots.append(index, QString());
}

std::optional<QString> ArrayVariable::GetInhalt(qint16 index)
{
    const auto pos = FindSlot(index);
    if (!pos)
        return std::nullopt;
    return m_slots.at(*pos);
}

bool ArrayVariable::SetInhalt(qint16 index, const QString &value)
{
    const auto pos = FindSlot(index);
    if (!pos)
        return false;
    m_slots.at(*pos) = value;
    return true;
}

void ArrayObjects::SetName(QStringView name)
{
    ListedName::SetName(name);
    for (size_t k = 0; k < m_slots.size(); ++k)
        m_slots.at(int(k))->SetName(GetName());
}

NodePtr ArrayObjects::newElement() const
{
    auto node = std::make_shared<ScriptObjects>();
    node->Initialize();
    node->SetName(GetName());
    return node;
}

std::optional<int> ArrayObjects::FindSlot(qint16 index, bool evenWhenFull)
{
    if (const auto pos = m_slots.find(index))
        return pos;
    return m_slots.append(index, newElement(), evenWhenFull);
}

NodePtr ArrayObjects::GetObject(qint16 index)
{
    const auto pos = FindSlot(index);
    if (!pos)
        return nullptr;
    return m_slots.at(*pos);
}

NodePtr ArrayObjects::claimObject(qint16 index)
{
    return m_slots.at(*FindSlot(index, true));
}

NodePtr ArrayObjects::peekObject(qint16 index) const
{
    const auto pos = m_slots.find(index);
    return pos ? m_slots.at(*pos) : nullptr;
}

ScriptObjects *ArrayObjects::borrowObject(qint16 index)
{
    const auto pos = FindSlot(index);
    return pos ? m_slots.at(*pos).get() : nullptr;
}

ScriptObjects *ArrayObjects::borrowPeek(qint16 index) const
{
    const auto pos = m_slots.find(index);
    return pos ? m_slots.at(*pos).get() : nullptr;
}

void ArrayObjects::ResetObject(qint16 index)
{
    if (const auto pos = m_slots.find(index))
        m_slots.at(*pos) = newElement();
}

NodePtr ArrayObjects::exchangeObject(qint16 index, NodePtr node)
{
    const auto pos = m_slots.find(index);
    if (!pos)
        return nullptr;
    std::swap(m_slots.at(*pos), node);
    return node;
}

quint64 ScriptObjects::newLayout()
{
    return s_layouts.fetch_add(1, std::memory_order_relaxed) + 1;
}

void ScriptObjects::Initialize()
{
    m_layout = newLayout();
    m_objects.clear();
    m_shortcuts.clear();
    m_variables.clear();
    m_functions.clear();
    m_objectArrays.clear();
    m_valueArrays.clear();
}

template <typename T, typename Prepare>
bool ScriptObjects::addTo(NamedList<T> &list, QStringView name, Prepare prepare)
{
    if (list.entries.size() >= size_t(limits::kListEntries))
        return false;
    auto entry = std::make_shared<T>();
    prepare(*entry);
    entry->SetName(name);
    entry->m_listed = true;
    list.entries.push_back(std::move(entry));
    list.index.added(list.entries);
    return true;
}

bool ScriptObjects::changed(bool added)
{
    if (added)
        m_layout = newLayout();
    return added;
}

bool ScriptObjects::AddObject(QStringView name)
{
    return changed(addTo(m_objects, name, [](ScriptObjects &n) { n.Initialize(); }));
}
bool ScriptObjects::AddShortcut(QStringView name)
{
    return changed(addTo(m_shortcuts, name, [](EineVerknuepfung &) {}));
}
bool ScriptObjects::AddVariable(QStringView name)
{
    return changed(addTo(m_variables, name, [](EineVariable &v) { v.LinkInhaltWithNothing(); }));
}
bool ScriptObjects::AddFunction(QStringView name)
{
    return changed(addTo(m_functions, name, [](EineFunktion &) {}));
}
bool ScriptObjects::AddArrayVariable(QStringView name)
{
    return changed(addTo(m_valueArrays, name, [](ArrayVariable &a) { a.Initialize(); }));
}
bool ScriptObjects::AddArrayObject(QStringView name)
{
    return changed(addTo(m_objectArrays, name, [](ArrayObjects &a) { a.Initialize(); }));
}

} // namespace varnok
