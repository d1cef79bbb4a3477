// SPDX-License-Identifier: GPL-3.0-or-later
// Requests over TLS: https+unsicher:// to a server with a certificate made
// for this run, https:// refusing that certificate unless the test trusts
// it, a handshake against a server that speaks no TLS, and a large answer.
#include "seitefixture.h"

#include "common/conventions.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace varnok;
using namespace varnok::test;

namespace {

// A TLS server on 127.0.0.1 that records the decrypted bytes of every
// connection and answers what the test sends.
class TlsServer : public QObject
{
public:
    QSslServer server;
    QList<QPointer<QSslSocket>> connections;
    QByteArray received; // of the latest connection
    int handshakesStarted = 0;

    TlsServer(const QSslCertificate &cert, const QSslKey &key)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(cert);
        config.setPrivateKey(key);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        server.setSslConfiguration(config);
        connect(&server, &QSslServer::startedEncryptionHandshake, this, [this] { ++handshakesStarted; });
        connect(&server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                auto *ssl = qobject_cast<QSslSocket *>(s);
                connections << ssl;
                received.clear();
                const qsizetype slot = connections.size() - 1;
                connect(ssl, &QSslSocket::readyRead, this, [this, ssl, slot] {
                    const QByteArray b = ssl->readAll();
                    if (slot == connections.size() - 1)
                        received += b;
                });
            }
        });
        server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return server.serverPort(); }
    QSslSocket *client() const { return connections.isEmpty() ? nullptr : connections.last().data(); }
    bool requestComplete() const { return received.contains("\r\n\r\n"); }
    void send(const QByteArray &bytes) { client()->write(bytes); }
    void closeClient() { client()->disconnectFromHost(); }
};

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
QStringList answerFields(SeiteSetup &s)
{
    QStringList out;
    for (const SeiteFieldRow &row : kSeiteFields)
        if (row.node != SeiteNode::Input)
            out << s.text(row.control.toLatin1().constData());
    return out;
}

} // namespace

class TestSeiteTls : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QSslCertificate m_cert;
    QSslKey m_key;

    // Sends the window's request to `port` and waits until `received`
    // holds the whole request.
    static void start(SeiteSetup &s, const QString &server, quint16 port)
    {
        s.set("Text1", server);
        s.set("Text2", QString::number(port));
        s.window->Command1_Click();
    }

