// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six classes the object tree is made of. They only store and find
// entries; paths, shortcuts and calls are the evaluator's business.

#include "common/limits.h"
#include "common/conventions.h"
#include "common/textfield.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace varnok {

class ScriptObjects;
class EineVerknuepfung;
class EineVariable;
class EineFunktion;
class ArrayVariable;
class ArrayObjects;
struct Builtin; // an entry of the interpreter's built-in table

using NodePtr = std::shared_ptr<ScriptObjects>;
using ShortcutPtr = std::shared_ptr<EineVerknuepfung>;
using VariablePtr = std::shared_ptr<EineVariable>;
using FunctionPtr = std::shared_ptr<EineFunktion>;
using ValueArrayPtr = std::shared_ptr<ArrayVariable>;
using ObjectArrayPtr = std::shared_ptr<ArrayObjects>;

// Hash of a name as stored: the evaluator keeps it beside the names it has
// normalised once, so a lookup needs no second pass over the characters.
inline size_t nameHash(QStringView normalized)
{
    size_t h = 14695981039346656037ull;
    for (const QChar c : normalized)
        h = (h ^ c.unicode()) * 1099511628211ull;
    return h;
}

// The same hash of a request that is trimmed but not yet upper-cased.
inline size_t requestHash(QStringView trimmed)
{
    size_t h = 14695981039346656037ull;
    for (const QChar c : trimmed)
        h = (h ^ upperChar(c).unicode()) * 1099511628211ull;
    return h;
}

// A name already normalised (trimmed, upper case) with its hash.
struct NameKey
{
    QStringView name;
    size_t hash;
};

// A name the program itself looks up again and again (the run's own paths,
// a call frame's entries): normalised and hashed once.
struct FixedName
{
    explicit FixedName(QStringView n) : name(normalizeName(n)), hash(nameHash(name)) {}
    NameKey key() const { return {name, hash}; }
    QString name;
    size_t hash;
};


// The rule the caches over the tree rely on: a node's lists only grow at
// their end or are emptied whole (Initialize, which counts as a new layout),
// and an entry's name is fixed from the moment it is in a list. The lists'
// name index (NameIndex) and what the evaluator remembers of a lookup
// (Segment::Found in src/interpreter/expression.h, checked against the
// node's layout() counter) hold positions and entries found by name, so a
// rename or a removal would leave them pointing at the wrong entry. Only
// ScriptObjects puts an entry in a list; renaming one that is listed is a
// fault that debug builds stop at.
class ListedName
{
public:
    const QString &GetName() const { return m_name; }
    size_t nameHashValue() const { return m_hash; }
    void SetName(QStringView name)
    {
        Q_ASSERT_X(!m_listed, "SetName", "the name of an entry in a node's list is fixed");
        m_name = normalizeName(name);
        m_hash = nameHash(m_name);
    }

private:
    friend class ScriptObjects;
    QString m_name;
    size_t m_hash = nameHash({});
    bool m_listed = false;
};

class EineVerknuepfung : public ListedName
{
public:
    const QString &GetVerknuepfung() const { return m_target; }
    void SetVerknuepfung(const QString &target) { m_target = target; }

private:
    QString m_target;
};

class EineVariable : public ListedName
{
public:
    QString GetInhalt() const { return m_bound ? boundText() : m_content; }
    void SetInhalt(const QString &value);
    void SetInhalt(QString &&value);
    // The same for a value whose numeric value the caller knows.
    void SetInhalt(QString &&value, double number);
    // numericValue(GetInhalt()), for a content of its own worked out once.
    double numericContent() const
    {
        if (m_bound)
            return numericValue(boundText());
        if (!m_numberKnown) {
            m_number = numericValue(m_content);
            m_numberKnown = true;
        }
        return m_number;
    }
    void LinkInhaltWithTextBox(const std::shared_ptr<TextField> &box);
    void LinkInhaltWithNothing();
    bool isBound() const { return m_bound; }
    // The content itself, for a caller that reads it before anything can
    // change it; null while the content is a text box's.
    const QString *ownContent() const { return m_bound ? nullptr : &m_content; }
    // When `head` is this unbound variable's own content, appends `tail` to
    // the content itself and empties `head`: a text that grows by appending
    // to itself keeps its buffer instead of being copied whole every time.
    bool appendInPlace(QString &head, const QString &tail);

private:
    QString boundText() const;
    QString m_content;
    mutable double m_number = 0;      // of m_content, while m_numberKnown
    mutable bool m_numberKnown = false;
    bool m_bound = false;
    std::weak_ptr<TextField> m_box;
};

