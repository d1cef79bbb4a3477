// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: varnok-run runs a script that opens a request window, sends a
// request to a real HTTP server on 127.0.0.1, waits for the answer and
// writes what arrived into a file.

#include "support/localhttpserver.h"
#include "support/testcerts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestVarnokRunHttp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    varnok::test::LocalHttpServer m_server;
    quint16 m_port = 0;

    // The lines as a script file in the test's folder (CR LF after each).
    QString writeScript(const QString &name, const QStringList &lines)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
        return path;
    }

private slots:
    void initTestCase()
    {
        if (!varnok::test::LocalHttpServer::available())
            QSKIP("python3 is not installed");
        QDir().mkpath(m_dir.filePath(QStringLiteral("site")));
        QFile page(m_dir.filePath(QStringLiteral("site/index.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("Gr\xfc\xdf" "e\r\nvom Server\n");
        page.close();
        QVERIFY2(m_server.start(m_dir.filePath(QStringLiteral("site"))), "http.server did not start");
        m_port = m_server.port();
    }

    void scriptFetchesAPage()
    {
        const QString out = m_dir.filePath(QStringLiteral("antwort.txt"));
        const QStringList lines = {
            QStringLiteral("EXEC Skript.User.NewVariable(Text(S))"),
            QStringLiteral("EXEC Skript.User.S(NewSeiteFenster())"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Server(Text(127.0.0.1))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Port(%1)").arg(m_port),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Befehl(Text(GET /index.html HTTP/1.0))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Senden()"),
            QStringLiteral("WAITTILL Main.Bedingung.Text.Gleich(SeiteFenster(Skript.User.S).Status Text(0))"),
            QStringLiteral("EXEC Main.File.Create(Text(%1))").arg(out),
            QStringLiteral("EXEC Main.File.Write(Text(%1) 1 Main.Text.Plus(SeiteFenster(Skript.User.S).Output.Rueckgabe "
                           "Main.Text.Plus(Text(|) SeiteFenster(Skript.User.S).Text)))")
                .arg(out),
        };
        const QString script = writeScript(QStringLiteral("abruf.varnok-skript"), lines);
        QVERIFY(!script.isEmpty());

        QProcess run;
        run.start(QStringLiteral(VARNOK_RUN_PATH), {script});
        QVERIFY(run.waitForStarted());
        if (!run.waitForFinished(30000)) {
            run.kill();
            QFAIL("varnok-run did not finish");
        }
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardError()).contains(QStringLiteral("Fehler")), false);

        QFile answer(out);
        QVERIFY(answer.open(QIODevice::ReadOnly));
        const QByteArray bytes = answer.readAll();
        QVERIFY2(bytes.startsWith("HTTP/1.0 200 OK|"), bytes.constData());
        QVERIFY(bytes.endsWith("|Gr\xfc\xdf" "e\r\nvom Server\n"));
    }

    void trustFromSslCertFileAndConnectTo()
    {
        // An own CA named only by SSL_CERT_FILE; the script connects to
        // 127.0.0.1 while the certificate is checked for "localhost".
        varnok::test::TestCertificates certs;
        if (!varnok::test::TestCertificates::opensslAvailable())
            QSKIP("openssl is not installed");
        QVERIFY2(certs.make(), qPrintable(certs.error()));
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        QFile page(m_dir.filePath(QStringLiteral("tls.txt")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("geheim\n");
        page.close();
        QProcess server;
        server.setWorkingDirectory(m_dir.path());
        QVERIFY(varnok::test::startOpensslServer(server, port,
                                                 {QStringLiteral("-cert"), certs.path("server.pem"),
                                                  QStringLiteral("-key"), certs.path("server-key.pem"),
                                                  QStringLiteral("-WWW"), QStringLiteral("-quiet")}));

        const QString out = m_dir.filePath(QStringLiteral("tls-antwort.txt"));
        const QStringList lines = {
            QStringLiteral("EXEC Skript.User.NewVariable(Text(S))"),
            QStringLiteral("EXEC Skript.User.S(NewSeiteFenster())"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Server(Text(https://localhost))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Port(%1)").arg(port),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Befehl(Text(GET /tls.txt HTTP/1.0))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Verbindung.Adresse(Text(127.0.0.1))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Senden()"),
            QStringLiteral("WAITTILL Main.Bedingung.Text.Gleich(SeiteFenster(Skript.User.S).Status Text(0))"),
            QStringLiteral("EXEC Main.File.Create(Text(%1))").arg(out),
            QStringLiteral("EXEC Main.File.Write(Text(%1) 1 Main.Text.Plus(SeiteFenster(Skript.User.S).Output.Rueckgabe "
                           "Main.Text.Plus(Text(|) SeiteFenster(Skript.User.S).Verbindung.Adresse)))")
                .arg(out),
        };
        const QString script = writeScript(QStringLiteral("tls.varnok-skript"), lines);
        QVERIFY(!script.isEmpty());

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SSL_CERT_FILE"), certs.path("ca.pem"));
        env.remove(QStringLiteral("SSL_CERT_DIR"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(VARNOK_RUN_PATH), {script});
        QVERIFY(run.waitForStarted());
        const bool finished = run.waitForFinished(30000);
        if (!finished)
            run.kill();
        server.kill();
        server.waitForFinished();
        QVERIFY2(finished, "varnok-run did not finish (certificate refused?)");
        QCOMPARE(run.exitCode(), 0);
        QFile answer(out);
        QVERIFY(answer.open(QIODevice::ReadOnly));
        const QByteArray bytes = answer.readAll();
        QVERIFY2(bytes.startsWith("HTTP/1.0 200 ok|127.0.0.1"), bytes.constData());
    }

    // A refused connection says why on standard error, once for its
    // Senden; --mitschnitt writes each request that ends.
    void failureLineAndMitschnittFiles()
    {
        quint16 refused = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            refused = probe.serverPort();
        }
        const QStringList lines = {
            QStringLiteral("EXEC Skript.User.NewVariable(Text(S))"),
            QStringLiteral("EXEC Skript.User.S(NewSeiteFenster())"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Server(Text(127.0.0.1))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Port(%1)").arg(m_port),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Befehl(Text(GET /index.html HTTP/1.0))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Senden()"),
            QStringLiteral("WAITTILL Main.Bedingung.Text.Gleich(SeiteFenster(Skript.User.S).Status Text(0))"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Input.Port(%1)").arg(refused),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Senden()"),
            QStringLiteral("WAITWHILE Main.Bedingung.Text.Gleich(SeiteFenster(Skript.User.S).Mitschnitt.Meldung Text())"),
            QStringLiteral("EXEC SeiteFenster(Skript.User.S).Senden()"),
        };
        const QString script = writeScript(QStringLiteral("mitschnitt.varnok-skript"), lines);
        QVERIFY(!script.isEmpty());
        const QString folder = m_dir.filePath(QStringLiteral("mitschnitt"));
        QVERIFY(QDir().mkpath(folder));

        QProcess run;
        run.start(QStringLiteral(VARNOK_RUN_PATH), {QStringLiteral("--mitschnitt"), folder, script});
        QVERIFY(run.waitForStarted());
        if (!run.waitForFinished(30000)) {
            run.kill();
            QFAIL("varnok-run did not finish");
        }
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardError()),
                 QStringLiteral("varnok-run: Seite 1: Verbindung abgelehnt (127.0.0.1:%1)\n").arg(refused));
        QFile first(folder + QStringLiteral("/seite-1-1.txt"));
        QVERIFY(first.open(QIODevice::ReadOnly));
        const QByteArray text = first.readAll();
        QVERIFY(text.contains("0000: GET /index.html HTTP/1.0\n"));
        QVERIFY(text.contains("0000: HTTP/1.0 200 OK\n"));
        QFile second(folder + QStringLiteral("/seite-1-2.txt"));
        QVERIFY(second.open(QIODevice::ReadOnly));
        QVERIFY(second.readAll().contains("== Info: Meldung: Verbindung abgelehnt\n"));

        // A folder that is not there is a wrong call.
        QProcess wrong;
        wrong.start(QStringLiteral(VARNOK_RUN_PATH),
                    {QStringLiteral("--mitschnitt"), m_dir.filePath(QStringLiteral("fehlt")), script});
        QVERIFY(wrong.waitForFinished(30000));
        QCOMPARE(wrong.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestVarnokRunHttp)
#include "tst_varnok_run_http.moc"
