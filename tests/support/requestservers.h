// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Servers on 127.0.0.1 for request tests: a plain one and a TLS one that
// record what they are sent and answer in the pieces the test chooses, and
// a self-signed certificate made for the run with the openssl program.

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace varnok::test {

// A port nothing listens on (for a refused connection).
inline quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class ScriptedServer : public QObject
{
public:
    QTcpServer server;
    QList<QPointer<QTcpSocket>> connections;
    QByteArray received; // of the latest connection
    QList<QByteArray> requests; // every connection's bytes, in order

    ScriptedServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connections << s;
                received.clear();
                requests << QByteArray();
                const qsizetype slot = requests.size() - 1;
                connect(s, &QTcpSocket::readyRead, this, [this, s, slot] {
                    const QByteArray b = s->readAll();
                    requests[slot] += b;
                    if (slot == requests.size() - 1)
                        received += b;
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString portText() const { return QString::number(port()); }
    bool requestComplete() const { return received.contains("\r\n\r\n"); }
    QTcpSocket *client() const { return connections.isEmpty() ? nullptr : connections.last().data(); }
    void send(const QByteArray &bytes)
    {
        client()->write(bytes);
        client()->flush();
    }
    void closeClient() { client()->disconnectFromHost(); }
    bool clientGone() const
    {
        return client() && client()->state() == QAbstractSocket::UnconnectedState;
    }
};

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

// A self-signed certificate for 127.0.0.1 and its key, written as
// cert.pem and key.pem into `folder`; false when openssl is missing or fails.
inline bool makeSelfSignedCertificate(const QString &folder, QSslCertificate &cert, QSslKey &key)
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        return false;
    const QString keyFile = folder + QStringLiteral("/key.pem");
    const QString certFile = folder + QStringLiteral("/cert.pem");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"), certFile,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return false;
    QFile c(certFile), k(keyFile);
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly))
        return false;
    cert = QSslCertificate(c.readAll(), QSsl::Pem);
    key = QSslKey(k.readAll(), QSsl::Ec, QSsl::Pem);
    return !cert.isNull() && !key.isNull();
}

} // namespace varnok::test
