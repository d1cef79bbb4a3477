// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Undo and redo of the user's edits of one text, as edits of the exact
// text: a deleted TAB or NUL comes back as itself. Typing, backspacing and
// deleting run together into one step, as editors do.

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace varnok {

// [start, start + removed.size()) held `removed` and holds `inserted` now.
struct TextEdit {
    qsizetype start = 0;
    QString removed;
    QString inserted;
};

class EditHistory
{
public:
    static constexpr std::size_t kDefaultLimit = 500;
    explicit EditHistory(std::size_t limit = kDefaultLimit) : m_limit(limit) {}

    // A new edit; clears what could be redone. Single typed characters,
    // backspaces and deletes that follow each other join the last step,
    // unless `separate` is set (a paste, a replace: a step of their own).
    void record(TextEdit edit, bool separate = false);
    // The next edit starts a step of its own.
    void closeStep() { m_open = false; }
    // The edit to take back (replace [start, start + inserted.size()) with
    // removed); it moves to the redo list.
    std::optional<TextEdit> takeUndo();
    // The edit to make again; it moves back to the undo list.
    std::optional<TextEdit> takeRedo();
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    std::size_t undoSteps() const { return m_undo.size(); }
    void clear();

private:
    std::vector<TextEdit> m_undo;
    std::vector<TextEdit> m_redo;
    std::size_t m_limit;
    bool m_open = false; // the last step may still grow
};

} // namespace varnok
