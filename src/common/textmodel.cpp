// SPDX-License-Identifier: GPL-3.0-or-later
#include "textmodel.h"

#include <algorithm>
#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

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

void TextModel::reserveMore(qsizetype count)
{
    m_text.reserve(m_text.size() + count);
#ifdef __linux__
    // A long answer fills this room at the socket's pace; in pages of 2 MiB
    // the kernel stops for it 512 times less often. Only a hint: where huge
    // pages are off nothing changes.
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(m_text.data() + m_text.size());
    const auto end = reinterpret_cast<std::uintptr_t>(m_text.data() + m_text.capacity());
    const std::uintptr_t from = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t to = end & ~(kHuge - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#endif
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
