// SPDX-License-Identifier: GPL-3.0-or-later
// varnok-run as a test runner: checks, standard output, parameters, the TAP
// stream read back by a TAP 14 consumer, the JUnit file read as XML, and
// the exit status of several files.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QStringList errLines;
    // "varnok-run: …" lines right after an error box's line: where it
    // happened (the box lines stay alone in errLines, as tools read them).
    QStringList detailLines;
};

Outcome run(const QStringList &args, const QString &dir, const QStringList &env = {})
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("QT_QPA_PLATFORM"));
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString &kv : env)
        e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    QProcess p;
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral(VARNOK_RUN_PATH), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        p.kill();
    p.waitForFinished();
    Outcome o;
    o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.out = p.readAllStandardOutput();
    for (const QString &l : QString::fromUtf8(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts))
        if (l.startsWith(QStringLiteral("QStandardPaths")))
            continue;
        else if (l.startsWith(QStringLiteral("varnok-run: ")) && !o.errLines.isEmpty()
                 && o.errLines.back().contains(QStringLiteral("Fehler ")) && o.errLines.back().contains(QStringLiteral(": ")))
            o.detailLines << l;
        else
            o.errLines << l;
    return o;
}

// A TAP 14 consumer, as strict as a harness: the version line first, test
// points numbered from 1 without gaps, YAML blocks only after a failing
// point and closed, subtests (four blanks deeper) each ending in their own
// plan and followed by the point that sums them up, and a plan that matches
// the points, unless the stream bails out.
struct TapPoint
{
    bool ok = false;
    int number = 0;
    QString description;
    QMap<QString, QString> yaml;
    QList<TapPoint> subtest;
};

struct TapStream
{
    QList<TapPoint> points;
    QStringList comments;
    QString bailOut;
    QString error; // empty when the stream is valid
};

class TapParser
{
public:
    explicit TapParser(const QByteArray &bytes) : m_lines(QString::fromUtf8(bytes).split(u'\n')) {}

    TapStream parse()
    {
        TapStream s;
        if (m_lines.value(0) != QStringLiteral("TAP version 14")) {
            s.error = QStringLiteral("no version line");
            return s;
        }
        m_pos = 1;
        if (m_lines.last().isEmpty())
            m_lines.removeLast();
        else
            s.error = QStringLiteral("last line without line end");
        const QString e = list(QString(), s.points, s.comments, s.bailOut);
        if (s.error.isEmpty())
            s.error = e;
        if (s.error.isEmpty() && m_pos != m_lines.size())
            s.error = QStringLiteral("lines after the end: ") + m_lines[m_pos];
        return s;
    }

private:
    QString list(const QString &indent, QList<TapPoint> &points, QStringList &comments, QString &bail)
    {
        static const QRegularExpression point(QStringLiteral(R"(^(not )?ok (\d+)(?: - (.*))?$)"));
        int plan = -1;
        while (m_pos < m_lines.size()) {
            const QString &raw = m_lines[m_pos];
            if (!raw.startsWith(indent))
                break;
            const QString line = raw.mid(indent.size());
            if (line.startsWith(QStringLiteral("# Subtest: "))) {
                ++m_pos;
                TapPoint sub;
                QStringList subComments;
                QString subBail;
                const QString e = list(indent + QStringLiteral("    "), sub.subtest, subComments, subBail);
                if (!e.isEmpty())
                    return e;
                const auto m = point.match(m_lines.value(m_pos).mid(indent.size()));
                if (!m.hasMatch())
                    return QStringLiteral("subtest without its test point");
                continue; // the summing point is read as an ordinary one next
            }
            if (line.startsWith(u'#')) {
                comments << line;
                ++m_pos;
                continue;
            }
            if (line.startsWith(QStringLiteral("Bail out! "))) {
                bail = line.mid(10);
                ++m_pos;
                return m_pos == m_lines.size() ? QString() : QStringLiteral("lines after Bail out!");
            }
            if (line.startsWith(QStringLiteral("1.."))) {
                plan = line.mid(3).toInt();
                ++m_pos;
                break;
            }
            const auto m = point.match(line);
            if (!m.hasMatch())
                return QStringLiteral("not a TAP line: ") + raw;
            TapPoint p;
            p.ok = m.captured(1).isEmpty();
            p.number = m.captured(2).toInt();
            p.description = m.captured(3);
            if (p.number != points.size() + 1)
                return QStringLiteral("test point out of order: ") + raw;
            ++m_pos;
            if (m_pos < m_lines.size() && m_lines[m_pos] == indent + QStringLiteral("  ---")) {
                if (p.ok)
                    return QStringLiteral("YAML after a passing point");
                for (++m_pos; m_pos < m_lines.size() && m_lines[m_pos] != indent + QStringLiteral("  ..."); ++m_pos) {
                    const QString y = m_lines[m_pos].mid(indent.size() + 2);
                    p.yaml.insert(y.section(QStringLiteral(": "), 0, 0), y.section(QStringLiteral(": "), 1));
                }
                if (m_pos == m_lines.size())
                    return QStringLiteral("YAML block not closed");
                ++m_pos;
            }
            points << p;
        }
        if (plan < 0)
            return indent + QStringLiteral("no plan");
        if (plan != points.size())
            return QStringLiteral("plan %1 for %2 points").arg(plan).arg(points.size());
        return QString();
    }

