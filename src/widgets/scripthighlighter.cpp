// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripthighlighter.h"

#include <QColor>
#include <QTextBlock>
#include <QTextDocument>

#include <array>

namespace varnok {

namespace {

constexpr std::array kKeywords = {u"EXEC",     u"IF",        u"ENDIF", u"ELSE",      u"ELSEIF",
                                  u"DO",       u"DOWHILE",   u"LOOP",  u"LOOPWHILE", u"GOTO",
                                  u"ONERROR",  u"EXITFUNCTION", u"WAITTILL", u"WAITWHILE", u"QUIT"};

bool isKeyword(QStringView word)
{
    for (const char16_t *k : kKeywords)
        if (word.compare(QStringView(k), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The formats an input method gave the text it is composing; they stay.
QList<QTextLayout::FormatRange> composingFormats(const QTextLayout &layout)
{
    QList<QTextLayout::FormatRange> kept;
    const int from = layout.preeditAreaPosition();
    const int length = int(layout.preeditAreaText().size());
    if (length == 0)
        return kept;
    for (const QTextLayout::FormatRange &r : layout.formats())
        if (r.start >= from && r.start + r.length <= from + length)
            kept << r;
    return kept;
}

} // namespace

ScriptHighlighter::ScriptHighlighter()
{
    m_keyword.setForeground(QColor(0x00, 0x33, 0x99));
    m_keyword.setFontWeight(QFont::Bold);
    m_label.setForeground(QColor(0x80, 0x00, 0x80));
    m_label.setFontWeight(QFont::Bold);
    m_comment.setForeground(QColor(0x60, 0x70, 0x60));
    m_comment.setFontItalic(true);
    m_literal.setForeground(QColor(0x99, 0x44, 0x00));
}

QList<QTextLayout::FormatRange> ScriptHighlighter::formats(QStringView line) const
{
    QList<QTextLayout::FormatRange> out;
    const auto add = [&out](qsizetype start, qsizetype length, const QTextCharFormat &format) {
        if (length > 0)
            out.append({int(start), int(length), format});
    };
    const qsizetype quote = line.indexOf(u'\'');
    const qsizetype codeEnd = quote < 0 ? line.size() : quote;
    qsizetype first = 0;
    while (first < codeEnd && (line[first] == u' ' || line[first] == u'\t' || line[first] == QChar(0x2409)))
        ++first;
    if (first < codeEnd && line[first] == u':') {
        add(first, codeEnd - first, m_label);
    } else {
        qsizetype wordEnd = first;
        while (wordEnd < codeEnd && line[wordEnd] != u' ')
            ++wordEnd;
        if (wordEnd > first && isKeyword(line.mid(first, wordEnd - first)))
            add(first, wordEnd - first, m_keyword);
        // Text(...) up to its matching parenthesis.
        for (qsizetype at = line.indexOf(u"Text(", wordEnd, Qt::CaseInsensitive); at >= 0 && at < codeEnd;
             at = line.indexOf(u"Text(", at + 1, Qt::CaseInsensitive)) {
            if (at > 0 && (line[at - 1].isLetterOrNumber() || line[at - 1] == u'.'))
                continue;
            int depth = 0;
            qsizetype end = at + 4;
            for (; end < codeEnd; ++end) {
                if (line[end] == u'(')
                    ++depth;
                else if (line[end] == u')' && --depth == 0)
                    break;
            }
            end = std::min(end + 1, codeEnd);
            add(at, end - at, m_literal);
            at = end - 1;
        }
    }
    if (quote >= 0)
        add(quote, line.size() - quote, m_comment);
    return out;
}

void ScriptHighlighter::colour(QTextDocument *document, const QTextBlock &block) const
{
    QTextLayout *layout = block.layout();
    QList<QTextLayout::FormatRange> ranges = composingFormats(*layout);
    ranges << formats(block.text());
    if (ranges == layout->formats())
        return;
    layout->setFormats(ranges);
    // Only the layout is redone; the document's text did not change.
    document->markContentsDirty(block.position(), block.length());
}

void ScriptHighlighter::uncolour(QTextDocument *document, const QTextBlock &block)
{
    QTextLayout *layout = block.layout();
    const QList<QTextLayout::FormatRange> kept = composingFormats(*layout);
    if (kept == layout->formats())
        return;
    layout->setFormats(kept);
    document->markContentsDirty(block.position(), block.length());
}

} // namespace varnok
