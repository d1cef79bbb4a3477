// SPDX-License-Identifier: GPL-3.0-or-later
#include "transcript.h"

#include "common/conventions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace varnok {

namespace {

// The value of a header line when its name (before the colon, upper-cased,
// nothing trimmed, as the parser reads names) is `upperName`.
std::optional<QStringView> headerValue(QStringView line, QStringView upperName)
{
    const qsizetype colon = line.indexOf(u':');
    if (colon != upperName.size() || upperCase(line.first(colon)) != upperName)
        return std::nullopt;
    QStringView value = line.sliced(colon + 1);
    if (value.startsWith(u' '))
        value = value.sliced(1);
    return value;
}

void appendJoined(QString &to, QStringView value)
{
    if (!to.isEmpty())
        to += QStringLiteral(", ");
    to += value;
}

} // namespace

QStringView transcriptEventName(TranscriptEvent event)
{
    switch (event) {
    case TranscriptEvent::Aufgeloest: return u"aufgeloest";
    case TranscriptEvent::Verbunden: return u"verbunden";
    case TranscriptEvent::Tls: return u"tls";
    case TranscriptEvent::Gesendet: return u"gesendet";
    case TranscriptEvent::ErstesByte: return u"erstes-byte";
    case TranscriptEvent::HeaderEnde: return u"header-ende";
    case TranscriptEvent::Geschlossen: return u"geschlossen";
    case TranscriptEvent::Gestoppt: return u"gestoppt";
    case TranscriptEvent::Timeout: return u"timeout";
    }
    return u"";
}

QString Transcript::msText(qint64 ns)
{
    // Whole microseconds: the clock's nanoseconds are noise at this scale.
    return numberText(double(std::llround(double(ns) / 1000.0)) / 1000.0);
}

void Transcript::addEvent(TranscriptEvent kind, qint64 nowNs)
{
    m_events.push_back({kind, std::max<qint64>(0, nowNs - m_startNs)});
}

void Transcript::addArrival(qint64 nowNs, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 ns = std::max<qint64>(0, nowNs - m_startNs);
    if (m_arrivals.empty())
        m_events.push_back({TranscriptEvent::ErstesByte, ns});
    // The socket's piece is shared, not copied, unless it holds far more
    // room than bytes.
    QByteArray kept = bytes;
    if (kept.capacity() - kept.size() > (qsizetype(64) << 10))
        kept = QByteArray(bytes.constData(), bytes.size());
    m_arrivals.push_back({ns, m_receivedSize, std::move(kept)});
    m_receivedSize += bytes.size();
}

void Transcript::noteOtherHeader(QStringView line)
{
    if (const auto v = headerValue(line, u"TRANSFER-ENCODING"))
        appendJoined(m_transferEncoding, *v);
    else if (const auto c = headerValue(line, u"CONTENT-ENCODING"))
        appendJoined(m_contentEncoding, *c);
}

bool Transcript::ended() const
{
    if (m_events.empty())
        return false;
    const TranscriptEvent last = m_events.back().kind;
    return last == TranscriptEvent::Geschlossen || last == TranscriptEvent::Gestoppt
           || last == TranscriptEvent::Timeout;
}

QByteArray Transcript::receivedBytes(qint64 offset, qint64 count) const
{
    offset = std::clamp<qint64>(offset, 0, m_receivedSize);
    count = std::clamp<qint64>(count, 0, m_receivedSize - offset);
    if (count == 0)
        return {};
    auto it = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), offset,
                               [](qint64 at, const Arrival &a) { return at < a.offset; });
    --it;
    // One piece: shared, no copy.
    if (offset == it->offset && count == it->bytes.size())
        return it->bytes;
    QByteArray out;
    out.reserve(count);
    for (; out.size() < count; ++it) {
        const qint64 from = offset + out.size() - it->offset;
        const qint64 take = std::min<qint64>(it->bytes.size() - from, count - out.size());
        out.append(it->bytes.constData() + from, take);
    }
    return out;
}

DecodedBody Transcript::decoded() const
{
    const qint64 body = bodyOffset();
    if (body < 0)
        return {};
    DecodedBody d = decodeBody(receivedBytes(body, m_receivedSize - body), m_transferEncoding, m_contentEncoding);
    m_problemAt = m_receivedSize;
    m_problem = d.problem;
    return d;
}

QString Transcript::gesendetText() const
{
    return decodeCp1252(m_sent);
}

