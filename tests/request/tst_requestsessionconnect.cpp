// SPDX-License-Identifier: GPL-3.0-or-later
// How the request engine connects beside its Server and Port texts: IPv6
// literals in brackets, SSL_CERT_FILE and the window's own CA, client
// certificates (PEM and PKCS#12), a connect-to address whose Host line and
// TLS name stay the Server text's, the IP family through a test resolver,
// and the TLS details it keeps. Certificates are made for the run.
#include "sessionfixture.h"
#include "support/testcerts.h"

#include "request/connectionsettings.h"

#include <QHash>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace varnok;
using namespace varnok::test;

namespace {

const QByteArray kAnswer = "HTTP/1.1 200 OK\r\nServer: Eigen\r\n\r\nhallo";

// A server on the given loopback address (and port, 0: any) that records
// every connection and, for TLS, what was decrypted. With `clientCa` it
// requires a client certificate that CA made.
class Listener : public QObject
{
public:
    QTcpServer plain;
    QSslServer tls;
    QTcpServer *server = &plain;
    QList<QPointer<QTcpSocket>> connections;
    QByteArray received; // of the latest connection
    int handshakesStarted = 0;
    int handshakeErrors = 0;
    QList<QSslCertificate> clientChains; // the client's certificate, per finished handshake

    Listener(const QHostAddress &address, quint16 port = 0) { listen(address, port); }
    Listener(const TestCertificates &certs, const QHostAddress &address, bool requireClient, quint16 port = 0)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain({certs.certificate("server.pem"), certs.certificate("ca.pem")});
        config.setPrivateKey(certs.key("server-key.pem"));
        config.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
        if (requireClient) {
            config.setCaCertificates({certs.certificate("ca.pem")});
            config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        } else {
            config.setPeerVerifyMode(QSslSocket::VerifyNone);
        }
        tls.setSslConfiguration(config);
        connect(&tls, &QSslServer::startedEncryptionHandshake, this, [this] { ++handshakesStarted; });
        connect(&tls, &QSslServer::errorOccurred, this, [this] { ++handshakeErrors; });
        server = &tls;
        listen(address, port);
    }

    bool listening() const { return server->isListening(); }
    quint16 port() const { return server->serverPort(); }
    bool requestComplete() const { return received.contains("\r\n\r\n"); }
    QTcpSocket *client() const { return connections.isEmpty() ? nullptr : connections.last().data(); }
    void answer(const QByteArray &bytes)
    {
        client()->write(bytes);
        client()->flush();
        client()->disconnectFromHost();
    }

private:
    void listen(const QHostAddress &address, quint16 port)
    {
        connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *s = server->nextPendingConnection()) {
                connections << s;
                received.clear();
                const qsizetype slot = connections.size() - 1;
                if (auto *ssl = qobject_cast<QSslSocket *>(s))
                    clientChains << ssl->peerCertificate();
                connect(s, &QTcpSocket::readyRead, this, [this, s, slot] {
                    const QByteArray b = s->readAll();
                    if (slot == connections.size() - 1)
                        received += b;
                });
            }
        });
        server->listen(address, port);
    }
};

// Names the hosts file does not know, with the addresses the test gives.
class FakeLookup : public HostLookup
{
public:
    QHash<QString, QList<QHostAddress>> names;
    QStringList asked;

    void lookUp(const QString &name, QObject *context, Done done) override
    {
        asked << name;
        QTimer::singleShot(0, context, [this, name, done] { done(names.value(name)); });
    }
};

bool ipv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

void setVerbindung(SessionSetup &s, VerbindungValue v, const QString &text)
{
    s.session->verbindung(v)->setText(text);
}

} // namespace

class TestRequestSessionConnect : public QObject
{
    Q_OBJECT

    TestCertificates m_certs;

private slots:
    void initTestCase()
    {
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        if (!TestCertificates::opensslAvailable())
            QSKIP("openssl is not installed");
        QVERIFY2(m_certs.make(), qPrintable(m_certs.error()));
        qunsetenv("SSL_CERT_FILE");
        qunsetenv("SSL_CERT_DIR");
    }

    void cleanup()
    {
        qunsetenv("SSL_CERT_FILE");
        qunsetenv("SSL_CERT_DIR");
    }

