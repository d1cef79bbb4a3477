// SPDX-License-Identifier: GPL-3.0-or-later
#include "bodydecoder.h"

#include <QList>

#include <zlib.h>

#include <algorithm>

namespace varnok {

namespace {

QList<QString> codings(QStringView header)
{
    QList<QString> out;
    for (QStringView part : header.split(u',')) {
        // A coding may carry parameters ("gzip;q=1" is not sent, but cheap).
        const qsizetype semicolon = part.indexOf(u';');
        if (semicolon >= 0)
            part = part.first(semicolon);
        part = part.trimmed();
        if (!part.isEmpty())
            out << part.toString().toLower();
    }
    return out;
}

// Chunked framing: hex size, optional extensions, line end, data, line end;
// a size 0 ends it (trailers are dropped). Line ends may be LF alone.
DecodedBody dechunk(QByteArrayView in)
{
    DecodedBody out;
    out.bytes.reserve(in.size());
    qsizetype pos = 0;
    for (;;) {
        const qsizetype lf = in.indexOf('\n', pos);
        if (lf < 0) {
            out.problem = QStringLiteral("Chunked-Daten unvollständig");
            return out;
        }
        QByteArrayView sizeLine = in.sliced(pos, lf - pos);
        if (const qsizetype semicolon = sizeLine.indexOf(';'); semicolon >= 0)
            sizeLine = sizeLine.first(semicolon);
        sizeLine = sizeLine.trimmed();
        bool ok = !sizeLine.isEmpty() && sizeLine.size() <= 15;
        qint64 size = 0;
        for (const char c : sizeLine) {
            const int digit = (c >= '0' && c <= '9')   ? c - '0'
                              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                       : -1;
            if (digit < 0) {
                ok = false;
                break;
            }
            size = size * 16 + digit;
        }
        if (!ok) {
            out.problem = QStringLiteral("Chunked-Rahmen fehlerhaft");
            return out;
        }
        pos = lf + 1;
        if (size == 0)
            return out;
        const qint64 available = in.size() - pos;
        if (size > available) {
            out.bytes.append(in.sliced(pos).data(), available);
            out.problem = QStringLiteral("Chunked-Daten unvollständig");
            return out;
        }
        out.bytes.append(in.sliced(pos, size).data(), size);
        pos += size;
        // The data's line end.
        if (pos < in.size() && in[pos] == '\r')
            ++pos;
        if (pos < in.size() && in[pos] == '\n') {
            ++pos;
        } else if (pos < in.size()) {
            out.problem = QStringLiteral("Chunked-Rahmen fehlerhaft");
            return out;
        }
    }
}

// gzip (members one after the other) or deflate (zlib format, or the raw
// deflate some servers send under that name).
DecodedBody inflateBody(QByteArrayView in, bool gzip)
{
    const QString name = gzip ? QStringLiteral("gzip") : QStringLiteral("deflate");
    DecodedBody out;
    int windowBits = gzip ? 15 + 16 : 15;
    for (int attempt = 0; attempt < 2; ++attempt) {
        out = {};
        z_stream z = {};
        if (inflateInit2(&z, windowBits) != Z_OK) {
            out.problem = name + QStringLiteral("-Daten: zlib nicht bereit");
            return out;
        }
        out.bytes.reserve(std::min<qint64>(qint64(in.size()) * 4, qint64(1) << 30));
        qsizetype pos = 0;
        int rc = Z_OK;
        bool anyOutput = false;
        char buffer[64 * 1024];
        while (true) {
            const qsizetype chunk = std::min<qsizetype>(in.size() - pos, qsizetype(1) << 30);
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data() + pos));
            z.avail_in = uInt(chunk);
            do {
                z.next_out = reinterpret_cast<Bytef *>(buffer);
                z.avail_out = sizeof buffer;
                rc = inflate(&z, Z_NO_FLUSH);
                const qsizetype produced = qsizetype(sizeof buffer - z.avail_out);
                if (produced > 0) {
                    out.bytes.append(buffer, produced);
                    anyOutput = true;
                }
            } while (rc == Z_OK && z.avail_out == 0);
            pos += chunk - qsizetype(z.avail_in);
            if (rc == Z_STREAM_END && gzip && pos < in.size()) {
                // Another member follows.
                inflateReset(&z);
                continue;
            }
            if (rc != Z_OK || pos >= in.size())
                break;
        }
        const QString message = z.msg ? QString::fromLatin1(z.msg) : QString();
        inflateEnd(&z);
        if (rc == Z_STREAM_END)
            return out;
        if (rc == Z_DATA_ERROR && !gzip && !anyOutput && attempt == 0) {
            windowBits = -15; // raw deflate
            continue;
        }
        if (rc == Z_OK || rc == Z_BUF_ERROR)
            out.problem = name + QStringLiteral("-Daten unvollständig");
        else
            out.problem = name + QStringLiteral("-Daten fehlerhaft")
                          + (message.isEmpty() ? QString() : QStringLiteral(" (") + message + QLatin1Char(')'));
        return out;
    }
    return out;
}

} // namespace

DecodedBody decodeBody(QByteArrayView body, QStringView transferEncoding, QStringView contentEncoding)
{
    DecodedBody out{body.toByteArray(), {}};
    const QList<QString> transfer = codings(transferEncoding);
    if (!transfer.isEmpty() && transfer.last() == u"chunked") {
        out = dechunk(body);
        if (!out.problem.isEmpty())
            return out;
    }
    // Content codings were applied in the order listed: undone from the last.
    const QList<QString> content = codings(contentEncoding);
    for (auto it = content.rbegin(); it != content.rend(); ++it) {
        if (*it == u"identity")
            continue;
        if (*it != u"gzip" && *it != u"x-gzip" && *it != u"deflate") {
            out.problem = QStringLiteral("Content-Encoding nicht unterstützt: ") + *it;
            return out;
        }
        DecodedBody next = inflateBody(out.bytes, *it != u"deflate");
        out = std::move(next);
        if (!out.problem.isEmpty())
            return out;
    }
    return out;
}

} // namespace varnok
