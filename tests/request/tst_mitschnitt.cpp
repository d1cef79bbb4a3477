// SPDX-License-Identifier: GPL-3.0-or-later
// The Mitschnitt of a request engine against servers on 127.0.0.1 and
// through SeiteFenster(1).Mitschnitt: the bytes sent and received, the
// events and arrivals with their times, the failure reason, and the body
// with chunked framing and gzip or deflate undone.
#include "sessionfixture.h"

#include "common/conventions.h"
#include "request/bodydecoder.h"

#include <QTest>

#include <zlib.h>

using namespace varnok;
using namespace varnok::test;

namespace {

// `windowBits` 15 + 16 gzip, 15 zlib, -15 raw deflate.
QByteArray compressed(const QByteArray &in, int windowBits)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(in.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.data()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

QByteArray chunked(const QByteArray &in, qsizetype piece)
{
    QByteArray out;
    for (qsizetype at = 0; at < in.size(); at += piece) {
        const QByteArray part = in.mid(at, piece);
        out += QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n";
    }
    return out + "0\r\n\r\n";
}

QByteArray sampleText()
{
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "Zeile " + QByteArray::number(i) + " mit Umlauten \xe4\xf6\xfc und \x01\x02\r\n";
    return text;
}

struct Line
{
    QString name;
    double ms;
};

QList<Line> zeiten(SessionSetup &s)
{
    QList<Line> out;
    const QString text = s.get(u"SeiteFenster(1).Mitschnitt.Zeiten");
    for (const QString &line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char(' '));
        out.append({parts.value(0), numericValue(parts.value(1))});
    }
    return out;
}

QStringList names(const QList<Line> &lines)
{
    QStringList out;
    for (const Line &l : lines)
        out << l.name;
    return out;
}

} // namespace

class TestMitschnitt : public QObject
{
    Q_OBJECT
private slots:
    void emptyBeforeTheFirstSenden()
    {
        SessionSetup s;
        for (QStringView name : kMitschnittNames)
            QCOMPARE(s.get(QStringLiteral("SeiteFenster(1).Mitschnitt.") + name.toString()), QString());
    }