private slots:
    void initTestCase()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("openssl is not installed");
        // A self-signed certificate for 127.0.0.1, made for this run only.
        const QString key = m_dir.filePath(QStringLiteral("key.pem"));
        const QString cert = m_dir.filePath(QStringLiteral("cert.pem"));
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1")});
        QVERIFY(openssl.waitForFinished(30000));
        QVERIFY2(openssl.exitCode() == 0, openssl.readAll().constData());
        QFile c(cert), k(key);
        QVERIFY(c.open(QIODevice::ReadOnly) && k.open(QIODevice::ReadOnly));
        m_cert = QSslCertificate(c.readAll(), QSsl::Pem);
        m_key = QSslKey(k.readAll(), QSsl::Ec, QSsl::Pem);
        QVERIFY(!m_cert.isNull() && !m_key.isNull());
    }

    void unverifiedTlsGivesWhatPlainTcpGives()
    {
        TlsServer tls(m_cert, m_key);
        SeiteSetup s;
        // The scheme in any letter case.
        start(s, QStringLiteral("HTTPS+Unsicher://127.0.0.1"), tls.port());
        QCOMPARE(s.status(), QStringLiteral("1"));
        QTRY_VERIFY(tls.requestComplete());
        // The very bytes of a plain request to the host after the scheme.
        RequestFields plain = s.window->requestFields();
        plain[SeiteField::Server] = QStringLiteral("127.0.0.1");
        QCOMPARE(tls.received, composeRequest(plain));
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Befehl gesendet (ohne Zertifikatsprüfung)"));

        tls.send(kAnswer.first(30));
        QTRY_COMPARE(s.status(), QStringLiteral("2"));
        tls.send(kAnswer.sliced(30, 100));
        tls.send(kAnswer.sliced(130));
        QTRY_COMPARE(s.text("Text10"), decodeCp1252(kAnswer.sliced(kAnswer.indexOf("\r\n\r\n") + 4)));
        tls.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->statusLabelText(), QString());
        const QStringList overTls = answerFields(s);

        // The same answer over plain TCP, from the same window, fills the
        // same fields.
        ScriptedServer server;
        start(s, QStringLiteral("http://127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        QVERIFY(server.received.contains("\r\nHost: 127.0.0.1:" + server.portText().toLatin1() + "\r\n"));
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Befehl gesendet"));
        server.send(kAnswer);
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(answerFields(s), overTls);
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QStringLiteral("Geheim"));
    }

    void selfMadeCertificateIsRefused()
    {
        TlsServer tls(m_cert, m_key);
        SeiteSetup s;
        s.window->setTimeoutInterval(300);
        start(s, QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(s.window->statusLabelText().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        QVERIFY2(s.window->statusLabelText().contains(u"selbst signiert"),
                 qPrintable(s.window->statusLabelText()));
        // A connection that cannot be made: state 1 until Stopp or the
        // timeout, which tries again.
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QTRY_VERIFY(tls.handshakesStarted >= 2);
        QTRY_VERIFY(s.window->statusLabelText().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        // Nothing of the request reached the server.
        QVERIFY(tls.connections.isEmpty());
        QVERIFY(tls.received.isEmpty());

        s.window->Command1_Click();
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.window->statusLabelText(), QString());
    }

    void trustedCertificateIsAccepted()
    {
        TlsServer tls(m_cert, m_key);
        SeiteSetup s;
        s.window->setTrustedCertificates({m_cert});
        start(s, QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Befehl gesendet"));
        QVERIFY(tls.received.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(tls.port()) + "\r\n"));
        tls.send(kAnswer);
        tls.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text("Label25"), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(s.text("Label35"), QStringLiteral("https://127.0.0.1/x"));
    }

    void serverWithoutTlsFailsTheHandshake()
    {
        SeiteSetup s;
        ScriptedServer plain;
        start(s, QStringLiteral("https://127.0.0.1"), plain.port());
        // What a plain HTTP server says to a handshake it cannot read.
        QTRY_VERIFY(!plain.received.isEmpty());
        plain.send("HTTP/1.1 400 Bad Request\r\n\r\n");
        plain.closeClient();
        QTRY_VERIFY(s.window->statusLabelText().startsWith(u"TLS-Handshake fehlgeschlagen: "));
        QVERIFY(s.window->statusLabelText().contains(u"Port"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.window->requestState(), 1);
        QVERIFY(!plain.received.contains("GET /"));
        QCOMPARE(s.text("Label25"), QString());
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
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start(QStringLiteral("openssl"),
                     {QStringLiteral("s_server"), QStringLiteral("-accept"),
                      QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("-cert"),
                      m_dir.filePath(QStringLiteral("cert.pem")), QStringLiteral("-key"),
                      m_dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-WWW"),
                      QStringLiteral("-quiet")});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(100);
            }(),
            10000);

        SeiteSetup s;
        s.set("Text3", QStringLiteral("GET /seite.txt HTTP/1.0"));
        start(s, QStringLiteral("https+unsicher://127.0.0.1"), port);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 10000);
        QVERIFY(s.text("Label25").startsWith(u"HTTP/1.0 200"));
        QCOMPARE(s.text("Text10"), QStringLiteral("Inhalt\r\n"));
        server.kill();
        server.waitForFinished();
    }

    void largeAnswerArrivesByteForByte()
    {
        TlsServer tls(m_cert, m_key);
        SeiteSetup s;
        start(s, QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QByteArray body(20 * 1024 * 1024, Qt::Uninitialized);
        std::mt19937 rng(5);
        for (char &c : body)
            c = char(rng() & 0xFF);
        tls.send("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
        tls.send(body);
        tls.closeClient();
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 60000);
        QCOMPARE(s.text("Text10").size(), body.size());
        QVERIFY(encodeCp1252(s.text("Text10")) == body);
    }
};

QTEST_MAIN(TestSeiteTls)
#include "tst_seitetls.moc"
