// SPDX-License-Identifier: GPL-3.0-or-later
// Loading what a connection trusts and shows itself with: CA files, the
// SSL_CERT_FILE / SSL_CERT_DIR trust, client certificates and keys in PEM
// and PKCS#12, each failure with its German reason.
#include "request/connectionsettings.h"
#include "request/requestcomposer.h"
#include "support/testcerts.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSslCipher>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

class TestConnectionSettings : public QObject
{
    Q_OBJECT

    TestCertificates m_certs;
    QTemporaryDir m_dir;

    QString write(const char *name, const QByteArray &bytes)
    {
        const QString p = m_dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return p;
    }

    QByteArray read(const char *name) const
    {
        QFile f(m_certs.path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        if (!TestCertificates::opensslAvailable())
            QSKIP("openssl is not installed");
        QVERIFY2(m_certs.make(), qPrintable(m_certs.error()));
    }

    void caFile()
    {
        const LoadedCertificates ok = loadCaFile(m_certs.path("ca.pem"));
        QCOMPARE(ok.problem, QString());
        QCOMPARE(ok.certificates, QList<QSslCertificate>{m_certs.certificate("ca.pem")});

        // A bundle: every certificate, each once.
        const QString bundle = write("bundle.pem", read("ca.pem") + read("server.pem") + read("ca.pem"));
        QCOMPARE(loadCaFile(bundle).certificates.size(), 2);

        const QString missing = m_dir.filePath(QStringLiteral("fehlt.pem"));
        QCOMPARE(loadCaFile(missing).problem,
                 QStringLiteral("CA-Datei nicht lesbar: ") + missing + QStringLiteral(" (nicht gefunden)"));
        QCOMPARE(loadCaFile(m_dir.path()).problem,
                 QStringLiteral("CA-Datei nicht lesbar: ") + m_dir.path() + QStringLiteral(" (ein Ordner)"));
        const QString text = write("text.pem", "kein Zertifikat\n");
        QCOMPARE(loadCaFile(text).problem,
                 QStringLiteral("CA-Datei nicht lesbar: ") + text + QStringLiteral(" (kein Zertifikat darin)"));
        // A key is not a certificate either.
        QVERIFY(loadCaFile(m_certs.path("client-key.pem")).problem.endsWith(u"(kein Zertifikat darin)"));
        QVERIFY(loadCaFile(m_certs.path("client-key.pem")).certificates.isEmpty());
    }

    void environmentTrust()
    {
        QCOMPARE(loadTrustFromEnvironmentValues({}, {}).certificates, QList<QSslCertificate>{});
        QCOMPARE(loadTrustFromEnvironmentValues({}, {}).problem, QString());

        LoadedCertificates file = loadTrustFromEnvironmentValues(m_certs.path("ca.pem"), {});
        QCOMPARE(file.problem, QString());
        QCOMPARE(file.certificates, QList<QSslCertificate>{m_certs.certificate("ca.pem")});

        // A folder as c_rehash leaves it: a hash link to the certificate,
        // files that hold none; a second folder after a colon.
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(QStringLiteral("certs1")) && root.mkpath(QStringLiteral("certs2")));
        QVERIFY(QFile::link(m_certs.path("ca.pem"), m_dir.filePath(QStringLiteral("certs1/1a2b3c4d.0"))));
        QVERIFY(QFile::copy(m_certs.path("ca.pem"), m_dir.filePath(QStringLiteral("certs1/ca.pem"))));
        write("certs1/README", "Zertifikate\n");
        QVERIFY(root.mkpath(QStringLiteral("certs1/unterordner")));
        QVERIFY(QFile::copy(m_certs.path("server.pem"), m_dir.filePath(QStringLiteral("certs2/server.crt"))));
        const QString dirs = m_dir.filePath(QStringLiteral("certs1")) + u':' + m_dir.filePath(QStringLiteral("certs2"));
        LoadedCertificates dir = loadTrustFromEnvironmentValues({}, dirs);
        QCOMPARE(dir.problem, QString());
        QCOMPARE(dir.certificates,
                 (QList<QSslCertificate>{m_certs.certificate("ca.pem"), m_certs.certificate("server.pem")}));

        // A trust setting that cannot be honoured is said, not dropped.
        const QString missing = m_dir.filePath(QStringLiteral("fehlt.pem"));
        LoadedCertificates bad = loadTrustFromEnvironmentValues(missing, dirs);
        QCOMPARE(bad.problem,
                 QStringLiteral("SSL_CERT_FILE nicht lesbar: ") + missing + QStringLiteral(" (nicht gefunden)"));
        QVERIFY(bad.certificates.isEmpty());
        bad = loadTrustFromEnvironmentValues({}, dirs + QStringLiteral(":/gibt/es/nicht"));
        QCOMPARE(bad.problem, QStringLiteral("SSL_CERT_DIR nicht lesbar: /gibt/es/nicht (kein Ordner)"));
        QVERIFY(bad.certificates.isEmpty());
    }