    void bytesEventsAndArrivalsOfAnAnswerInPieces()
    {
        SessionSetup s;
        ScriptedServer server;
        s.set(SeiteField::Anhang, QStringLiteral("\xe4=1"));
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.received.endsWith("\xe4=1"));
        const QByteArray pieces[] = {"HTTP/1.1 200 OK\r\nX-A: 1\r\n", "\r\nKopf\x80\xff", QByteArray("\0Ende", 5)};
        QByteArray all;
        for (const QByteArray &p : pieces) {
            server.send(p);
            all += p;
            QTRY_COMPARE(s.session->transcript()->receivedSize(), all.size());
        }
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet")), server.received);
        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Empfangen")), all);
        QCOMPARE(s.session->transcript()->received(), all);
        // Events in order, times never going back; no name was resolved.
        const QList<Line> z = zeiten(s);
        QCOMPARE(names(z), QStringList({QStringLiteral("verbunden"), QStringLiteral("gesendet"),
                                        QStringLiteral("erstes-byte"), QStringLiteral("header-ende"),
                                        QStringLiteral("geschlossen")}));
        for (qsizetype i = 1; i < z.size(); ++i)
            QVERIFY(z[i - 1].ms <= z[i].ms);
        // One line per arrival, MS BYTES, adding up to what came.
        qint64 total = 0;
        double last = 0;
        const QStringList arrivals =
            s.get(u"SeiteFenster(1).Mitschnitt.Ankuenfte").split(QStringLiteral("\r\n"));
        QCOMPARE(arrivals.size(), 3);
        for (const QString &line : arrivals) {
            const QStringList parts = line.split(QLatin1Char(' '));
            QCOMPARE(parts.size(), 2);
            QVERIFY(numericValue(parts[0]) >= last);
            last = numericValue(parts[0]);
            total += parts[1].toLongLong();
        }
        QCOMPARE(total, all.size());
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Meldung"), QString());
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.TLS"), QString());
        // Neither chunked nor encoded: the body as it came.
        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Dekodiert")), QByteArray("Kopf\x80\xff\0Ende", 11));
        // The trace names the exchange as curl's --trace-ascii does.
        const QByteArray trace = s.session->transcript()->traceText();
        QVERIFY(trace.contains("=> Send data, " + QByteArray::number(server.received.size()) + " bytes"));
        QVERIFY(trace.contains("0000: HTTP/1.1 200 OK\n"));
        QVERIFY(trace.contains(" == Info: geschlossen\n"));
    }

    void aHostNameIsResolvedFirst()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("localhost"), server.port());
        QTRY_COMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        s.session->toggle();
        const QStringList n = names(zeiten(s));
        QVERIFY2(n.size() >= 2 && n[0] == u"aufgeloest" && n[1] == u"verbunden", qPrintable(n.join(u',')));
        QCOMPARE(n.last(), QStringLiteral("gestoppt"));
    }

    void bodiesDecodeToTheOriginal_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("body");
        const QByteArray text = sampleText();
        QTest::newRow("chunked") << QByteArray("Transfer-Encoding: chunked\r\n") << chunked(text, 777);
        QTest::newRow("gzip") << QByteArray("Content-Encoding: gzip\r\n") << compressed(text, 15 + 16);
        QTest::newRow("chunked gzip") << QByteArray("Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n")
                                      << chunked(compressed(text, 15 + 16), 100);
        QTest::newRow("deflate") << QByteArray("Content-Encoding: deflate\r\n") << compressed(text, 15);
        QTest::newRow("raw deflate") << QByteArray("content-encoding: Deflate\r\n") << compressed(text, -15);
        QTest::newRow("two gzip members")
            << QByteArray("Content-Encoding: x-gzip\r\n")
            << compressed(text.left(1000), 15 + 16) + compressed(text.mid(1000), 15 + 16);
    }
    void bodiesDecodeToTheOriginal()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n" + header + "\r\n" + body.left(body.size() / 2));
        QTRY_VERIFY(s.session->transcript()->receivedSize() > 0);
        server.send(body.mid(body.size() / 2));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        // The output box keeps the raw bytes.
        QCOMPARE(encodeCp1252(s.text(SeiteField::Text)), body);
        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Dekodiert")), sampleText());
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Meldung"), QString());
    }

    void brokenEncodingsGiveWhatDecodedAndSayWhy_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("meldung");
        const QByteArray text = sampleText();
        QByteArray corrupt = compressed(text, 15 + 16);
        corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x55);
        QTest::newRow("gzip cut short") << QByteArray("Content-Encoding: gzip\r\n")
                                        << compressed(text, 15 + 16).left(2000)
                                        << QStringLiteral("gzip-Daten unvollständig");
        QTest::newRow("gzip corrupt") << QByteArray("Content-Encoding: gzip\r\n") << corrupt
                                      << QStringLiteral("gzip-Daten fehlerhaft");
        QTest::newRow("not gzip at all") << QByteArray("Content-Encoding: gzip\r\n") << QByteArray("Klartext")
                                         << QStringLiteral("gzip-Daten fehlerhaft");
        QTest::newRow("chunk cut short") << QByteArray("Transfer-Encoding: chunked\r\n")
                                         << QByteArray("10\r\n0123456789")
                                         << QStringLiteral("Chunked-Daten unvollständig");
        QTest::newRow("chunk size not hex") << QByteArray("Transfer-Encoding: chunked\r\n")
                                            << QByteArray("5\r\nabcde\r\nzz\r\n")
                                            << QStringLiteral("Chunked-Rahmen fehlerhaft");
        QTest::newRow("unknown coding") << QByteArray("Content-Encoding: br\r\n") << QByteArray("\x1b\x02")
                                        << QStringLiteral("Content-Encoding nicht unterstützt: br");
    }
    void brokenEncodingsGiveWhatDecodedAndSayWhy()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        QFETCH(QString, meldung);
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n" + header + "\r\n" + body);
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QVERIFY2(s.get(u"SeiteFenster(1).Mitschnitt.Meldung").startsWith(meldung),
                 qPrintable(s.get(u"SeiteFenster(1).Mitschnitt.Meldung")));
        const QByteArray decoded = encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Dekodiert"));
        if (meldung.startsWith(u"gzip-Daten unv"))
            QVERIFY(!decoded.isEmpty() && sampleText().startsWith(decoded));
        if (meldung.startsWith(u"Chunked-Daten"))
            QCOMPARE(decoded, QByteArray("0123456789"));
        if (meldung.startsWith(u"Chunked-Rahmen"))
            QCOMPARE(decoded, QByteArray("abcde"));
    }

    void refusedConnectionNamesTheReasonAndEachRetryIsANewMitschnitt()
    {
        SessionSetup s;
        s.sendTo(QStringLiteral("127.0.0.1"), unusedPort());
        QTRY_COMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Meldung"), QStringLiteral("Verbindung abgelehnt"));
        const auto first = s.session->transcript();
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet"), QString());
        s.clock->advance(60000);
        QCOMPARE(first->zeitenText(), QStringLiteral("timeout 60000"));
        QVERIFY(s.session->transcript() != first);
        QTRY_COMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Meldung"), QStringLiteral("Verbindung abgelehnt"));
        s.session->toggle();
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Zeiten"), QStringLiteral("gestoppt 0"));
    }

    void silentServerEndsInTimeout()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        QTRY_VERIFY(s.session->transcript()->zeitenText().contains(u"gesendet"));
        const auto first = s.session->transcript();
        s.clock->advance(60000);
        const QStringList n = first->zeitenText().split(QStringLiteral("\r\n"));
        QCOMPARE(n.last(), QStringLiteral("timeout 60000"));
        QVERIFY(first->ended());
        s.session->toggle();
    }

    void aScriptsWriteStandsUntilTheNextSenden()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        s.engine.Evaluate(u"SeiteFenster(1).Mitschnitt.Gesendet(Text(eigen))", {});
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet"), QStringLiteral("eigen"));
        s.session->toggle();
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet"), QStringLiteral("eigen"));
        s.session->toggle();
        QCOMPARE(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet"), QString());
        QTRY_VERIFY(!s.get(u"SeiteFenster(1).Mitschnitt.Gesendet").isEmpty());
        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet")),
                 composeRequest(s.session->requestFields()));
        s.session->toggle();
    }

    void decoderEdgeCases()
    {
        // LF-only chunk lines, extensions, upper-case sizes and codings.
        DecodedBody d = decodeBody("3;x=1\nabc\nA\r\n0123456789\r\n0\r\nTrailer: 1\r\n\r\n", u"Chunked", u"");
        QCOMPARE(d.bytes, QByteArray("abc0123456789"));
        QCOMPARE(d.problem, QString());
        d = decodeBody(compressed("hallo", 15 + 16), u"", u"GZIP");
        QCOMPARE(d.bytes, QByteArray("hallo"));
        d = decodeBody("x", u"", u"identity");
        QCOMPARE(d.bytes, QByteArray("x"));
        // A coding applied twice is undone twice.
        d = decodeBody(compressed(compressed("zweimal", 15 + 16), 15), u"", u"gzip, deflate");
        QCOMPARE(d.bytes, QByteArray("zweimal"));
        // chunked not last: the framing stays (nothing else can be done).
        d = decodeBody("abc", u"chunked, gzip", u"");
        QCOMPARE(d.bytes, QByteArray("abc"));
    }
};

QTEST_MAIN(TestMitschnitt)
#include "tst_mitschnitt.moc"
