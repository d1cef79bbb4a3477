// SPDX-License-Identifier: GPL-3.0-or-later
#include "edithistory.h"

namespace varnok {

void EditHistory::record(TextEdit edit, bool separate)
{
    m_redo.clear();
    if (!separate && m_open && !m_undo.empty()) {
        TextEdit &last = m_undo.back();
        const bool typing = edit.removed.isEmpty() && edit.inserted.size() == 1
                            && !edit.inserted.contains(u'\n')
                            && !last.inserted.isEmpty() && !last.inserted.endsWith(u'\n')
                            && edit.start == last.start + last.inserted.size();
        if (typing) {
            last.inserted += edit.inserted;
            return;
        }
        if (edit.inserted.isEmpty() && last.inserted.isEmpty()) {
            if (edit.start + edit.removed.size() == last.start) { // backspace
                last.start = edit.start;
                last.removed.prepend(edit.removed);
                return;
            }
            if (edit.start == last.start) { // delete
                last.removed.append(edit.removed);
                return;
            }
        }
    }
    m_undo.push_back(std::move(edit));
    m_open = !separate;
    if (m_undo.size() > m_limit)
        m_undo.erase(m_undo.begin());
}

std::optional<TextEdit> EditHistory::takeUndo()
{
    m_open = false;
    if (m_undo.empty())
        return std::nullopt;
    TextEdit e = std::move(m_undo.back());
    m_undo.pop_back();
    m_redo.push_back(e);
    return e;
}

std::optional<TextEdit> EditHistory::takeRedo()
{
    m_open = false;
    if (m_redo.empty())
        return std::nullopt;
    TextEdit e = std::move(m_redo.back());
    m_redo.pop_back();
    m_undo.push_back(e);
    return e;
}

void EditHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_open = false;
}

} // namespace varnok
