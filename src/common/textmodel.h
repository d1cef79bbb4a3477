// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exact text of one text box. Qt's editors fold line ends and hide
// control characters, so the box's text lives here and the widget only shows
// it. Scripts, the runner and the answer parser work on this model.

#include "scripttext.h"
#include "textfield.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <algorithm>
#include <vector>

namespace varnok {

class TextModel : public QObject, public TextField, public ScriptText
{
    Q_OBJECT
public:
    explicit TextModel(QObject *parent = nullptr) : QObject(parent) {}
    explicit TextModel(const QString &text, QObject *parent = nullptr)
        : QObject(parent), m_text(text)
    {
    }

    QString text() const override { return whole(); }
    void setText(const QString &text) override;
    // Appends without touching what is there; viewers add only the new part.
    void append(QStringView text);
    // The same for `count` characters that `fill(char16_t *)` writes in
    // place: a decoder writes straight into the text, with no copy between.
    template <typename Fill>
    void appendWith(qsizetype count, Fill &&fill)
    {
        if (count <= 0)
            return;
        decodePending();
        const qsizetype from = m_text.size();
        m_text.resize(from + count);
        fill(reinterpret_cast<char16_t *>(m_text.data()) + from);
        ++m_version;
        emit textAppended(from);
        emit changed();
    }
    // The same for Windows-1252 bytes, one character each, which are decoded
    // only once the text is read: an answer no one reads costs no text of
    // twice its size. When `owner` holds the bytes it is kept (shared)
    // instead of a copy of them.
    void appendEncoded(QByteArrayView bytes, const QByteArray &owner = QByteArray());
    // The text's length, without decoding what waits.
    qsizetype size() const { return m_text.size() + m_pendingSize; }
    // Calls `read` with the characters [from, from + count) in order, in
    // runs: a QStringView where the text is decoded, a QByteArrayView of
    // Windows-1252 bytes (one character each) where it waits. A viewer
    // reads what it shows this way, so an answer on screen is never
    // decoded whole unless someone reads all of it.
    template <typename Read>
    void readRange(qsizetype from, qsizetype count, Read &&read) const
    {
        from = std::clamp<qsizetype>(from, 0, size());
        const qsizetype end = from + std::clamp<qsizetype>(count, 0, size() - from);
        if (from < m_text.size()) {
            const qsizetype to = std::min(end, m_text.size());
            read(QStringView(m_text).sliced(from, to - from));
            from = to;
        }
        for (std::size_t i = pendingAt(from); from < end && i < m_pending.size(); ++i) {
            const Pending &p = m_pending[i];
            const qsizetype skip = from - p.at;
            const qsizetype n = std::min(end, p.at + p.count) - from;
            read(QByteArrayView(p.bytes.constData() + p.from + skip, n));
            from += n;
        }
    }
    // One character, or a copy of a range, read that way.
    QChar at(qsizetype position) const;
    QString slice(qsizetype from, qsizetype count) const;
    // Room for `count` more characters, so a long text of known length is
    // not moved while it grows.
    void reserveMore(qsizetype count) { m_text.reserve(size() + count); }
    // An edit made by the user in the widget: replaces [start, start+removed)
    // with `inserted`.
    void replaceRange(qsizetype start, qsizetype removed, QStringView inserted);

    const QString &scriptText() const override { return whole(); }
    quint64 textVersion() const override { return m_version; }
    qsizetype selectionStart() const override { return m_selStart; }
    qsizetype selectionLength() const { return m_selLength; }
    void setSelection(qsizetype start, qsizetype length) override;
    // The selection between two positions, whichever of them comes first:
    // what a viewer holds as anchor and caret.
    void setSelectionBetween(qsizetype anchor, qsizetype caret)
    {
        const qsizetype from = std::min(anchor, caret);
        setSelection(from, std::max(anchor, caret) - from);
    }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // True once the selection changed since the viewer last looked; the
    // viewer clears it. Lets the runner move the selection per statement
    // while the screen follows at its own rate.
    bool takeSelectionDirty()
    {
        const bool d = m_selectionDirty;
        m_selectionDirty = false;
        return d;
    }

signals:
    void textReset();                       // the whole text was replaced
    void textAppended(qsizetype from);      // text was added at `from`
    void textEdited();                      // a user edit, already shown
    void changed();                         // any of the three above
    void selectionPending();                // first selection change since the viewer looked
    void readOnlyChanged(bool readOnly);

private:
    // Bytes appended and not decoded yet: a piece of `bytes`.
    struct Pending
    {
        QByteArray bytes;
        qsizetype from;
        qsizetype count;
        qsizetype at; // where it stands in the text
    };
    // The pending piece that holds `position`, or the one after it.
    std::size_t pendingAt(qsizetype position) const;
    const QString &whole() const
    {
        if (!m_pending.empty())
            decodePending();
        return m_text;
    }
    void decodePending() const;
    void clampSelection();
    // Every change of the text counts up m_version. The text is m_text
    // followed by m_pending, decoded when anyone reads it.
    mutable QString m_text;
    mutable std::vector<Pending> m_pending;
    mutable qsizetype m_pendingSize = 0;
    quint64 m_version = 0;
    qsizetype m_selStart = 0;
    qsizetype m_selLength = 0;
    bool m_readOnly = false;
    bool m_selectionDirty = false;
};

} // namespace varnok
