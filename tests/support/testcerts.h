// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Certificates made with the openssl program for one test run, in a private
// temporary folder: an own CA, a server certificate it signed for
// 127.0.0.1, ::1 and varnok.test, and client certificates it signed, as PEM
// with plain and encrypted keys and as PKCS#12 with and without a pass
// phrase. Nothing outside the folder is touched.

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace varnok::test {

class TestCertificates
{
public:
    static constexpr const char *kPassPhrase = "geheim 1";

    static bool opensslAvailable()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
    }

    // Makes every file; false (with `error()` saying why) when openssl fails.
    bool make()
    {
        const QString sanServer =
            QStringLiteral("subjectAltName=IP:127.0.0.1,IP:::1,DNS:varnok.test,DNS:localhost");
        return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", path("ca-key.pem"), "-out", path("ca.pem"), "-days", "2", "-subj",
                    "/CN=Varnok Test-CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"})
            && signed_("server", "/CN=127.0.0.1", sanServer, "ec")
            && signed_("client", "/CN=Varnok-Client", "extendedKeyUsage=clientAuth", "ec")
            && signed_("rsaclient", "/CN=Varnok-RSA-Client", "extendedKeyUsage=clientAuth", "rsa")
            // The RSA client's key under a pass phrase (PKCS#8, encrypted).
            && run({"pkey", "-in", path("rsaclient-key.pem"), "-aes-256-cbc", "-passout",
                    QStringLiteral("pass:") + kPassPhrase, "-out", path("rsaclient-key-enc.pem")})
            // A key of nobody's certificate.
            && run({"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-out",
                    path("other-key.pem")})
            && run({"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out",
                    path("other-rsa-key.pem")})
            && run({"pkcs12", "-export", "-in", path("client.pem"), "-inkey", path("client-key.pem"),
                    "-certfile", path("ca.pem"), "-passout", QStringLiteral("pass:") + kPassPhrase, "-out",
                    path("client.p12")})
            && run({"pkcs12", "-export", "-in", path("client.pem"), "-inkey", path("client-key.pem"),
                    "-passout", "pass:", "-out", path("client-nopass.p12")})
            && concat({"client.pem", "client-key.pem"}, "client-combined.pem");
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString error() const { return m_error; }
    QSslCertificate certificate(const char *name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QSslCertificate(f.readAll(), QSsl::Pem) : QSslCertificate();
    }
    QSslKey key(const char *name, QSsl::KeyAlgorithm algorithm = QSsl::Ec) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QSslKey(f.readAll(), algorithm, QSsl::Pem) : QSslKey();
    }

private:
    bool signed_(const char *name, const char *subject, const QString &extension, const char *kind)
    {
        const QString n = QString::fromLatin1(name);
        const QString ext = m_dir.filePath(n + QStringLiteral(".ext"));
        QFile e(ext);
        if (!e.open(QIODevice::WriteOnly))
            return false;
        e.write(QString(extension).replace(u'=', QStringLiteral(" = ")).toLatin1() + "\n");
        e.close();
        const QStringList newKey = QString::fromLatin1(kind) == u"rsa"
            ? QStringList{"-newkey", "rsa:2048"}
            : QStringList{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1"};
        return run(QStringList{"req", "-new"} + newKey
                   + QStringList{"-nodes", "-keyout", m_dir.filePath(n + QStringLiteral("-key.pem")), "-out",
                                 m_dir.filePath(n + QStringLiteral(".csr")), "-subj", QString::fromLatin1(subject)})
            && run({"x509", "-req", "-in", m_dir.filePath(n + QStringLiteral(".csr")), "-CA", path("ca.pem"),
                    "-CAkey", path("ca-key.pem"), "-CAcreateserial", "-days", "2", "-extfile", ext, "-out",
                    m_dir.filePath(n + QStringLiteral(".pem"))});
    }

    bool concat(std::initializer_list<const char *> names, const char *target)
    {
        QByteArray all;
        for (const char *n : names) {
            QFile f(path(n));
            if (!f.open(QIODevice::ReadOnly))
                return false;
            all += f.readAll();
        }
        QFile out(path(target));
        return out.open(QIODevice::WriteOnly) && out.write(all) == all.size();
    }

    bool run(const QStringList &arguments)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("openssl"), arguments);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = QStringLiteral("openssl ") + arguments.join(u' ') + QStringLiteral(": ")
                + QString::fromLocal8Bit(p.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_error;
};

// Starts `openssl s_server` on 127.0.0.1:`port` with `arguments` after
// "-accept", its output discarded, and waits until it takes connections;
// false when it did not start or take one within ten seconds.
inline bool startOpensslServer(QProcess &server, quint16 port, const QStringList &arguments)
{
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("openssl"), QStringList{QStringLiteral("s_server"), QStringLiteral("-accept"),
                                                        QStringLiteral("127.0.0.1:%1").arg(port)}
                                                + arguments);
    if (!server.waitForStarted())
        return false;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            return true;
        QTest::qWait(20);
    }
    return false;
}

} // namespace varnok::test