    void pemClientIdentity()
    {
        ClientIdentity id = loadClientIdentity(m_certs.path("client.pem"), m_certs.path("client-key.pem"), {});
        QCOMPARE(id.problem, QString());
        QCOMPARE(id.certificate, m_certs.certificate("client.pem"));
        QCOMPARE(id.key, m_certs.key("client-key.pem"));
        QVERIFY(id.chain.isEmpty());

        // Certificate and key in one file, with the chain after the
        // certificate.
        const QString withChain = write("client-chain.pem", read("client.pem") + read("ca.pem") + read("client-key.pem"));
        id = loadClientIdentity(withChain, {}, {});
        QCOMPARE(id.problem, QString());
        QCOMPARE(id.certificate, m_certs.certificate("client.pem"));
        QCOMPARE(id.chain, QList<QSslCertificate>{m_certs.certificate("ca.pem")});
        QCOMPARE(id.key, m_certs.key("client-key.pem"));

        // An RSA key under a pass phrase.
        id = loadClientIdentity(m_certs.path("rsaclient.pem"), m_certs.path("rsaclient-key-enc.pem"),
                                QString::fromLatin1(TestCertificates::kPassPhrase));
        QCOMPARE(id.problem, QString());
        QCOMPARE(id.key, m_certs.key("rsaclient-key.pem", QSsl::Rsa));

        QVERIFY(loadClientIdentity({}, {}, {}).isNull());
        QCOMPARE(loadClientIdentity({}, {}, {}).problem, QString());
    }

    void pkcs12ClientIdentity()
    {
        ClientIdentity id = loadClientIdentity(m_certs.path("client.p12"), {},
                                               QString::fromLatin1(TestCertificates::kPassPhrase));
        QCOMPARE(id.problem, QString());
        QCOMPARE(id.certificate, m_certs.certificate("client.pem"));
        QCOMPARE(id.chain, QList<QSslCertificate>{m_certs.certificate("ca.pem")});
        QCOMPARE(id.key, m_certs.key("client-key.pem"));

        id = loadClientIdentity(m_certs.path("client-nopass.p12"), {}, {});
        QCOMPARE(id.problem, QString());
        QCOMPARE(id.certificate, m_certs.certificate("client.pem"));
        QCOMPARE(id.key, m_certs.key("client-key.pem"));

        const QString p12 = m_certs.path("client.p12");
        QCOMPARE(loadClientIdentity(p12, {}, {}).problem,
                 QStringLiteral("Client-Zertifikat nicht lesbar: ") + p12 + QStringLiteral(" (PKCS#12: Passwort fehlt)"));
        QCOMPARE(loadClientIdentity(p12, {}, QStringLiteral("falsch")).problem,
                 QStringLiteral("Client-Zertifikat nicht lesbar: ") + p12 + QStringLiteral(" (PKCS#12: Passwort falsch)"));
        QVERIFY(loadClientIdentity(p12, {}, QStringLiteral("falsch")).isNull());
    }

    void unusableIdentities_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("passPhrase");
        QTest::addColumn<QString>("problem");
        const QString cert = m_certs.path("client.pem");
        const QString rsaCert = m_certs.path("rsaclient.pem");
        const QString encKey = m_certs.path("rsaclient-key-enc.pem");
        const QString missing = m_dir.filePath(QStringLiteral("fehlt.pem"));
        const QString garbage = write("garbage.bin", "\x01\x02 nichts davon");
        const QString text = write("nur-text.pem", "-----BEGIN NOTHING-----\nabc\n-----END NOTHING-----\n");

