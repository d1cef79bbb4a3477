// SPDX-License-Identifier: GPL-3.0-or-later
// The request engine over TLS: https+unsicher:// to a server with a
// certificate made for this run, https:// refusing that certificate unless
// the test trusts it, a handshake against a server that speaks no TLS, the
// server's close_notify, and a large answer.
#include "sessionfixture.h"
#include "support/testcerts.h"

#include "common/conventions.h"

#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace varnok;
using namespace varnok::test;

namespace {

const QByteArray kAnswer =
    "HTTP/1.1 200 OK\r\n"
    "Server: Geheim\r\n"
    "Date: heute\r\n"
    "Content-Type: text/plain\r\n"
    "Set-Cookie: a=1\r\n"
    "ETag: \"e\"\r\n"
    "Content-Length: 12\r\n"
    "Location: https://127.0.0.1/x\r\n"
    "\r\n"
    "verschl\xfcsselt\r\n";

// Every text the window shows of an answer: the answer fields and the body.
QStringList answerFields(const SessionSetup &s)
{
    QStringList out;
    for (const SeiteFieldRow &row : kSeiteFields)
        if (row.node != SeiteNode::Input)
            out << s.text(row.field);
    return out;
}

} // namespace

class TestRequestSessionTls : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QSslCertificate m_cert;
    QSslKey m_key;