    QStringList m_lines;
    qsizetype m_pos = 0;
};

// The JUnit file, read as XML: per suite its name and counts, per case
// "NAME@LINE" and what it holds ("failure", "error" or nothing).
struct JUnit
{
    bool wellFormed = false;
    QStringList suites;  // "NAME tests/failures/errors"
    QStringList cases;   // "SUITE|NAME|FILE:LINE|KIND"
};

JUnit readJUnit(const QString &path)
{
    JUnit j;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return j;
    QXmlStreamReader x(&f);
    QString suite, caseText;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == u"testsuite") {
            const auto a = x.attributes();
            suite = a.value(QLatin1String("name")).toString();
            j.suites << QStringLiteral("%1 %2/%3/%4")
                            .arg(suite, a.value(QLatin1String("tests")).toString(), a.value(QLatin1String("failures")).toString(),
                                 a.value(QLatin1String("errors")).toString());
        } else if (x.isStartElement() && x.name() == u"testcase") {
            const auto a = x.attributes();
            caseText = suite + u'|' + a.value(QLatin1String("name")).toString() + u'|'
                       + a.value(QLatin1String("file")).toString() + u':' + a.value(QLatin1String("line")).toString()
                       + u'|';
            j.cases << caseText;
        } else if (x.isStartElement() && (x.name() == u"failure" || x.name() == u"error")) {
            j.cases.last() += x.name().toString();
        }
    }
    j.wellFormed = !x.hasError();
    return j;
}

} // namespace

class TestVarnokRunReports : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString script(const QString &name, const QByteArray &body)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(body);
        return name;
    }