        QTest::newRow("certificate missing")
            << missing << m_certs.path("client-key.pem") << QString()
            << QStringLiteral("Client-Zertifikat nicht lesbar: ") + missing + QStringLiteral(" (nicht gefunden)");
        QTest::newRow("certificate not a certificate")
            << garbage << QString() << QString()
            << QStringLiteral("Client-Zertifikat nicht lesbar: ") + garbage + QStringLiteral(" (weder PEM noch PKCS#12)");
        QTest::newRow("key missing")
            << cert << missing << QString()
            << QStringLiteral("Schlüssel nicht lesbar: ") + missing + QStringLiteral(" (nicht gefunden)");
        QTest::newRow("key file without a key")
            << cert << text << QString()
            << QStringLiteral("Schlüssel nicht lesbar: ") + text + QStringLiteral(" (kein privater Schlüssel darin)");
        QTest::newRow("no key anywhere")
            << cert << QString() << QString()
            << QStringLiteral("Schlüssel zum Client-Zertifikat fehlt (Schluessel angeben)");
        QTest::newRow("key without certificate")
            << QString() << encKey << QString()
            << QStringLiteral("Client-Zertifikat fehlt zum Schlüssel ") + encKey;
        // Never asked for on the terminal.
        QTest::newRow("pass phrase missing")
            << rsaCert << encKey << QString()
            << QStringLiteral("Schlüssel nicht lesbar: ") + encKey + QStringLiteral(" (Passwort fehlt)");
        QTest::newRow("pass phrase wrong")
            << rsaCert << encKey << QStringLiteral("geheim 2")
            << QStringLiteral("Schlüssel nicht lesbar: ") + encKey + QStringLiteral(" (Passwort falsch)");
        QTest::newRow("EC key of another certificate")
            << cert << m_certs.path("other-key.pem") << QString()
            << QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat");
        QTest::newRow("RSA key of another certificate")
            << rsaCert << m_certs.path("other-rsa-key.pem") << QString()
            << QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat");
        QTest::newRow("EC key for an RSA certificate")
            << rsaCert << m_certs.path("client-key.pem") << QString()
            << QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat");
        QTest::newRow("PKCS#12 with a key of another certificate")
            << m_certs.path("client-nopass.p12") << m_certs.path("other-key.pem") << QString()
            << QStringLiteral("Schlüssel passt nicht zum Client-Zertifikat");
    }

    void unusableIdentities()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, passPhrase);
        QFETCH(QString, problem);
        const ClientIdentity id = loadClientIdentity(certificate, key, passPhrase);
        QCOMPARE(id.problem, problem);
        QVERIFY(id.isNull());
        QVERIFY(id.key.isNull());
    }

    void keyMatchIsDecidedFromTheKeys()
    {
        const QSslCertificate client = m_certs.certificate("client.pem");
        const QSslCertificate rsa = m_certs.certificate("rsaclient.pem");
        QVERIFY(keyMatchesCertificate(m_certs.key("client-key.pem"), client));
        QVERIFY(keyMatchesCertificate(m_certs.key("rsaclient-key.pem", QSsl::Rsa), rsa));
        QVERIFY(!keyMatchesCertificate(m_certs.key("other-key.pem"), client));
        QVERIFY(!keyMatchesCertificate(m_certs.key("other-rsa-key.pem", QSsl::Rsa), rsa));
        QVERIFY(!keyMatchesCertificate(m_certs.key("server-key.pem"), client));
    }

    void tlsDetailsOfAConnection()
    {
        QSslServer server;
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain({m_certs.certificate("server.pem"), m_certs.certificate("ca.pem")});
        config.setPrivateKey(m_certs.key("server-key.pem"));
        config.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
        server.setSslConfiguration(config);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));

        QSslSocket client;
        QSslConfiguration c = client.sslConfiguration();
        c.setCaCertificates({m_certs.certificate("ca.pem")});
        c.setAllowedNextProtocols({QByteArray(QSslConfiguration::NextProtocolHttp1_1)});
        client.setSslConfiguration(c);
        QSignalSpy encrypted(&client, &QSslSocket::encrypted);
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.serverPort());
        QVERIFY(encrypted.wait(10000));

        const QStringList lines = tlsDetailsText(client.sslConfiguration(), true).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("Version TLSv1.3"));
        QCOMPARE(lines[1], QStringLiteral("Cipher ") + client.sessionCipher().name());
        QVERIFY(lines[1].size() > 7);
        QCOMPARE(lines[2], QStringLiteral("ALPN http/1.1"));
        const QString until = m_certs.certificate("server.pem").expiryDate().toUTC().toString(Qt::ISODate);
        QCOMPARE(lines[3], QStringLiteral("Zertifikat CN=127.0.0.1; Aussteller CN=Varnok Test-CA; gültig bis ") + until);
        QVERIFY(until.endsWith(u'Z'));
        QVERIFY(lines[4].startsWith(u"Zertifikat CN=Varnok Test-CA; Aussteller CN=Varnok Test-CA; gültig bis "));
        // A handshake that did not finish has only the chain to show.
        QCOMPARE(tlsDetailLines(client.sslConfiguration(), false), lines.sliced(3));
    }

    void refusedVersionIsNamed()
    {
        // A server that speaks only TLS 1.1, which Qt no longer offers.
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QProcess server;
        QVERIFY(startOpensslServer(server, port,
                                   {QStringLiteral("-cert"), m_certs.path("server.pem"), QStringLiteral("-key"),
                                    m_certs.path("server-key.pem"), QStringLiteral("-tls1_1"),
                                    QStringLiteral("-cipher"), QStringLiteral("DEFAULT@SECLEVEL=0"),
                                    QStringLiteral("-quiet")}));
        QSslSocket client;
        QSignalSpy failed(&client, &QAbstractSocket::errorOccurred);
        client.setPeerVerifyMode(QSslSocket::VerifyNone);
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        QVERIFY(failed.wait(10000));
        QCOMPARE(handshakeProblem(client.error(), client.errorString()),
                 QStringLiteral("TLS-Version vom Server nicht unterstützt: Varnok spricht TLS 1.2 und 1.3"));
        server.kill();
        server.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestConnectionSettings)
#include "tst_connectionsettings.moc"
