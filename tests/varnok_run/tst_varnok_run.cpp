// SPDX-License-Identifier: GPL-3.0-or-later
// varnok-run as a user calls it: a process with a file, its exit status and
// the lines it writes to standard error.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "support/files.h"
#include "support/spawn.h"

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace {

struct Outcome
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList errLines;
    // "varnok-run: …" lines right after an error box's line: where it
    // happened (the box lines stay alone in errLines, as tools read them).
    QStringList detailLines;
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
        if (l.startsWith(QStringLiteral("QStandardPaths")))
            continue;
        else if (l.startsWith(QStringLiteral("varnok-run: ")) && !o.errLines.isEmpty()
                 && o.errLines.back().contains(QStringLiteral("Fehler ")) && o.errLines.back().contains(QStringLiteral(": ")))
            o.detailLines << l;
        else
            o.errLines << l;
    o.out = p.readAllStandardOutput();
    return o;
}

Outcome run(const QStringList &args, const QByteArray &input = QByteArray(),
           const QProcessEnvironment &env = headless(), const QString &workingDirectory = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(VARNOK_RUN_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return collect(p);
}

using varnok::test::Stream;
using varnok::test::Streams;

// varnok-run started with the given standard descriptors (File: `errFile`
// for descriptor 2); its exit status, or -1.
int runWithStreams(const QStringList &args, const Streams &streams, const QString &errFile = QString())
{
    return varnok::test::waitForExit(
        varnok::test::spawnWithStreams(VARNOK_RUN_PATH, args, streams, headless(), errFile));
}

// True once a signal sent to the process is no longer pending, i.e. its
// handler has run or is running (two signals of one kind sent while the
// first still waits are delivered as one).
bool signalTaken(qint64 pid, int sig)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("ShdPnd:") || line.startsWith("SigPnd:"))
            if ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (sig - 1)) & 1)
                return false;
    return true;
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
        QCOMPARE(o.errLines, QStringList{s + QStringLiteral(":1: Fehler 4: Objekt nicht gefunden")});
        // Where it happened, on a line of its own after the box's line.
        QCOMPARE(o.detailLines, QStringList{QStringLiteral("varnok-run: EXEC Foo.Bar(); „Foo“ nicht gefunden")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("never"))));
    }

    void unknownStatementIsErrorOne()
    {
        const QString s = script(QStringLiteral("e1.varnok-skript"), "Main.Mathe.Plus(1 2)\r\n");
        const Outcome o = run({s});
        QCOMPARE(o.exitCode, 1);
        QCOMPARE(o.errLines, QStringList{s + QStringLiteral(":1: Fehler 1: unbekannter Befehl")});
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
    }

    void fifoAndOversizedFileExitTwoAtOnce()
    {
        // A FIFO nobody writes to would block the open, an endless or huge
        // file would be read until memory runs out.
        const QString fifo = dir.filePath(QStringLiteral("fifo.varnok-skript"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString huge = dir.filePath(QStringLiteral("huge.varnok-skript"));
        {
            QFile f(huge);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(1) << 30)); // sparse: costs no disk
        }
        QStringList files{fifo, huge};
        // A private zero device, when this test may make one.
        const QString zero = dir.filePath(QStringLiteral("zero"));
        if (::mknod(QFile::encodeName(zero).constData(), S_IFCHR | 0600, makedev(1, 5)) == 0)
            files << zero;
        for (const QString &file : files) {
            QProcess p;
            p.setProcessEnvironment(headless());
            p.start(QStringLiteral(VARNOK_RUN_PATH), {file});
            const bool ended = p.waitForFinished(10000);
            if (!ended) {
                p.kill();
                p.waitForFinished();
            }
            QVERIFY2(ended, qPrintable(file));
            const Outcome o = collect(p);
            QCOMPARE(o.exitCode, 2);
            QCOMPARE(o.errLines.size(), 1);
            QVERIFY(o.errLines[0].contains(file));
        }
        // Standard input that never ends is refused the same way.
        if (files.contains(zero)) {
            QProcess p;
            p.setProcessEnvironment(headless());
            p.setStandardInputFile(zero);
            p.start(QStringLiteral(VARNOK_RUN_PATH), {QStringLiteral("-")});
            const bool ended = p.waitForFinished(10000);
            if (!ended) {
                p.kill();
                p.waitForFinished();
            }
            QVERIFY(ended);
            QCOMPARE(collect(p).exitCode, 2);
        }
    }

    void endlessRecursionEndsWithErrorTwoOnASmallStack()
    {
        // The depth a run may reach follows the real stack limit, however
        // small.
        const QString s = script(QStringLiteral("rekursion.varnok-skript"),
                                 "EXEC Skript.User.NewFunction(Text(F) Text(F))\r\n"
                                 "EXEC Skript.User.F()\r\n"
                                 "QUIT\r\n"
                                 ":F\r\n"
                                 "EXEC Skript.User.F()\r\n"
                                 "EXITFUNCTION\r\n");
        for (const rlim_t kib : {256, 1024}) {
            QProcess p;
            p.setProcessEnvironment(headless());
            p.setChildProcessModifier([kib] {
                struct rlimit limit;
                if (::getrlimit(RLIMIT_STACK, &limit) == 0) {
                    limit.rlim_cur = kib * 1024;
                    ::setrlimit(RLIMIT_STACK, &limit);
                }
            });
            p.start(QStringLiteral(VARNOK_RUN_PATH), {s});
            QVERIFY(p.waitForFinished(30000));
            const Outcome o = collect(p);
            QVERIFY2(o.status == QProcess::NormalExit, qPrintable(QString::number(kib)));
            QCOMPARE(o.exitCode, 1);
            QCOMPARE(o.errLines, QStringList{s + QStringLiteral(":5: Fehler 2: ungültige Parameter")});
        }
    }

    void lineEnds()
    {
        // Without any CR the file was written on Unix: LF ends its lines.
        const QString out = dir.filePath(QStringLiteral("lf.txt"));
        Outcome o = run({script(QStringLiteral("lf.varnok-skript"),
                                "\n\nEXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Text(lf))\nQUIT\nEXEC Foo.Bar()\n")});
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
        QVERIFY(QFile::exists(out));
        // One CR anywhere and the file loads as Laden loads it: the lone LF
        // stays inside the line, "QUIT\nEXEC" is no statement.
        const QString mixed = script(QStringLiteral("mixed.varnok-skript"), "QUIT\nEXEC Foo.Bar()\r\n");
        o = run({mixed});
        QCOMPARE(o.errLines, QStringList{mixed + QStringLiteral(":1: Fehler 1: unbekannter Befehl")});
        QCOMPARE(o.exitCode, 1);
    }

    void scriptFromStandardInput()
    {
        const QString out = dir.filePath(QStringLiteral("stdin.txt"));
        const Outcome o = run({QStringLiteral("-")},
                              "EXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Text(ein))\n");
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("ein"));
    }

    void utf8FileGetsAHintAndRuns()
    {
        // "ä" in UTF-8 is two Windows-1252 characters: the run writes both.
        const QString out = dir.filePath(QStringLiteral("utf8.txt"));
        Outcome o = run({script(QStringLiteral("utf8.varnok-skript"),
                                "EXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Text(\xc3\xa4))\r\n")});
        QCOMPARE(o.errLines.size(), 1);
        QVERIFY(o.errLines[0].startsWith(QStringLiteral("varnok-run: Hinweis: ")));
        QVERIFY(o.errLines[0].contains(QStringLiteral("UTF-8")));
        QCOMPARE(o.exitCode, 0);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\xc3\xa4"));
        // A Windows-1252 "ä" is what Varnok expects: no hint.
        o = run({script(QStringLiteral("cp1252.varnok-skript"),
                        "EXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Text(\xe4))\r\n")});
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
    }

    void boxesNameFileAndLine()
    {
        // The line counts as in the file: the empty lines at its start,
        // which loading drops, count too. An error inside a user function
        // names the function's line.
        const QByteArray body = "\r\n\r\nEXEC Skript.User.NewFunction(Text(F) Text(f))\r\nEXEC Skript.User.F()\r\n"
                                "QUIT\r\n:f\r\n\r\nEXEC Nope.X()\r\nEXITFUNCTION\r\n";
        const QString crlf = script(QStringLiteral("zeilen.varnok-skript"), body);
        Outcome o = run({crlf});
        QCOMPARE(o.errLines, QStringList{crlf + QStringLiteral(":8: Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(o.exitCode, 1);
        // The same with Unix line ends, and from standard input.
        const QByteArray lfBody = QByteArray(body).replace("\r\n", "\n");
        const QString lf = script(QStringLiteral("zeilen-lf.varnok-skript"), lfBody);
        o = run({lf});
        QCOMPARE(o.errLines, QStringList{lf + QStringLiteral(":8: Fehler 4: Objekt nicht gefunden")});
        o = run({QStringLiteral("-")}, lfBody);
        QCOMPARE(o.errLines, QStringList{QStringLiteral("<stdin>:8: Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(o.exitCode, 1);
        // After a user function has returned, the calling statement is the
        // one running again; a wait condition belongs to its WAITTILL,
        // though only the window's tick evaluates it.
        const QString afterCall = script(QStringLiteral("nachruf.varnok-skript"),
                                         "EXEC Skript.User.NewFunction(Text(F) Text(f))\r\n"
                                         "EXEC Main.Text.Plus(Skript.User.F() Nope.X())\r\n"
                                         "QUIT\r\n:f\r\nEXITFUNCTION\r\n");
        o = run({afterCall});
        QCOMPARE(o.errLines, QStringList{afterCall + QStringLiteral(":2: Fehler 4: Objekt nicht gefunden")});
        const QString wait = script(QStringLiteral("bedingung.varnok-skript"), "\nWAITTILL Nope.X()\nQUIT\n");
        o = run({wait});
        QCOMPARE(o.errLines, QStringList{wait + QStringLiteral(":2: Fehler 4: Objekt nicht gefunden")});
        // Once the script has changed its own text, its lines are no longer
        // the file's: the box goes without a place.
        o = run({script(QStringLiteral("selbst.varnok-skript"),
                        "EXEC SkriptFenster(1).Text(Main.Text.Plus(SkriptFenster(1).Text Main.Convert.Chr(32)))\r\n"
                        "EXEC Foo.Bar()\r\n")});
        QCOMPARE(o.errLines, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(o.exitCode, 1);
    }

    void helpAndVersion()
    {
        for (const QString &option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const Outcome o = run({option});
            QCOMPARE(o.exitCode, 0);
            QCOMPARE(o.errLines, QStringList());
            QVERIFY(o.out.startsWith("Aufruf: varnok-run [OPTION] DATEI\n"));
            QVERIFY(o.out.contains("143"));
        }
        for (const QString &option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
            const Outcome o = run({option});
            QCOMPARE(o.exitCode, 0);
            QCOMPARE(o.errLines, QStringList());
            QVERIFY(o.out.startsWith("varnok-run (Varnok) " VARNOK_VERSION "\n"));
        }
    }

    void badArgumentsExitTwoWithUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QStringList() << QStringLiteral("varnok-run: keine Skriptdatei angegeben");
        QTest::newRow("unknown long") << QStringList{QStringLiteral("--schnell"), QStringLiteral("a")}
                                      << QStringLiteral("varnok-run: unbekannte Option: --schnell");
        QTest::newRow("unknown short") << QStringList{QStringLiteral("-x")}
                                       << QStringLiteral("varnok-run: unbekannte Option: -x");
        QTest::newRow("a Qt option") << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")}
                                     << QStringLiteral("varnok-run: unbekannte Option: -p");
        QTest::newRow("value") << QStringList{QStringLiteral("--version=2")}
                               << QStringLiteral("varnok-run: Option --version erwartet keinen Wert");
        QTest::newRow("-D without =") << QStringList{QStringLiteral("-D"), QStringLiteral("SERVER"), QStringLiteral("a")}
                                      << QStringLiteral("varnok-run: -D erwartet NAME=WERT: SERVER");
        QTest::newRow("-D with an empty name") << QStringList{QStringLiteral("-D"), QStringLiteral("=x"), QStringLiteral("a")}
                                               << QStringLiteral("varnok-run: -D erwartet NAME=WERT: =x");
        QTest::newRow("--junit without a file") << QStringList{QStringLiteral("a"), QStringLiteral("--junit")}
                                                << QStringLiteral("varnok-run: Option --junit erwartet einen Wert: DATEI");
        QTest::newRow("standard input twice") << QStringList{QStringLiteral("-"), QStringLiteral("-")}
                                              << QStringLiteral("varnok-run: die Standardeingabe kann nur einmal gelesen werden");
        QTest::newRow("empty name") << QStringList{QString()} << QStringLiteral("varnok-run: leerer Dateiname");
    }
    void badArgumentsExitTwoWithUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Outcome o = run(args);
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.errLines, (QStringList{message, QStringLiteral("Aufruf: varnok-run [OPTION] DATEI")}));
        QCOMPARE(o.out, QByteArray());
    }

    void doubleDashEndsTheOptions()
    {
        const QString out = dir.filePath(QStringLiteral("dash.txt"));
        script(QStringLiteral("-x.varnok-skript"), "EXEC Main.File.Write(Text(" + out.toUtf8() + ") 1 Text(x))\r\n");
        const Outcome o = run({QStringLiteral("--"), QStringLiteral("-x.varnok-skript")}, QByteArray(), headless(),
                              dir.path());
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
        QVERIFY(QFile::exists(out));
    }

    void anUnreachableDisplayDoesNotMatter()
    {
        // Without QT_QPA_PLATFORM the run never needs a display, even when
        // DISPLAY names one that is not there.
        QProcessEnvironment env = headless();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
        const Outcome o = run({script(QStringLiteral("d.varnok-skript"), "QUIT\r\n")}, QByteArray(), env);
        QCOMPARE(o.status, QProcess::NormalExit);
        QCOMPARE(o.errLines, QStringList());
        QCOMPARE(o.exitCode, 0);
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
                 (QStringList{s + QStringLiteral(":3: Speichern: Wollen sie den aktuellen Skript vorher noch speichern?"),
                              s + QStringLiteral(":4: Fehler: Nicht möglich während der Skript ausgeführt wird.")}));
        QCOMPARE(o.exitCode, 0);
    }

    void closedOrBrokenStreamsChangeNothing_data()
    {
        QTest::addColumn<Streams>("streams");
        using S = Stream;
        QTest::newRow("0 closed") << Streams{S::Closed, S::DevNull, S::File};
        QTest::newRow("1 closed") << Streams{S::DevNull, S::Closed, S::File};
        QTest::newRow("2 closed") << Streams{S::DevNull, S::DevNull, S::Closed};
        QTest::newRow("0 and 2 closed") << Streams{S::Closed, S::DevNull, S::Closed};
        QTest::newRow("all closed") << Streams{S::Closed, S::Closed, S::Closed};
        QTest::newRow("2 a pipe without reader") << Streams{S::DevNull, S::BrokenPipe, S::BrokenPipe};
        QTest::newRow("2 a full disk") << Streams{S::DevNull, S::DevFull, S::DevFull};
    }
    void closedOrBrokenStreamsChangeNothing()
    {
        // A closed descriptor 2 was taken by the socket pair that hands
        // signals to the event loop, so the first box line pressed Stopp; a
        // pipe without reader ended the process with SIGPIPE at the first
        // box. Either way the run must go on to its end and its exit status
        // say what the run did.
        QFETCH(Streams, streams);
        const QString marker = dir.filePath(QStringLiteral("weiter"));
        QFile::remove(marker);
        const QString s = script(QStringLiteral("streams.varnok-skript"),
                                 "EXEC NewSkriptFenster()\r\n"
                                 "EXEC SkriptFenster(2).Text(Text(x))\r\n"
                                 "EXEC SkriptFenster(2).Close()\r\n"
                                 "EXEC Main.File.Write(Text(" + marker.toUtf8() + ") 1 Text(ja))\r\n"
                                 "EXEC Foo.Bar()\r\n");
        const QString err = dir.filePath(QStringLiteral("stderr.txt"));
        QCOMPARE(runWithStreams({s}, streams, err), 1);
        QCOMPARE(varnok::test::readAll(marker), QByteArray("ja"));
        if (streams[2] == Stream::File)
            QCOMPARE(varnok::test::readAll(err),
                     s.toUtf8() + ":3: Speichern: Wollen sie den aktuellen Skript vorher noch speichern?\n" + s.toUtf8()
                         + ":5: Fehler 4: Objekt nicht gefunden\n"
                         + "varnok-run: EXEC Foo.Bar(); \xe2\x80\x9e" "Foo\xe2\x80\x9c nicht gefunden\n");
        // A run that ends without a box still says 0.
        QCOMPARE(runWithStreams({script(QStringLiteral("q.varnok-skript"), "QUIT\r\n")}, streams, err), 0);
        // So does the help on a closed or broken standard output.
        QCOMPARE(runWithStreams({QStringLiteral("--help")}, streams, err), 0);
    }

    void closedDescriptorsBecomeTheNullDevice()
    {
        // Opened before anything else, so no file or socket of the program
        // takes their place.
        const QString marker = dir.filePath(QStringLiteral("gestartet"));
        const QString s = script(QStringLiteral("null.varnok-skript"),
                                 "EXEC Main.File.Write(Text(" + marker.toUtf8() + ") 1 Text(x))\r\nWAITTILL 0\r\n");
        const pid_t pid = varnok::test::spawnWithStreams(VARNOK_RUN_PATH, {s},
                                                         {Stream::Closed, Stream::Closed, Stream::Closed}, headless());
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        for (int fd = 0; fd < 3; ++fd)
            QCOMPARE(varnok::test::descriptorTarget(pid, fd), QStringLiteral("/dev/null"));
        ::kill(pid, SIGTERM);
        QCOMPARE(varnok::test::waitForExit(pid), 143);
    }

    void aSecondSignalDuringACopyLeavesNoFile()
    {
        // The second signal ends the process at once; the copy it cuts short
        // must neither leave its half-written temporary file nor touch the
        // target.
        QTemporaryDir work;
        const QString source = work.filePath(QStringLiteral("gross"));
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(2) << 30)); // sparse: costs no disk to make
        }
        const QString targetFolder = work.filePath(QStringLiteral("ziel"));
        QVERIFY(QDir().mkpath(targetFolder));
        const QString target = targetFolder + QStringLiteral("/kopie");
        const QString s = script(QStringLiteral("copy.varnok-skript"),
                                 "EXEC Main.File.Copy(Text(" + source.toUtf8() + ") Text(" + target.toUtf8()
                                     + "))\r\n");
        QProcess p;
        p.setProcessEnvironment(headless());
        p.start(QStringLiteral(VARNOK_RUN_PATH), {s});
        QVERIFY(p.waitForStarted());
        const QDir folder(targetFolder);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (folder.entryList(QDir::Files | QDir::Hidden).isEmpty() && p.state() == QProcess::Running
               && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        QVERIFY2(!QFile::exists(target), "the copy ended before the signals came; the test needs a larger file");
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 1);
        ::kill(pid_t(p.processId()), SIGTERM);
        while (!signalTaken(p.processId(), SIGTERM))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 143);
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void signalPressesStopp_data()
    {
        QTest::addColumn<int>("sig");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    }
    void signalPressesStopp()
    {
        QFETCH(int, sig);
        QFETCH(int, exitCode);
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
        QCOMPARE(o.exitCode, exitCode);
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
