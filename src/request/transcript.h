// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Mitschnitt of one request: every byte handed to the socket and every
// byte received, in order, and the time of each event, from one Senden to
// the next. Received bytes are kept as the pieces the socket handed over
// (shared, not copied) and turned into text or decoded only when asked.

#include "request/bodydecoder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace varnok {

enum class TranscriptEvent : unsigned char {
    Aufgeloest, // the host name was resolved (not for a literal address)
    Verbunden,  // the TCP connection is up
    Tls,        // the TLS handshake is done
    Gesendet,   // the whole request was written to the connection
    ErstesByte, // the first answer byte arrived
    HeaderEnde, // the answer's header ended
    Geschlossen, // the server closed or broke the connection
    Gestoppt,   // Stopp, or the window closed
    Timeout,    // no data for the timeout's interval
};

// The event's name in `Zeiten`.
QStringView transcriptEventName(TranscriptEvent event);

class Transcript
{
public:
    struct Event
    {
        TranscriptEvent kind;
        qint64 ns; // since the Senden
    };
    struct Arrival
    {
        qint64 ns;      // since the Senden
        qint64 offset;  // of its first byte in the received bytes
        QByteArray bytes;
    };

    Transcript() = default;
    // `startNs` is the Senden's time on the engine's clock; `target` is
    // where the request goes, "HOST:PORT" as typed.
    Transcript(qint64 startNs, QString target) : m_startNs(startNs), m_target(std::move(target)) {}

    // ---- recording, by the engine
    void addEvent(TranscriptEvent kind, qint64 nowNs);
    void addSent(const QByteArray &bytes) { m_sent += bytes; }
    void addArrival(qint64 nowNs, const QByteArray &bytes);
    // A header line that is neither a field of its own nor the status line,
    // as the parser handed it on; the codings are taken from it.
    void noteOtherHeader(QStringView line);
    void addBodyBytes(qint64 count) { m_bodyBytes += count; }
    void noteHeaderEnded() { m_headerEnded = true; }
    void setMeldung(const QString &reason) { m_meldung = reason; }
    void setTls(QStringList lines) { m_tls = std::move(lines); }

    // ---- reading
    const QString &target() const { return m_target; }
    const QByteArray &sent() const { return m_sent; }
    qint64 receivedSize() const { return m_receivedSize; }
    const std::vector<Arrival> &arrivals() const { return m_arrivals; }
    const std::vector<Event> &events() const { return m_events; }
    bool ended() const;
    // `count` received bytes from `offset` on (fewer at the end).
    QByteArray receivedBytes(qint64 offset, qint64 count) const;
    QByteArray received() const { return receivedBytes(0, m_receivedSize); }
    // Where the body starts in the received bytes; -1 while the header lasts.
    qint64 bodyOffset() const { return m_headerEnded ? m_receivedSize - m_bodyBytes : -1; }
    const QString &transferEncoding() const { return m_transferEncoding; }
    const QString &contentEncoding() const { return m_contentEncoding; }
    DecodedBody decoded() const;

    // The script variables' texts (one character per byte, CR LF between
    // lines).
    QString gesendetText() const;
    QString empfangenText() const;
    QString zeitenText() const;
    QString ankuenfteText() const;
    // The last failure reason shown; without one, why the body could not
    // be decoded.
    QString meldungText() const;
    QString tlsText() const { return m_tls.join(QStringLiteral("\r\n")); }
    const QStringList &tlsLines() const { return m_tls; }
    QString dekodiertText() const;

    // The whole exchange as text, as curl --trace-ascii writes it, with the
    // times: events, "=> Send data" and "<= Recv data" blocks.
    QByteArray traceText() const;

    // Milliseconds in the number text form, to the microsecond.
    static QString msText(qint64 ns);

private:
    qint64 m_startNs = 0;
    QString m_target;
    QByteArray m_sent;
    std::vector<Arrival> m_arrivals;
    std::vector<Event> m_events;
    qint64 m_receivedSize = 0;
    qint64 m_bodyBytes = 0;
    bool m_headerEnded = false;
    QString m_transferEncoding;
    QString m_contentEncoding;
    QString m_meldung;
    QStringList m_tls;
    // Whether the body decodes, remembered for the received size it was
    // asked at, so Meldung costs one decoding per answer.
    mutable qint64 m_problemAt = -1;
    mutable QString m_problem;
};

} // namespace varnok