QString Transcript::empfangenText() const
{
    // Straight from the pieces into the text, no byte copy in between.
    QString out(m_receivedSize, Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    for (const Arrival &a : m_arrivals)
        decodeCp1252Into(a.bytes.constData(), a.bytes.size(), to + a.offset);
    return out;
}

QString Transcript::zeitenText() const
{
    QStringList lines;
    for (const Event &e : m_events)
        lines << transcriptEventName(e.kind).toString() + QLatin1Char(' ') + msText(e.ns);
    return lines.join(QStringLiteral("\r\n"));
}

QString Transcript::ankuenfteText() const
{
    QStringList lines;
    for (const Arrival &a : m_arrivals)
        lines << msText(a.ns) + QLatin1Char(' ') + integerText(a.bytes.size());
    return lines.join(QStringLiteral("\r\n"));
}

QString Transcript::meldungText() const
{
    if (!m_meldung.isEmpty())
        return m_meldung;
    if (m_transferEncoding.isEmpty() && m_contentEncoding.isEmpty())
        return QString();
    if (m_problemAt != m_receivedSize)
        decoded();
    return m_problem;
}

QString Transcript::dekodiertText() const
{
    return decodeCp1252(decoded().bytes);
}

namespace {

// curl's --trace-ascii dump: offset, then the bytes with everything outside
// printable ASCII as '.', a line ending at CR LF or after 64 bytes.
void dumpAscii(QByteArray &out, const QByteArray &data)
{
    constexpr qsizetype width = 0x40;
    const qsizetype size = data.size();
    char offset[32];
    for (qsizetype i = 0; i < size;) {
        std::snprintf(offset, sizeof offset, "%4.4llx: ", static_cast<unsigned long long>(i));
        out += offset;
        qsizetype c = 0;
        for (; c < width && i + c < size; ++c) {
            if (i + c + 1 < size && data[i + c] == '\r' && data[i + c + 1] == '\n') {
                c += 2;
                break;
            }
            const unsigned char b = static_cast<unsigned char>(data[i + c]);
            out += (b >= 0x20 && b < 0x80) ? char(b) : '.';
            if (i + c + 2 < size && data[i + c + 1] == '\r' && data[i + c + 2] == '\n') {
                c += 3;
                break;
            }
        }
        i += c;
        out += '\n';
    }
}

void dumpBlock(QByteArray &out, const QString &ms, const char *direction, const QByteArray &data)
{
    char head[96];
    std::snprintf(head, sizeof head, " %s, %lld bytes (0x%llx)\n", direction, static_cast<long long>(data.size()),
                  static_cast<unsigned long long>(data.size()));
    out += ms.toLatin1();
    out += head;
    dumpAscii(out, data);
}

} // namespace

QByteArray Transcript::traceText() const
{
    QByteArray out;
    out += "== Info: " + m_target.toUtf8() + '\n';
    // Events, the request and the arrivals in the order of their times; the
    // request is written when the connection is up.
    qint64 sentAt = -1;
    for (const Event &e : m_events)
        if (e.kind == TranscriptEvent::Verbunden || e.kind == TranscriptEvent::Tls)
            sentAt = e.ns;
    for (const Event &e : m_events)
        if (e.kind == TranscriptEvent::Gesendet)
            sentAt = e.ns;
    std::size_t a = 0;
    bool sentDone = m_sent.isEmpty();
    const auto flushUntil = [&](qint64 ns) {
        if (!sentDone && sentAt >= 0 && sentAt <= ns) {
            dumpBlock(out, msText(sentAt), "=> Send data", m_sent);
            sentDone = true;
        }
        for (; a < m_arrivals.size() && m_arrivals[a].ns <= ns; ++a)
            dumpBlock(out, msText(m_arrivals[a].ns), "<= Recv data", m_arrivals[a].bytes);
    };
    for (const Event &e : m_events) {
        if (e.kind == TranscriptEvent::ErstesByte)
            continue;
        flushUntil(e.ns);
        out += msText(e.ns).toLatin1() + " == Info: " + transcriptEventName(e.kind).toLatin1() + '\n';
    }
    flushUntil(std::numeric_limits<qint64>::max());
    if (!sentDone)
        dumpBlock(out, QStringLiteral("-"), "=> Send data", m_sent);
    if (!m_meldung.isEmpty())
        out += "== Info: Meldung: " + m_meldung.toUtf8() + '\n';
    for (const QString &line : m_tls)
        out += "== Info: TLS " + line.toUtf8() + '\n';
    return out;
}

} // namespace varnok
