// End to end: varnok-run runs a script that opens a request window, sends a
// request to a real HTTP server on 127.0.0.1, waits for the answer and
// writes what arrived into a file.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TestVarnokRunHttp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_server;
    quint16 m_port = 0;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            QSKIP("python3 is not installed");
        QDir().mkpath(m_dir.filePath(QStringLiteral("site")));
        QFile page(m_dir.filePath(QStringLiteral("site/index.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("Gr\xfc\xdf" "e\r\nvom Server\n");
        page.close();
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            m_port = probe.serverPort();
        }
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(QStringLiteral("python3"),
                       {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                        QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                        m_dir.filePath(QStringLiteral("site"))});
        QVERIFY(m_server.waitForStarted());
        QElapsedTimer t;
        t.start();
        bool up = false;
        while (!up && t.elapsed() < 10000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            up = probe.waitForConnected(200);
            if (!up)
                QThread::msleep(50);
        }
        QVERIFY2(up, "http.server did not start");
    }

    void cleanupTestCase()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
        }
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
        const QString script = m_dir.filePath(QStringLiteral("abruf.varnok-skript"));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
        f.close();

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
};

QTEST_GUILESS_MAIN(TestVarnokRunHttp)
#include "tst_varnok_run_http.moc"