    void bracketedIpv6Literal()
    {
        if (!ipv6Loopback())
            QSKIP("this machine has no ::1");
        Listener server(QHostAddress::LocalHostIPv6);
        QVERIFY(server.listening());
        SessionSetup s;
        s.sendTo(QStringLiteral("[::1]"), server.port());
        QTRY_VERIFY(server.requestComplete());
        // The very bytes of any plain request: the Host line carries the
        // Server text as typed.
        QCOMPARE(server.received, composeRequest(s.session->requestFields()));
        QVERIFY(server.received.contains("\r\nHost: [::1]:" + QByteArray::number(server.port()) + "\r\n"));
        server.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("hallo"));
        QVERIFY(s.session->tlsDetails().isEmpty());

        // With a scheme, over TLS, checked against the window's own CA: the
        // certificate is made out to the address.
        Listener tls(m_certs, QHostAddress::LocalHostIPv6, false);
        setVerbindung(s, VerbindungValue::Ca, m_certs.path("ca.pem"));
        s.sendTo(QStringLiteral("https://[::1]"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        QVERIFY(tls.received.contains("\r\nHost: [::1]:" + QByteArray::number(tls.port()) + "\r\n"));
        tls.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("Eigen"));
        const QStringList details = s.session->tlsDetails();
        QCOMPARE(details.size(), 5);
        QVERIFY(details[0].startsWith(u"Version TLSv1."));
        QCOMPARE(details[2], QStringLiteral("ALPN http/1.1"));
        QVERIFY(details[3].startsWith(u"Zertifikat CN=127.0.0.1; Aussteller CN=Varnok Test-CA; gültig bis "));

        // A bare literal is what it always was: the Host line is cut by
        // the colons, but the connection is made.
        s.sendTo(QStringLiteral("::1"), server.port());
        QTRY_COMPARE(server.connections.size(), 2);
        QTRY_VERIFY(server.requestComplete());
        QVERIFY(server.received.contains("\r\nHost: ::1:" + QByteArray::number(server.port()) + "\r\n"));
    }

    void sslCertFileAddsTrust()
    {
        Listener tls(m_certs, QHostAddress::LocalHost, false);
        SessionSetup s;
        // Without it the own CA is unknown.
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(s.session->statusLabel().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        QVERIFY(tls.connections.isEmpty());
        s.session->toggle();

        qputenv("SSL_CERT_FILE", m_certs.path("ca.pem").toLocal8Bit());
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        tls.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        // A variable naming nothing readable is said, and nothing is sent.
        qputenv("SSL_CERT_FILE", "/gibt/es/nicht.pem");
        const qsizetype before = tls.connections.size();
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QCOMPARE(s.session->statusLabel(),
                 QStringLiteral("SSL_CERT_FILE nicht lesbar: /gibt/es/nicht.pem (nicht gefunden)"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        // Plain requests and unchecked TLS never read it.
        s.session->toggle();
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QTRY_COMPARE(tls.connections.size(), before + 1);
    }

    void clientCertificates_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("passPhrase");
        const QString phrase = QString::fromLatin1(TestCertificates::kPassPhrase);
        QTest::newRow("PEM") << m_certs.path("client.pem") << m_certs.path("client-key.pem") << QString();
        QTest::newRow("PEM, key under a pass phrase")
            << m_certs.path("rsaclient.pem") << m_certs.path("rsaclient-key-enc.pem") << phrase;
        QTest::newRow("PKCS#12 with Passwort") << m_certs.path("client.p12") << QString() << phrase;
        QTest::newRow("PKCS#12 without") << m_certs.path("client-nopass.p12") << QString() << QString();
    }

    void clientCertificates()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, passPhrase);
        Listener tls(m_certs, QHostAddress::LocalHost, true);
        SessionSetup s;
        setVerbindung(s, VerbindungValue::Ca, m_certs.path("ca.pem"));
        setVerbindung(s, VerbindungValue::Zertifikat, certificate);
        setVerbindung(s, VerbindungValue::Schluessel, key);
        setVerbindung(s, VerbindungValue::Passwort, passPhrase);
        s.sendTo(QStringLiteral("https://127.0.0.1"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QCOMPARE(tls.received, composeRequest(s.session->requestFields()));
        QCOMPARE(tls.clientChains.size(), 1);
        QVERIFY(!tls.clientChains[0].isNull());
        tls.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("hallo"));
    }

    void serverRefusesWithoutClientCertificate()
    {
        // OpenSSL's own server, demanding a certificate of the test CA. Over
        // TLS 1.3 it says so after the handshake, with an alert.
        const quint16 port = unusedPort();
        QProcess server;
        QVERIFY(startOpensslServer(server, port,
                                   {QStringLiteral("-cert"), m_certs.path("server.pem"), QStringLiteral("-key"),
                                    m_certs.path("server-key.pem"), QStringLiteral("-Verify"), QStringLiteral("1"),
                                    QStringLiteral("-CAfile"), m_certs.path("ca.pem"), QStringLiteral("-www"),
                                    QStringLiteral("-quiet")}));
        SessionSetup s;
        setVerbindung(s, VerbindungValue::Ca, m_certs.path("ca.pem"));
        s.sendTo(QStringLiteral("https://127.0.0.1"), port);
        QTRY_COMPARE_WITH_TIMEOUT(s.session->statusLabel(), QStringLiteral("Server verlangt ein Client-Zertifikat"),
                                  10000);
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Rueckgabe), QString());