private slots:
    void initTestCase()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        if (!makeSelfSignedCertificate(m_dir.path(), m_cert, m_key))
            QSKIP("openssl cannot make a certificate here");
    }

    void unverifiedTlsGivesWhatPlainTcpGives()
    {
        TlsServer tls(m_cert, m_key);
        SessionSetup s;
        // The scheme in any letter case.
        s.sendTo(QStringLiteral("HTTPS+Unsicher://127.0.0.1"), tls.port());
        QCOMPARE(s.status(), QStringLiteral("1"));
        QTRY_VERIFY(tls.requestComplete());
        // The very bytes of a plain request to the host after the scheme.
        RequestFields plain = s.session->requestFields();
        plain[SeiteField::Server] = QStringLiteral("127.0.0.1");
        QCOMPARE(tls.received, composeRequest(plain));
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet (ohne Zertifikatsprüfung)"));

        tls.send(kAnswer.first(30));
        QTRY_COMPARE(s.status(), QStringLiteral("2"));
        tls.send(kAnswer.sliced(30, 100));
        tls.send(kAnswer.sliced(130));
        QTRY_COMPARE(s.text(SeiteField::Text), decodeCp1252(kAnswer.sliced(kAnswer.indexOf("\r\n\r\n") + 4)));
        tls.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->statusLabel(), QString());
        const QStringList overTls = answerFields(s);

        // The same answer over plain TCP, from the same window, fills the
        // same fields.
        ScriptedServer server;
        s.sendTo(QStringLiteral("http://127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        QVERIFY(server.received.contains("\r\nHost: 127.0.0.1:" + server.portText().toLatin1() + "\r\n"));
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        server.send(kAnswer);
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(answerFields(s), overTls);
    }

    void mitschnittNamesTheHandshakeAndTheChain()
    {
        TlsServer tls(m_cert, m_key);
        QSslConfiguration alpn = tls.server.sslConfiguration();
        alpn.setAllowedNextProtocols({QByteArray("http/1.1")});
        tls.server.setSslConfiguration(alpn);
        SessionSetup s;
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        // The bytes sent are those before encryption.
        QCOMPARE(encodeCp1252(s.get(u"SeiteFenster(1).Mitschnitt.Gesendet")), tls.received);
        tls.send(kAnswer);
        tls.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->transcript()->received(), kAnswer);
        const QStringList lines = s.get(u"SeiteFenster(1).Mitschnitt.TLS").split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(u"Version TLSv1."));
        QVERIFY(lines[1].startsWith(u"Cipher ") && lines[1].size() > 8);
        QCOMPARE(lines[2], QStringLiteral("ALPN http/1.1"));
        QVERIFY2(lines[3].startsWith(u"Zertifikat CN=127.0.0.1; Aussteller CN=127.0.0.1; gültig bis 20"),
                 qPrintable(lines[3]));
        QStringList events;
        for (const QString &line : s.get(u"SeiteFenster(1).Mitschnitt.Zeiten").split(QStringLiteral("\r\n")))
            events << line.section(QLatin1Char(' '), 0, 0);
        QVERIFY2(events.size() == 6, qPrintable(events.join(u',')));
        QCOMPARE(events, QStringList({QStringLiteral("verbunden"), QStringLiteral("tls"), QStringLiteral("gesendet"),
                                      QStringLiteral("erstes-byte"), QStringLiteral("header-ende"),
                                      QStringLiteral("geschlossen")}));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QStringLiteral("Geheim"));
    }

    void selfMadeCertificateIsRefused()
    {
        TlsServer tls(m_cert, m_key);
        SessionSetup s;
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(s.session->statusLabel().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        QVERIFY2(s.session->statusLabel().contains(u"selbst signiert"),
                 qPrintable(s.session->statusLabel()));
        // A connection that cannot be made: state 1 until Stopp or the
        // timeout, which tries again.
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QTRY_COMPARE(tls.handshakesStarted, 1);
        s.clock->advance(60000);
        QTRY_COMPARE(tls.handshakesStarted, 2);
        QTRY_VERIFY(s.session->statusLabel().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        // The refused chain is in the Mitschnitt, and why.
        QVERIFY(s.get(u"SeiteFenster(1).Mitschnitt.TLS").startsWith(u"Zertifikat CN=127.0.0.1"));
        QVERIFY(s.get(u"SeiteFenster(1).Mitschnitt.Meldung").startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        // Nothing of the request reached the server.
        QVERIFY(tls.connections.isEmpty());
        QVERIFY(tls.received.isEmpty());

        s.session->toggle();
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.session->statusLabel(), QString());
    }

    void trustedCertificateIsAccepted()
    {
        TlsServer tls(m_cert, m_key);
        SessionSetup s;
        s.session->setSettings({{m_cert}});
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        QVERIFY(tls.received.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(tls.port()) + "\r\n"));
        tls.send(kAnswer);
        tls.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Rueckgabe), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(s.text(SeiteField::Location), QStringLiteral("https://127.0.0.1/x"));
    }

    void serverWithoutTlsFailsTheHandshake()
    {
        SessionSetup s;
        ScriptedServer plain;
        s.sendTo(QStringLiteral("https://127.0.0.1"), plain.port());
        // What a plain HTTP server says to a handshake it cannot read.
        QTRY_VERIFY(!plain.received.isEmpty());
        plain.send("HTTP/1.1 400 Bad Request\r\n\r\n");
        plain.closeClient();
        QTRY_VERIFY(s.session->statusLabel().startsWith(u"TLS-Handshake fehlgeschlagen: "));
        QVERIFY(s.session->statusLabel().contains(u"Port"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->requestState(), 1);
        QVERIFY(!plain.received.contains("GET /"));
        QCOMPARE(s.text(SeiteField::Rueckgabe), QString());
    }

    void closeNotifyEndsTheAnswer()
    {
        // openssl's test server ends an answer with close_notify and then
        // waits for the client's: the window must not wait for the TCP close.
        QFile page(m_dir.filePath(QStringLiteral("seite.txt")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("Inhalt\r\n");
        page.close();
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QProcess server;
        server.setWorkingDirectory(m_dir.path());
        QVERIFY(startOpensslServer(server, port,
                                   {QStringLiteral("-cert"), m_dir.filePath(QStringLiteral("cert.pem")),
                                    QStringLiteral("-key"), m_dir.filePath(QStringLiteral("key.pem")),
                                    QStringLiteral("-WWW"), QStringLiteral("-quiet")}));

        SessionSetup s;
        s.set(SeiteField::Befehl, QStringLiteral("GET /seite.txt HTTP/1.0"));
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), port);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 10000);
        QVERIFY(s.text(SeiteField::Rueckgabe).startsWith(u"HTTP/1.0 200"));
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("Inhalt\r\n"));
        server.kill();
        server.waitForFinished();
    }

    void largeAnswerArrivesByteForByte()
    {
        TlsServer tls(m_cert, m_key);
        SessionSetup s;
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QByteArray body(20 * 1024 * 1024, Qt::Uninitialized);
        std::mt19937 rng(5);
        for (char &c : body)
            c = char(rng() & 0xFF);
        tls.send("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
        tls.send(body);
        tls.closeClient();
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 60000);
        QCOMPARE(s.text(SeiteField::Text).size(), body.size());
        QVERIFY(encodeCp1252(s.text(SeiteField::Text)) == body);
    }
};

QTEST_MAIN(TestRequestSessionTls)
#include "tst_requestsessiontls.moc"