class EineFunktion : public ListedName
{
public:
    const QString &GetFunktion() const { return m_body; }
    void SetFunktion(QStringView body);

    // A body without blanks and parentheses is a single word (a plain
    // built-in id); the interpreter may remember which built-in that word names.
    bool bodyIsOneWord() const { return m_oneWord; }
    const Builtin *dispatchCache() const { return m_dispatch; }
    void setDispatchCache(const Builtin *entry) const { m_dispatch = entry; }

private:
    QString m_body;
    bool m_oneWord = true;
    mutable const Builtin *m_dispatch = nullptr; // reset with every new body
};

// Sparse map from a 16-bit index to a value, in order of first use. Large
// arrays get a hash beside the list so an access stays cheap; the order of
// the list is what the original linear search sees.
template <typename Value>
class SparseArray
{
public:
    void clear()
    {
        m_indices.clear();
        m_values.clear();
        m_hash.clear();
    }
    std::optional<int> find(qint16 index) const
    {
        if (!m_hash.isEmpty()) {
            const auto it = m_hash.constFind(index);
            if (it == m_hash.constEnd())
                return std::nullopt;
            return *it;
        }
        for (size_t k = 0; k < m_indices.size(); ++k)
            if (m_indices[k] == index)
                return int(k);
        return std::nullopt;
    }
    // Appends a new slot, or nothing when the array is full. `evenWhenFull`
    // goes past the limit: there are only 65536 indices, so the array stays
    // bounded all the same.
    std::optional<int> append(qint16 index, Value value, bool evenWhenFull = false)
    {
        if (m_indices.size() >= size_t(limits::kListEntries) && !evenWhenFull)
            return std::nullopt;
        m_indices.push_back(index);
        m_values.push_back(std::move(value));
        const int pos = int(m_indices.size()) - 1;
        if (!m_hash.isEmpty()) {
            m_hash.insert(index, pos);
        } else if (m_indices.size() > limits::kArrayHashFrom) {
            for (size_t k = 0; k < m_indices.size(); ++k)
                m_hash.insert(m_indices[k], int(k));
        }
        return pos;
    }
    Value &at(int pos) { return m_values[size_t(pos)]; }
    const Value &at(int pos) const { return m_values[size_t(pos)]; }
    size_t size() const { return m_values.size(); }

private:
    std::vector<qint16> m_indices;
    std::vector<Value> m_values;
    QHash<qint16, int> m_hash;
};

class ArrayVariable : public ListedName
{
public:
    void Initialize() { m_slots.clear(); }
    // Empty when the index is new and the array already holds the maximum.
    std::optional<QString> GetInhalt(qint16 index);
    bool SetInhalt(qint16 index, const QString &value);
    size_t count() const { return m_slots.size(); }

private:
    std::optional<int> FindSlot(qint16 index);
    SparseArray<QString> m_slots;
};

class ArrayObjects : public ListedName
{
public:
    void Initialize() { m_slots.clear(); }
    // Renames the array and its elements (which are in no named list).
    void SetName(QStringView name);
    // The element, created when new; null only when the array is full.
    NodePtr GetObject(qint16 index);
    // The element, created when new even in a full array: the program's own
    // elements (a window's object, a run's object, a call's frame) must
    // exist whatever a script filled the array with.
    NodePtr claimObject(qint16 index);
    // The element if the index is in use, without creating it.
    NodePtr peekObject(qint16 index) const;
    // GetObject and peekObject without taking a share: the element lives
    // while it stays in its place, so the caller keeps the pointer across
    // nothing that could replace it (ResetObject, exchangeObject).
    ScriptObjects *borrowObject(qint16 index);
    ScriptObjects *borrowPeek(qint16 index) const;
    void ResetObject(qint16 index);
    // Puts `node` in the place of the element at `index` and hands back the
    // one it replaces; null (and nothing changed) when the index is not in use.
    NodePtr exchangeObject(qint16 index, NodePtr node);
    size_t count() const { return m_slots.size(); }

private:
    std::optional<int> FindSlot(qint16 index, bool evenWhenFull = false);
    NodePtr newElement() const;
    SparseArray<NodePtr> m_slots;
};

// The position of the first entry of each name in one list, kept once the
// list is long enough that walking it costs more than hashing. By the rule
// at ListedName, appending is all the upkeep the index needs.
class NameIndex
{
public:
    void clear()
    {
        m_slots.clear();
        m_used = 0;
    }
    bool active() const { return !m_slots.empty(); }

    // The list just received entry `pos` (named `name`).
    template <typename T>
    void added(const std::vector<std::shared_ptr<T>> &list)
    {
        if (m_slots.empty()) {
            if (list.size() < limits::kNameIndexFrom)
                return;
            rebuild(list);
            return;
        }
        if ((m_used + 1) * 2 > m_slots.size()) {
            rebuild(list);
            return;
        }
        insert(list, list.size() - 1);
    }