private slots:
    void checksDecideTheExitStatus_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no check") << QByteArray("QUIT\r\n") << 0;
        QTest::newRow("all pass") << QByteArray("EXEC Main.Test.Pruefe(1 Text(a))\r\nEXEC Main.Test.Pruefe(Text(2,5) Text(b))\r\n") << 0;
        QTest::newRow("one fails") << QByteArray("EXEC Main.Test.Pruefe(1 Text(a))\r\nEXEC Main.Test.Pruefe(Text(x) Text(b))\r\n") << 3;
        QTest::newRow("a handled error is no failure")
            << QByteArray("ONERROR EXITFUNCTION\r\nEXEC Main.Test.Pruefe(1 Text(a))\r\nEXEC Foo.Bar()\r\nQUIT\r\n") << 0;
        QTest::newRow("an error box outranks a failed check")
            << QByteArray("EXEC Main.Test.Pruefe(0 Text(a))\r\nEXEC Foo.Bar()\r\n") << 1;
    }
    void checksDecideTheExitStatus()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, exitCode);
        QCOMPARE(run({script(QStringLiteral("s.varnok-skript"), body)}, dir.path()).exitCode, exitCode);
    }

    void pruefeReturnsItsTruthAndWrongCountsStayErrorTwo()
    {
        const Outcome o = run({script(QStringLiteral("r.varnok-skript"),
                                      "EXEC Main.Konsole.Schreibe(Main.Test.Pruefe(7 Text(a)))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Test.Pruefe(Text() Text(b)))\r\n"
                                      "EXEC Main.Test.Pruefe(1)\r\n")},
                              dir.path());
        QCOMPARE(o.out, QByteArray("1\n0\n"));
        QCOMPARE(o.errLines, QStringList{QStringLiteral("r.varnok-skript:3: Fehler 2: ungültige Parameter")});
        QCOMPARE(o.exitCode, 1);
    }

    void tapStreamOfPassingAndFailingChecks()
    {
        const Outcome o = run({QStringLiteral("--tap"),
                               script(QStringLiteral("t.varnok-skript"),
                                      "EXEC Main.Test.Pruefe(1 Text(Status ist 200))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Text(Antwort: ok))\r\n"
                                      "\r\n"
                                      "EXEC Main.Test.Pruefe(0 Text(Kopf # Teil))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Plus(Text(eins) Main.Text.Plus(Main.Convert.Chr(10) Text(ok 3))))\r\n"
                                      "EXEC Main.Test.Pruefe(1 Text())\r\n")},
                              dir.path());
        QCOMPARE(o.exitCode, 3);
        QCOMPARE(o.errLines, QStringList());
        const TapStream s = TapParser(o.out).parse();
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error + QStringLiteral("\n") + QString::fromUtf8(o.out)));
        QCOMPARE(s.points.size(), 3);
        QVERIFY(s.points[2].ok && s.points[2].description.isEmpty());
        QVERIFY(o.out.contains("\nok 3\n"));
        QVERIFY(s.points[0].ok);
        QCOMPARE(s.points[0].description, QStringLiteral("Status ist 200"));
        QVERIFY(!s.points[1].ok);
        QCOMPARE(s.points[1].description, QStringLiteral("Kopf \\# Teil")); // no directive
        QCOMPARE(s.points[1].yaml.value(QStringLiteral("file")), QStringLiteral("\"t.varnok-skript\""));
        QCOMPARE(s.points[1].yaml.value(QStringLiteral("line")), QStringLiteral("4"));
        // Console lines are comments, each of their lines: a line that
        // reads like a test point cannot break the stream.
        QCOMPARE(s.comments, (QStringList{QStringLiteral("# Antwort: ok"), QStringLiteral("# eins"),
                                         QStringLiteral("# ok 3")}));
    }

    void anErrorBoxAfterTwoChecks()
    {
        const QString junit = dir.filePath(QStringLiteral("e.xml"));
        const Outcome o = run({QStringLiteral("--tap"), QStringLiteral("--junit"), junit,
                               script(QStringLiteral("e.varnok-skript"),
                                      "EXEC Main.Test.Pruefe(1 Text(eins))\r\n"
                                      "EXEC Main.Test.Pruefe(1 Text(zwei))\r\n"
                                      "EXEC Foo.Bar()\r\n"
                                      "EXEC Main.Test.Pruefe(1 Text(nie))\r\n")},
                              dir.path());
        QCOMPARE(o.exitCode, 1);
        // Standard error keeps its box line.
        QCOMPARE(o.errLines, QStringList{QStringLiteral("e.varnok-skript:3: Fehler 4: Objekt nicht gefunden")});
        const TapStream s = TapParser(o.out).parse();
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QCOMPARE(s.points.size(), 2);
        QCOMPARE(s.bailOut, QStringLiteral("e.varnok-skript:3: Fehler 4: Objekt nicht gefunden"));
        const JUnit j = readJUnit(junit);
        QVERIFY(j.wellFormed);
        QCOMPARE(j.suites, QStringList{QStringLiteral("e.varnok-skript 3/0/1")});
        QCOMPARE(j.cases, (QStringList{QStringLiteral("e.varnok-skript|eins|e.varnok-skript:1|"),
                                       QStringLiteral("e.varnok-skript|zwei|e.varnok-skript:2|"),
                                       QStringLiteral("e.varnok-skript|Fehler 4: Objekt nicht gefunden|e.varnok-skript:3|error")}));
    }

    void parametersFromTheCommandLineBeforeTheEnvironment()
    {
        const QString s = script(QStringLiteral("p.varnok-skript"),
                                 "EXEC Main.Konsole.Schreibe(Main.Parameter(Text(SERVER)))\r\n"
                                 "EXEC Main.Konsole.Schreibe(Main.Parameter(Text(TOKEN)))\r\n"
                                 "EXEC Main.Konsole.Schreibe(Main.Parameter(Text(server)))\r\n"
                                 "EXEC Main.Konsole.Schreibe(Main.Parameter(Text(FEHLT)))\r\n");
        const QStringList env{QStringLiteral("SERVER=aus-der-umgebung"), QStringLiteral("TOKEN=t0k=n")};
        QCOMPARE(run({s}, dir.path(), env).out, QByteArray("aus-der-umgebung\nt0k=n\n\n\n"));
        QCOMPARE(run({QStringLiteral("-D"), QStringLiteral("SERVER=127.0.0.1:8080"), QStringLiteral("-DTOKEN="),
                      QStringLiteral("-D"), QStringLiteral("SERVER=spaeter"), s},
                     dir.path(), env)
                     .out,
                 QByteArray("spaeter\n\n\n\n"));
    }

    void sucheAtTheEdges()
    {
        // Hallo Wält: the umlaut is one character (a Windows-1252 byte in the file).
        const Outcome o = run({script(QStringLiteral("su.varnok-skript"),
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo W\xe4lt) Text(l) 1))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo W\xe4lt) Text(l) 5))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo W\xe4lt) Text(\xe4) 1))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo W\xe4lt) Text(L) 1))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text(l) -3))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text(o) 6))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text() 3))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text() 6))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text() 7))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text() Text() 0))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text(Hallo!) 1))\r\n"
                                      "EXEC Main.Konsole.Schreibe(Main.Text.Suche(Text(Hallo) Text(l)))\r\n")},
                              dir.path());
        QCOMPARE(QString::fromUtf8(o.out).split(u'\n'),
                 (QStringList{QStringLiteral("3"), QStringLiteral("9"), QStringLiteral("8"), QStringLiteral("0"),
                              QStringLiteral("3"), QStringLiteral("0"), QStringLiteral("3"), QStringLiteral("6"),
                              QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"), QString()}));
        QCOMPARE(o.errLines, QStringList{QStringLiteral("su.varnok-skript:12: Fehler 2: ungültige Parameter")});
    }

    void consoleBytesFollowTheLocale()
    {
        const QString s = script(QStringLiteral("k.varnok-skript"), "EXEC Main.Konsole.Schreibe(Text(Gr\xfc\xdf""e))\r\n");
        QCOMPARE(run({s}, dir.path()).out, QByteArray("Gr\xc3\xbc\xc3\x9f""e\n"));
        QCOMPARE(run({s}, dir.path(), {QStringLiteral("LC_ALL=C")}).out, QByteArray("Gr\xfc\xdf""e\n"));
    }

    void severalFilesEachInTheirOwnWindow()
    {
        const QString junit = dir.filePath(QStringLiteral("all.xml"));
        const QString a = script(QStringLiteral("a.varnok-skript"),
                                 "EXEC Main.Test.Pruefe(Main.Bedingung.Mathe.Gleich(MyIndex() MyIndex()) Text(a1))\r\n"
                                 "EXEC Main.Konsole.Schreibe(Main.Text.Plus(Text(a in ) SkriptFenster(1).Status))\r\n"
                                 "EXEC Main.Test.Pruefe(0 Text(a2))\r\n");
        const QString b = script(QStringLiteral("b.varnok-skript"),
                                 "EXEC Main.Test.Pruefe(SkriptFenster(2).Status Text(b laeuft in Fenster 2))\r\n"
                                 "EXEC Foo.Bar()\r\n");
        const QString c = script(QStringLiteral("c.varnok-skript"), "EXEC Main.Test.Pruefe(1 Text(c1))\r\n");
        const Outcome o = run({QStringLiteral("--tap"), QStringLiteral("--junit"), junit, a,
                               QStringLiteral("fehlt.varnok-skript"), b, c},
                              dir.path());
        // 2 (not loaded) > 1 (box) > 3 (failed check) > 0.
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.errLines, (QStringList{QStringLiteral("varnok-run: Datei kann nicht geladen werden: fehlt.varnok-skript"),
                                         QStringLiteral("b.varnok-skript:2: Fehler 4: Objekt nicht gefunden")}));
        const TapStream s = TapParser(o.out).parse();
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error + QStringLiteral("\n") + QString::fromUtf8(o.out)));
        QCOMPARE(s.points.size(), 4);
        QCOMPARE(s.points[0].description, a);
        QVERIFY(!s.points[0].ok && !s.points[1].ok && !s.points[2].ok && s.points[3].ok);
        const JUnit j = readJUnit(junit);
        QVERIFY(j.wellFormed);
        QCOMPARE(j.suites, (QStringList{QStringLiteral("a.varnok-skript 2/1/0"), QStringLiteral("fehlt.varnok-skript 1/0/1"),
                                        QStringLiteral("b.varnok-skript 2/0/1"), QStringLiteral("c.varnok-skript 1/0/0")}));
        QVERIFY(j.cases.contains(QStringLiteral("b.varnok-skript|b laeuft in Fenster 2|b.varnok-skript:1|")));

        QCOMPARE(run({c, a}, dir.path()).exitCode, 3);
        QCOMPARE(run({b, a}, dir.path()).exitCode, 1);
        QCOMPARE(run({c, c}, dir.path()).exitCode, 0);
    }

    void aReportThatCannotBeWrittenIsExitTwoAndLeavesNothingHalf()
    {
        const QString s = script(QStringLiteral("ok.varnok-skript"), "EXEC Main.Test.Pruefe(1 Text(a))\r\n");
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ordner.xml")));
        const Outcome o = run({QStringLiteral("--junit"), dir.filePath(QStringLiteral("ordner.xml")), s}, dir.path());
        QCOMPARE(o.exitCode, 2);
        QCOMPARE(o.errLines, QStringList{QStringLiteral("varnok-run: JUnit-Bericht kann nicht geschrieben werden: ")
                                         + dir.filePath(QStringLiteral("ordner.xml"))});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("ordner.xml"))).isDir());
        const QStringList left = QDir(dir.path()).entryList({QStringLiteral(".varnok-*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestVarnokRunReports)
#include "tst_varnok_run_reports.moc"
