// SPDX-License-Identifier: GPL-3.0-or-later
#include "textsearch.h"

namespace varnok {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

bool isWholeWord(QStringView text, qsizetype at, qsizetype length)
{
    return (at == 0 || !isWordChar(text[at - 1]))
           && (at + length >= text.size() || !isWordChar(text[at + length]));
}

} // namespace

qsizetype findInText(QStringView text, QStringView pattern, qsizetype from, bool backward,
                     const SearchOptions &options)
{
    if (pattern.isEmpty() || pattern.size() > text.size())
        return -1;
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!backward) {
        for (qsizetype at = text.indexOf(pattern, std::max<qsizetype>(from, 0), cs); at >= 0;
             at = text.indexOf(pattern, at + 1, cs))
            if (!options.wholeWord || isWholeWord(text, at, pattern.size()))
                return at;
        return -1;
    }
    qsizetype start = std::min(from, text.size()) - pattern.size();
    while (start >= 0) {
        const qsizetype at = text.lastIndexOf(pattern, start, cs);
        if (at < 0)
            return -1;
        if (!options.wholeWord || isWholeWord(text, at, pattern.size()))
            return at;
        start = at - 1;
    }
    return -1;
}

QString replaceAllInText(QStringView text, QStringView pattern, QStringView replacement,
                         const SearchOptions &options, qsizetype &count)
{
    count = 0;
    QString out;
    qsizetype done = 0;
    for (qsizetype at = findInText(text, pattern, 0, false, options); at >= 0;
         at = findInText(text, pattern, at + pattern.size(), false, options)) {
        if (count == 0)
            out.reserve(text.size());
        out += text.mid(done, at - done);
        out += replacement;
        done = at + pattern.size();
        ++count;
    }
    if (count == 0)
        return text.toString();
    out += text.mid(done);
    return out;
}

} // namespace varnok
