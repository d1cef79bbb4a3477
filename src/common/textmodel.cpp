// SPDX-License-Identifier: GPL-3.0-or-later
#include "textmodel.h"

#include <algorithm>

namespace varnok {

void TextModel::clampSelection()
{
    m_selStart = std::clamp<qsizetype>(m_selStart, 0, m_text.size());
    m_selLength = std::clamp<qsizetype>(m_selLength, 0, m_text.size() - m_selStart);
}

void TextModel::setText(const QString &text)
{
    m_text = text;
    ++m_version;
    // A replaced text puts the caret at its start, as a text box does.
    m_selStart = 0;
    m_selLength = 0;
    emit textReset();
    emit changed();
}

void TextModel::append(QStringView text)
{
    if (text.isEmpty())
        return;
    const qsizetype from = m_text.size();
    m_text.append(text);
    ++m_version;
    emit textAppended(from);
    emit changed();
}

void TextModel::replaceRange(qsizetype start, qsizetype removed, QStringView inserted)
{
    start = std::clamp<qsizetype>(start, 0, m_text.size());
    removed = std::clamp<qsizetype>(removed, 0, m_text.size() - start);
    m_text.replace(start, removed, inserted.toString());
    ++m_version;
    m_selStart = start + inserted.size();
    m_selLength = 0;
    emit textEdited();
    emit changed();
}

void TextModel::setSelection(qsizetype start, qsizetype length)
{
    m_selStart = start;
    m_selLength = length;
    // A runner sets a selection inside the text at every statement.
    if (start < 0 || length < 0 || length > m_text.size() - start)
        clampSelection();
    if (!m_selectionDirty) {
        m_selectionDirty = true;
        emit selectionPending();
    }
}

void TextModel::setReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    emit readOnlyChanged(readOnly);
}

} // namespace varnok