    // Position of the first entry named `key`, or -1. `exact`: the key is
    // normalised; otherwise it is a trimmed request compared upper-cased.
    template <typename T>
    qsizetype find(const std::vector<std::shared_ptr<T>> &list, QStringView key, size_t hash, bool exact) const
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t s = hash & mask;; s = (s + 1) & mask) {
            const Slot &slot = m_slots[s];
            if (slot.pos < 0)
                return -1;
            if (slot.hash == hash) {
                const QString &stored = list[size_t(slot.pos)]->GetName();
                if (exact ? sameText(stored, key) : nameMatchesTrimmed(stored, key))
                    return slot.pos;
            }
        }
    }

private:
    struct Slot
    {
        size_t hash = 0;
        qsizetype pos = -1;
    };

    template <typename T>
    void rebuild(const std::vector<std::shared_ptr<T>> &list)
    {
        size_t size = 16;
        while (size < list.size() * 4)
            size *= 2;
        m_slots.assign(size, Slot{});
        m_used = 0;
        for (size_t k = 0; k < list.size(); ++k)
            insert(list, k);
    }

    // Later entries of a name stay out: the first one is what a lookup finds.
    template <typename T>
    void insert(const std::vector<std::shared_ptr<T>> &list, size_t pos)
    {
        const QString &name = list[pos]->GetName();
        const size_t hash = list[pos]->nameHashValue();
        const size_t mask = m_slots.size() - 1;
        for (size_t s = hash & mask;; s = (s + 1) & mask) {
            Slot &slot = m_slots[s];
            if (slot.pos < 0) {
                slot = Slot{hash, qsizetype(pos)};
                ++m_used;
                return;
            }
            if (slot.hash == hash && list[size_t(slot.pos)]->GetName() == name)
                return;
        }
    }

    std::vector<Slot> m_slots;
    size_t m_used = 0;
};

// One of a node's six lists with its name index.
template <typename T>
struct NamedList
{
    std::vector<std::shared_ptr<T>> entries;
    NameIndex index;

    // The first entry of a trimmed request, compared upper-cased.
    const std::shared_ptr<T> *findRequest(QStringView request) const
    {
        if (index.active()) {
            const qsizetype pos = index.find(entries, request, requestHash(request), false);
            return pos < 0 ? nullptr : &entries[size_t(pos)];
        }
        for (const auto &entry : entries)
            if (nameMatchesTrimmed(entry->GetName(), request))
                return &entry;
        return nullptr;
    }
    // The first entry of a normalised name.
    const std::shared_ptr<T> *findKey(const NameKey &key) const
    {
        if (index.active()) {
            const qsizetype pos = index.find(entries, key.name, key.hash, true);
            return pos < 0 ? nullptr : &entries[size_t(pos)];
        }
        for (const auto &entry : entries)
            if (entry->nameHashValue() == key.hash && sameText(entry->GetName(), key.name))
                return &entry;
        return nullptr;
    }
    void clear()
    {
        entries.clear();
        index.clear();
    }
};

class ScriptObjects : public ListedName
{
public:
    ScriptObjects() = default;
    ScriptObjects(const ScriptObjects &) = delete;
    ScriptObjects &operator=(const ScriptObjects &) = delete;

    // Changes whenever one of the six lists changes: what a lookup found
    // stays true while the layout stays (the rule at ListedName). Every
    // node and every change takes a number no node had before, so a node
    // made later at the address of one that is gone never has a layout
    // that was remembered of the old one.
    quint64 layout() const { return m_layout; }
    // The layout the node changed last took. While it stays, no node
    // anywhere has been made or has changed one of its lists since: every
    // name finds in every node what it found then.
    static quint64 lastLayout() { return s_layouts.load(std::memory_order_relaxed); }
    void Initialize();

    // Each Add returns false (and adds nothing) when its list is full.
    bool AddObject(QStringView name);
    bool AddShortcut(QStringView name);
    bool AddVariable(QStringView name);
    bool AddFunction(QStringView name);
    bool AddArrayVariable(QStringView name);
    bool AddArrayObject(QStringView name);