        // With one the same server answers.
        setVerbindung(s, VerbindungValue::Zertifikat, m_certs.path("client.p12"));
        setVerbindung(s, VerbindungValue::Passwort, QString::fromLatin1(TestCertificates::kPassPhrase));
        s.set(SeiteField::Befehl, QStringLiteral("GET / HTTP/1.0"));
        s.sendTo(QStringLiteral("https://127.0.0.1"), port);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 10000);
        QVERIFY2(s.text(SeiteField::Rueckgabe).startsWith(u"HTTP/1.0 200"), qPrintable(s.text(SeiteField::Rueckgabe)));
        QVERIFY(s.text(SeiteField::Text).contains(u"Varnok-Client"));
        server.kill();
        server.waitForFinished();
    }

    void wrongKeySendsNothing()
    {
        Listener tls(m_certs, QHostAddress::LocalHost, true);
        Listener plain(QHostAddress::LocalHost);
        SessionSetup s;
        setVerbindung(s, VerbindungValue::Zertifikat, m_certs.path("client.pem"));
        setVerbindung(s, VerbindungValue::Schluessel, m_certs.path("other-key.pem"));
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat"));
        // A connection that cannot be made: state 1, Stopp, the retry.
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        s.clock->advance(60000);
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat"));
        QTest::qWait(100);
        QCOMPARE(tls.handshakesStarted, 0);
        QVERIFY(tls.connections.isEmpty());

        // An unreadable certificate likewise; a plain request does not care.
        setVerbindung(s, VerbindungValue::Zertifikat, QStringLiteral("/gibt/es/nicht.pem"));
        s.session->toggle();
        s.sendTo(QStringLiteral("https+unsicher://127.0.0.1"), tls.port());
        QCOMPARE(s.session->statusLabel(),
                 QStringLiteral("Client-Zertifikat nicht lesbar: /gibt/es/nicht.pem (nicht gefunden)"));
        s.session->toggle();
        s.sendTo(QStringLiteral("127.0.0.1"), plain.port());
        QTRY_VERIFY(plain.requestComplete());
        QCOMPARE(plain.received, composeRequest(s.session->requestFields()));
    }

    void adresseKeepsHostLineAndServerName()
    {
        // The TLS side: the certificate is checked for the Server text's
        // name while the socket goes to 127.0.0.1.
        Listener tls(m_certs, QHostAddress::LocalHost, false);
        SessionSetup s;
        setVerbindung(s, VerbindungValue::Ca, m_certs.path("ca.pem"));
        setVerbindung(s, VerbindungValue::Adresse, QStringLiteral("127.0.0.1"));
        s.sendTo(QStringLiteral("https://varnok.test"), tls.port());
        QTRY_VERIFY(tls.requestComplete());
        QVERIFY(tls.received.contains("\r\nHost: varnok.test:" + QByteArray::number(tls.port()) + "\r\n"));
        tls.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        // Emptied, the CA is trusted no more: the socket is kept between
        // requests, its settings are not.
        setVerbindung(s, VerbindungValue::Ca, QString());
        s.sendTo(QStringLiteral("https://varnok.test"), tls.port());
        QTRY_VERIFY(s.session->statusLabel().startsWith(u"Zertifikat nicht vertrauenswürdig: "));
        QCOMPARE(tls.connections.size(), 1);
        s.session->toggle();

        // The name goes out as SNI in the ClientHello, in clear.
        Listener hello(QHostAddress::LocalHost);
        s.sendTo(QStringLiteral("https://varnok.test"), hello.port());
        QTRY_VERIFY(hello.received.contains("varnok.test"));
        s.session->toggle();

        // Plain: the bytes of the request to the Server text, sent to Adresse.
        Listener plain(QHostAddress::LocalHost);
        setVerbindung(s, VerbindungValue::Adresse, QStringLiteral("127.0.0.1"));
        s.sendTo(QStringLiteral("www.varnok.test"), plain.port());
        QTRY_VERIFY(plain.requestComplete());
        QCOMPARE(plain.received, composeRequest(s.session->requestFields()));
        QVERIFY(plain.received.contains("\r\nHost: www.varnok.test:"));
        plain.answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        // Emptied, the Server text is where it goes again.
        setVerbindung(s, VerbindungValue::Adresse, QString());
        s.sendTo(QStringLiteral("127.0.0.1"), plain.port());
        QTRY_COMPARE(plain.connections.size(), 2);
    }

    void ipFamilyThroughTheResolver()
    {
        if (!ipv6Loopback())
            QSKIP("this machine has no ::1");
        // One port on both loopback addresses.
        std::unique_ptr<Listener> v4, v6;
        for (int attempt = 0; attempt < 20 && !(v6 && v6->listening()); ++attempt) {
            v4 = std::make_unique<Listener>(QHostAddress::LocalHost);
            v6 = std::make_unique<Listener>(QHostAddress::LocalHostIPv6, v4->port());
        }
        QVERIFY(v6 && v6->listening());
        auto lookup = std::make_unique<FakeLookup>();
        FakeLookup &names = *lookup;
        names.names[QStringLiteral("beide.test")] = {QHostAddress::LocalHostIPv6, QHostAddress::LocalHost};
        names.names[QStringLiteral("nur4.test")] = {QHostAddress::LocalHost};
        SessionSetup s;
        s.session->setHostLookup(std::move(lookup));

        setVerbindung(s, VerbindungValue::Ip, QStringLiteral("4"));
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        QCOMPARE(s.status(), QStringLiteral("1"));
        QTRY_VERIFY(v4->requestComplete());
        QVERIFY(v6->connections.isEmpty());
        QCOMPARE(v4->received, composeRequest(s.session->requestFields()));
        QVERIFY(v4->received.contains("\r\nHost: beide.test:"));
        v4->answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        setVerbindung(s, VerbindungValue::Ip, QStringLiteral("6"));
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        QTRY_VERIFY(v6->requestComplete());
        QCOMPARE(v4->connections.size(), 1);
        QVERIFY(v6->received.contains("\r\nHost: beide.test:"));
        v6->answer(kAnswer);
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        // A family the name does not have, or a name that has nothing: a
        // connection that cannot be made.
        s.sendTo(QStringLiteral("nur4.test"), v4->port());
        QTRY_COMPARE(s.session->statusLabel(), QStringLiteral("Keine IPv6-Adresse für nur4.test"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        s.session->toggle();
        s.sendTo(QStringLiteral("unbekannt.test"), v4->port());
        QTRY_COMPARE(s.session->statusLabel(), QStringLiteral("Server nicht gefunden"));
        s.session->toggle();
        // Adresse is what is looked up; a literal needs no lookup.
        setVerbindung(s, VerbindungValue::Adresse, QStringLiteral("127.0.0.1"));
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Keine IPv6-Adresse für 127.0.0.1"));
        s.session->toggle();
        setVerbindung(s, VerbindungValue::Ip, QStringLiteral("4"));
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        QTRY_COMPARE(v4->connections.size(), 2);
        QCOMPARE(names.asked, (QStringList{"beide.test", "beide.test", "nur4.test", "unbekannt.test"}));

        // Stopp while the name is looked up: no connection follows.
        setVerbindung(s, VerbindungValue::Adresse, QString());
        s.session->toggle();
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        s.session->toggle();
        QTest::qWait(100);
        QCOMPARE(v4->connections.size(), 2);
        QCOMPARE(s.status(), QStringLiteral("0"));

        setVerbindung(s, VerbindungValue::Ip, QStringLiteral("5"));
        s.sendTo(QStringLiteral("beide.test"), v4->port());
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Ungültige IP-Version: 5 (4, 6 oder leer)"));
    }
};

QTEST_GUILESS_MAIN(TestRequestSessionConnect)
#include "tst_requestsessionconnect.moc"
