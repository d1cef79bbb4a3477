// varnok-run as a user calls it: a process with a file, its exit status and
// the lines it writes to standard error.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Outcome
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList errLines;
    QByteArray out;
};

QProcessEnvironment headless()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // varnok-run must find the offscreen platform by itself.
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

Outcome collect(QProcess &p)
{
    Outcome o;
    o.exitCode = p.exitCode();
    o.status = p.exitStatus();
    const QString err = QString::fromUtf8(p.readAllStandardError());
    for (const QString &l : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!l.startsWith(QStringLiteral("QStandardPaths")))
            o.errLines << l;
    o.out = p.readAllStandardOutput();
    return o;
}

Outcome run(const QStringList &args)
{
    QProcess p;
    p.setProcessEnvironment(headless());
    p.start(QStringLiteral(VARNOK_RUN_PATH), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return collect(p);
}

} // namespace

class TestVarnokRun : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString script(const QString &name, const QByteArray &body)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(body);
        return path;
    }

private slots:
    void cleanRunExitsZero()
    {
        const QString out = dir.filePath(QStringLiteral("out.txt"));
        const QString s = script(QStringLiteral("ok.varnok-skript"),
                                 "EXEC Skript.User.NewVariable(Text(I))\r\n"
                                 "EXEC Skript.User.I(0)\r\n"
                                 "DO\r\n"
                                 "EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))\r\n"
                                 "LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 1000)\r\n"
                                 "EXEC Main.File.Write(Text("
                                     + out.toUtf8() + ") 1 Skript.User.I)\r\n");
        const Outcome o = run({s});
        QCOMPARE(o.status, QProcess::NormalExit);
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("1000"));
    }

    void errorBoxExitsOneAndIsWrittenAsALine()
    {
        const QString s = script(QStringLiteral("err.varnok-skript"),
                                 "EXEC Foo.Bar()\r\nEXEC Main.File.Write(Text(" + dir.filePath("never").toUtf8()
                                     + ") 1 Text(x))\r\n");
        const Outcome o = run({s});
        QCOMPARE(o.exitCode, 1);
        QCOMPARE(o.errLines, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("never"))));
    }

    void unknownStatementIsErrorOne()
    {
        const Outcome o = run({script(QStringLiteral("e1.varnok-skript"), "Main.Mathe.Plus(1 2)\r\n")});
        QCOMPARE(o.exitCode, 1);
        QCOMPARE(o.errLines, QStringList{QStringLiteral("Fehler 1: unbekannter Befehl")});
    }

    void handledErrorExitsZero()
    {
        const Outcome o = run({script(QStringLiteral("h.varnok-skript"),
                                      "ONERROR EXITFUNCTION\r\nEXEC Foo.Bar()\r\nQUIT\r\n")});
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
    }

    void missingFileExitsTwo()
    {
        const Outcome o = run({dir.filePath(QStringLiteral("fehlt.varnok-skript"))});
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.errLines.size(), 1);
        QVERIFY(o.errLines[0].contains(QStringLiteral("fehlt.varnok-skript")));
        QCOMPARE(run({}).exitCode, 2);
    }

    void lfOnlyFileGetsAHintAndRunsAsOneLine()
    {
        const Outcome o = run({script(QStringLiteral("lf.varnok-skript"), "QUIT\nEXEC Foo.Bar()\n")});
        QCOMPARE(o.errLines.size(), 2);
        QVERIFY(o.errLines[0].startsWith(QStringLiteral("varnok-run: Hinweis: ")));
        // The one line is the keyword "QUIT\nEXEC" with an argument: error 1.
        QCOMPARE(o.errLines[1], QStringLiteral("Fehler 1: unbekannter Befehl"));
        QCOMPARE(o.exitCode, 1);
    }

    void aWaitEndsAtATick()
    {
        const QString out = dir.filePath(QStringLiteral("wait.txt"));
        const Outcome o = run({script(QStringLiteral("w.varnok-skript"),
                                      "WAITTILL 1\r\nEXEC Main.File.Write(Text(" + out.toUtf8()
                                          + ") 1 Text(weiter))\r\n")});
        QCOMPARE(o.exitCode, 0);
        QVERIFY(QFile::exists(out));
    }

    void aScriptDrivesASecondScriptWindow()
    {
        // Window 1 opens window 2, writes a script into it, runs it as a
        // subroutine and reads back what it left. Window 2's own error box
        // ends only window 2's run.
        const QString out = dir.filePath(QStringLiteral("zwei.txt"));
        const QString s = script(QStringLiteral("drive.varnok-skript"),
                                 "EXEC Skript.User.NewVariable(Text(N))\r\n"
                                 "EXEC Skript.User.N(NewSkriptFenster())\r\n"
                                 "EXEC SkriptFenster(Skript.User.N).Text(Text(EXEC SkriptFenster(2).Text(SkriptFenster(2).Status)))\r\n"
                                 "EXEC SkriptFenster(Skript.User.N).Ausfuehren()\r\n"
                                 "EXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Main.Text.Plus(Skript.User.N SkriptFenster(2).Text))\r\n"
                                 "EXEC SkriptFenster(2).Text(Text(EXEC Foo.Bar()))\r\n"
                                 "EXEC SkriptFenster(2).Ausfuehren()\r\n"
                                 "WAITTILL Main.Nicht(SkriptFenster(2).Status)\r\n");
        const Outcome o = run({s});
        QCOMPARE(o.errLines, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(o.exitCode, 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("21"));
    }

    void questionsAreAnsweredNo()
    {
        // Closing a modified window asks to save; the answer is No, so it
        // closes, and the refusal of closing a running window is a box too.
        const QString s = script(QStringLiteral("q.varnok-skript"),
                                 "EXEC NewSkriptFenster()\r\n"
                                 "EXEC SkriptFenster(2).Text(Text(x))\r\n"
                                 "EXEC SkriptFenster(2).Close()\r\n"
                                 "EXEC SkriptFenster(1).Close()\r\n");
        const Outcome o = run({s});
        QCOMPARE(o.errLines,
                 (QStringList{QStringLiteral("Speichern: Wollen sie den aktuellen Skript vorher noch speichern?"),
                              QStringLiteral("Fehler: Nicht möglich während der Skript ausgeführt wird.")}));
        QCOMPARE(o.exitCode, 0);
    }

    void signalPressesStopp_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void signalPressesStopp()
    {
        QFETCH(int, sig);
        const QString marker = dir.filePath(QStringLiteral("laeuft-%1").arg(sig));
        const QString s = script(QStringLiteral("loop.varnok-skript"),
                                 "EXEC Main.File.Write(Text(" + marker.toUtf8() + ") 1 Text(x))\r\n"
                                 "DO\r\nLOOP\r\n");
        QProcess p;
        p.setProcessEnvironment(headless());
        p.start(QStringLiteral(VARNOK_RUN_PATH), {s});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        ::kill(pid_t(p.processId()), sig);
        QVERIFY(p.waitForFinished(60000));
        const Outcome o = collect(p);
        QCOMPARE(o.status, QProcess::NormalExit);
        QCOMPARE(o.exitCode, 130);
        QCOMPARE(o.errLines, QStringList());
    }

    void signalStopsAWaitingRunToo()
    {
        const QString marker = dir.filePath(QStringLiteral("wartet"));
        const QString s = script(QStringLiteral("wait0.varnok-skript"),
                                 "EXEC Main.File.Write(Text(" + marker.toUtf8() + ") 1 Text(x))\r\n"
                                 "WAITTILL 0\r\n");
        QProcess p;
        p.setProcessEnvironment(headless());
        p.start(QStringLiteral(VARNOK_RUN_PATH), {s});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 130);
    }
};

QTEST_GUILESS_MAIN(TestVarnokRun)
#include "tst_varnok_run.moc"
