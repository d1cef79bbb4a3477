// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptfile.h"
#include "common/limits.h"

#include "common/conventions.h"
#include "common/fileaccess.h"

#include <cstring>

namespace varnok {

QString decodeScriptFile(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    // A lone CR grows into CR LF, so the text is at most one character per
    // lone CR longer than the file. Counted exactly, so that a file of short
    // CR LF lines does not leave the text with room it never uses.
    qsizetype loneCrs = 0;
    for (const char *p = data, *end = data + size;
         (p = static_cast<const char *>(std::memchr(p, '\r', std::size_t(end - p)))) != nullptr; ++p)
        if (p + 1 == end || p[1] != '\n')
            ++loneCrs;
    QString text(size + loneCrs, Qt::Uninitialized);
    QChar *out = text.data();
    qsizetype n = 0;
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\r')
            ++end;
        if (n > 0) {
            out[n++] = u'\r';
            out[n++] = u'\n';
        }
        for (qsizetype k = start; k < end; ++k)
            out[n++] = cp1252ToChar(static_cast<unsigned char>(data[k]));
        // Step over the separator: CR LF counts as one, a lone CR as well.
        start = end + 1;
        if (end < size && start < size && data[start] == '\n')
            ++start;
    }
    text.truncate(n);
    return text;
}

QByteArray encodeScriptFile(QStringView text)
{
    QByteArray bytes = encodeCp1252(text);
    bytes.append("\r\n", 2);
    return bytes;
}

bool readScriptFile(const QString &path, QString &text)
{
    text.clear();
    QByteArray bytes;
    if (!readRegularFile(path, limits::kScriptFileSize, bytes))
        return false;
    text = decodeScriptFile(bytes);
    return true;
}

bool writeScriptFile(const QString &path, QStringView text)
{
    return replaceRegularFile(path, encodeScriptFile(text));
}

} // namespace varnok
