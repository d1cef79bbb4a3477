// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripthighlighter.h"

#include <QColor>

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

} // namespace

ScriptHighlighter::ScriptHighlighter(QTextDocument *document) : QSyntaxHighlighter(document)
{
    m_keyword.setForeground(QColor(0x00, 0x33, 0x99));
    m_keyword.setFontWeight(QFont::Bold);
    m_label.setForeground(QColor(0x80, 0x00, 0x80));
    m_label.setFontWeight(QFont::Bold);
    m_comment.setForeground(QColor(0x60, 0x70, 0x60));
    m_comment.setFontItalic(true);
    m_literal.setForeground(QColor(0x99, 0x44, 0x00));
}

void ScriptHighlighter::highlightBlock(const QString &text)
{
    const QStringView line(text);
    const qsizetype quote = line.indexOf(u'\'');
    const qsizetype codeEnd = quote < 0 ? line.size() : quote;
    if (quote >= 0)
        setFormat(int(quote), int(line.size() - quote), m_comment);
    qsizetype first = 0;
    while (first < codeEnd && (line[first] == u' ' || line[first] == u'\t' || line[first] == QChar(0x2409)))
        ++first;
    if (first < codeEnd && line[first] == u':') {
        setFormat(int(first), int(codeEnd - first), m_label);
        return;
    }
    qsizetype wordEnd = first;
    while (wordEnd < codeEnd && line[wordEnd] != u' ')
        ++wordEnd;
    if (wordEnd > first && isKeyword(line.mid(first, wordEnd - first)))
        setFormat(int(first), int(wordEnd - first), m_keyword);
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
        setFormat(int(at), int(end - at), m_literal);
        at = end - 1;
    }
}

} // namespace varnok
