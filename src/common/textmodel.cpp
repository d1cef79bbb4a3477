// SPDX-License-Identifier: GPL-3.0-or-later
#include "textmodel.h"

#include "common/conventions.h"
#include "common/freshmemory.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <type_traits>

namespace varnok {

namespace {

// Below this many characters a second thread costs more than it saves.
constexpr qsizetype kTwoHalves = qsizetype(4) << 20;

} // namespace

void TextModel::clampSelection()
{
    m_selStart = std::clamp<qsizetype>(m_selStart, 0, size());
    m_selLength = std::clamp<qsizetype>(m_selLength, 0, size() - m_selStart);
}

void TextModel::decodePending() const
{
    if (m_pending.empty())
        return;
    const qsizetype begin = m_text.size();
    const qsizetype end = begin + m_pendingSize;
    m_text.resize(end);
    auto *out = reinterpret_cast<char16_t *>(m_text.data());
    // Decodes the characters [from, to) into memory never touched before,
    // making its pages first.
    const auto decodeSpan = [this, out](qsizetype from, qsizetype to) {
        populatePages(out + from, std::size_t(to - from) * sizeof(char16_t));
        for (std::size_t i = pendingAt(from); i < m_pending.size() && m_pending[i].at < to; ++i) {
            const Pending &p = m_pending[i];
            const qsizetype first = std::max(from, p.at);
            const qsizetype last = std::min(to, p.at + p.count);
            decodeCp1252Into(p.bytes.constData() + p.from + (first - p.at), last - first, out + first);
        }
    };
    // A large answer is decoded in two halves at once: making its pages is
    // most of the cost, and a second core makes them as fast as the first.
    // The halves share nothing but the pieces they only read.
    const qsizetype middle = begin + m_pendingSize / 2;
    std::thread second;
    if (m_pendingSize >= kTwoHalves) {
        try {
            second = std::thread(decodeSpan, middle, end);
        } catch (const std::system_error &) {
            // No thread to be had: one core does it all.
        }
    }
    if (second.joinable()) {
        decodeSpan(begin, middle);
        second.join();
    } else {
        decodeSpan(begin, end);
    }
    m_pending.clear();
    m_pendingSize = 0;
}

void TextModel::appendEncoded(QByteArrayView bytes, const QByteArray &owner)
{
    if (bytes.isEmpty())
        return;
    const qsizetype from = size();
    const char *const begin = owner.constData();
    if (!owner.isEmpty() && bytes.data() >= begin && bytes.data() + bytes.size() <= begin + owner.size())
        m_pending.push_back({owner, bytes.data() - begin, bytes.size(), from});
    else
        m_pending.push_back({bytes.toByteArray(), 0, bytes.size(), from});
    m_pendingSize += bytes.size();
    ++m_version;
    emit textAppended(from);
    emit changed();
}

std::size_t TextModel::pendingAt(qsizetype position) const
{
    const auto it = std::partition_point(m_pending.begin(), m_pending.end(), [position](const Pending &p) {
        return p.at + p.count <= position;
    });
    return std::size_t(it - m_pending.begin());
}

QChar TextModel::at(qsizetype position) const
{
    if (position < 0 || position >= size())
        return {};
    if (position < m_text.size())
        return m_text[position];
    const Pending &p = m_pending[pendingAt(position)];
    return cp1252ToChar(static_cast<unsigned char>(p.bytes[p.from + (position - p.at)]));
}

QString TextModel::slice(qsizetype from, qsizetype count) const
{
    from = std::clamp<qsizetype>(from, 0, size());
    count = std::clamp<qsizetype>(count, 0, size() - from);
    QString out(count, Qt::Uninitialized);
    auto *dst = reinterpret_cast<char16_t *>(out.data());
    readRange(from, count, [&dst](auto run) {
        if constexpr (std::is_same_v<decltype(run), QStringView>)
            std::copy(run.utf16(), run.utf16() + run.size(), dst);
        else
            decodeCp1252Into(run.data(), run.size(), dst);
        dst += run.size();
    });
    return out;
}

void TextModel::setText(const QString &text)
{
    m_pending.clear();
    m_pendingSize = 0;
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
    decodePending();
    const qsizetype from = m_text.size();
    m_text.append(text);
    ++m_version;
    emit textAppended(from);
    emit changed();
}

void TextModel::replaceRange(qsizetype start, qsizetype removed, QStringView inserted)
{
    decodePending();
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
    if (start < 0 || length < 0 || length > size() - start)
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