    // Out-parameter lookups: false and `out` untouched when not found.
    bool GetObject(QStringView name, NodePtr &out) const { return get(m_objects, name, out); }
    bool GetShortcut(QStringView name, ShortcutPtr &out) const { return get(m_shortcuts, name, out); }
    bool GetVariable(QStringView name, VariablePtr &out) const { return get(m_variables, name, out); }
    bool GetFunction(QStringView name, FunctionPtr &out) const { return get(m_functions, name, out); }
    bool GetArrayVariable(QStringView name, ValueArrayPtr &out) const { return get(m_valueArrays, name, out); }
    bool GetArrayObject(QStringView name, ObjectArrayPtr &out) const { return get(m_objectArrays, name, out); }

    // The same lookups returning null when not found.
    NodePtr object(QStringView name) const { return find(m_objects, name); }
    ShortcutPtr shortcut(QStringView name) const { return find(m_shortcuts, name); }
    VariablePtr variable(QStringView name) const { return find(m_variables, name); }
    FunctionPtr function(QStringView name) const { return find(m_functions, name); }
    ValueArrayPtr valueArray(QStringView name) const { return find(m_valueArrays, name); }
    ObjectArrayPtr objectArray(QStringView name) const { return find(m_objectArrays, name); }
    bool hasShortcut(QStringView name) const { return peek(m_shortcuts, name) != nullptr; }

    // Borrowed lookups for callers that use the entry at once and keep no
    // reference across anything that could change the tree.
    const EineVerknuepfung *peekShortcut(QStringView name) const { return peek(m_shortcuts, name); }
    const ScriptObjects *peekObject(QStringView name) const { return peek(m_objects, name); }
    const EineFunktion *peekFunction(QStringView name) const { return peek(m_functions, name); }
    const EineVariable *peekVariable(QStringView name) const { return peek(m_variables, name); }
    const ArrayVariable *peekValueArray(QStringView name) const { return peek(m_valueArrays, name); }

    // The same with a name normalised beforehand: the stored entry, or null.
    const ShortcutPtr *shortcutSlot(const NameKey &k) const { return m_shortcuts.findKey(k); }
    const NodePtr *objectSlot(const NameKey &k) const { return m_objects.findKey(k); }
    const VariablePtr *variableSlot(const NameKey &k) const { return m_variables.findKey(k); }
    const FunctionPtr *functionSlot(const NameKey &k) const { return m_functions.findKey(k); }
    const ValueArrayPtr *valueArraySlot(const NameKey &k) const { return m_valueArrays.findKey(k); }
    const ObjectArrayPtr *objectArraySlot(const NameKey &k) const { return m_objectArrays.findKey(k); }

    size_t objectCount() const { return m_objects.entries.size(); }
    size_t shortcutCount() const { return m_shortcuts.entries.size(); }
    size_t variableCount() const { return m_variables.entries.size(); }
    size_t functionCount() const { return m_functions.entries.size(); }
    size_t valueArrayCount() const { return m_valueArrays.entries.size(); }
    size_t objectArrayCount() const { return m_objectArrays.entries.size(); }
    // Entries by 0-based position, for inspection.
    const std::vector<NodePtr> &objects() const { return m_objects.entries; }
    const std::vector<FunctionPtr> &functions() const { return m_functions.entries; }
    const std::vector<VariablePtr> &variables() const { return m_variables.entries; }
    const std::vector<ShortcutPtr> &shortcuts() const { return m_shortcuts.entries; }
    const std::vector<ValueArrayPtr> &valueArrays() const { return m_valueArrays.entries; }
    const std::vector<ObjectArrayPtr> &objectArrays() const { return m_objectArrays.entries; }

private:
    bool changed(bool added);
    template <typename T, typename Prepare>
    static bool addTo(NamedList<T> &list, QStringView name, Prepare prepare);
    template <typename T>
    static std::shared_ptr<T> find(const NamedList<T> &list, QStringView name)
    {
        const auto *s = list.findRequest(trimBlanks(name));
        return s ? *s : nullptr;
    }
    template <typename T>
    static const T *peek(const NamedList<T> &list, QStringView name)
    {
        const auto *s = list.findRequest(trimBlanks(name));
        return s ? s->get() : nullptr;
    }
    template <typename T>
    static bool get(const NamedList<T> &list, QStringView name, std::shared_ptr<T> &out)
    {
        auto found = find(list, name);
        if (!found)
            return false;
        out = std::move(found);
        return true;
    }

    NamedList<ScriptObjects> m_objects;
    NamedList<EineVerknuepfung> m_shortcuts;
    NamedList<EineVariable> m_variables;
    NamedList<EineFunktion> m_functions;
    NamedList<ArrayObjects> m_objectArrays;
    NamedList<ArrayVariable> m_valueArrays;
    static quint64 newLayout();
    // Engines may live on other threads (tests, fuzzers).
    static inline std::atomic<quint64> s_layouts{0};
    quint64 m_layout = newLayout();
};

} // namespace varnok
