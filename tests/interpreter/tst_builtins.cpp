// SPDX-License-Identifier: GPL-3.0-or-later
// Built-in families that need the machine: files, the clock, random numbers,
// and the parameter limit seen from a user function.

#include "support/files.h"
#include "evalfixture.h"

#include "common/conventions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

class TestBuiltins : public QObject
{
    Q_OBJECT
private slots:
    void filesReadAndWriteBytes()
    {
        QTemporaryDir dir;
        EvalFixture f;
        const QString name = dir.filePath(QStringLiteral("daten.bin"));
        const QString t = QStringLiteral("Text(%1)").arg(name);

        // Reading a missing file creates it empty, without an error.
        QCOMPARE(f.eval(QStringLiteral("Main.File.Read(%1 1 10)").arg(t)).errors, QString());
        QVERIFY(QFile::exists(name));
        QCOMPARE(readAll(name), QByteArray());

        QCOMPARE(f.errors(QStringLiteral("Main.File.Write(%1 1 Text(Hallo Welt))").arg(t)), QString());
        QCOMPARE(f.value(QStringLiteral("Main.File.Read(%1 7 4)").arg(t)), QStringLiteral("Welt"));
        // Past the end only the bytes that exist come back.
        QCOMPARE(f.value(QStringLiteral("Main.File.Read(%1 7 100)").arg(t)), QStringLiteral("Welt"));
        QCOMPARE(f.value(QStringLiteral("Main.File.Read(%1 50 3)").arg(t)), QString());
        // Writing overwrites in place and never truncates.
        f.value(QStringLiteral("Main.File.Write(%1 2 Text(ALL))").arg(t));
        QCOMPARE(readAll(name), QByteArray("HALLo Welt"));
        // Writing past the end extends the file with zero bytes.
        f.value(QStringLiteral("Main.File.Write(%1 13 Text(!))").arg(t));
        QCOMPARE(readAll(name), QByteArray("HALLo Welt\0\0!", 13));
        // Characters become Windows-1252 bytes and back.
        f.value(QStringLiteral("Main.File.Write(%1 1 Main.Convert.Chr(128))").arg(t));
        QCOMPARE(readAll(name).at(0), char(0x80));
        QCOMPARE(f.value(QStringLiteral("Main.File.Read(%1 1 1)").arg(t)), QStringLiteral("€"));

        for (const QString &bad : {QStringLiteral("Main.File.Read(%1 0 1)"), QStringLiteral("Main.File.Read(%1 1 -1)"),
                                   QStringLiteral("Main.File.Read(%1 1E12 1)"), QStringLiteral("Main.File.Write(%1 -3 Text(x))"),
                                   QStringLiteral("Main.File.Read(Text() 1 1)")})
            QCOMPARE(f.errors(bad.arg(t)), QStringLiteral("8"));
        QCOMPARE(f.host.engine().GetValueByPath(u"Skript.Error.Text", f.ctx.run, 0), QStringLiteral("Fehler"));
    }

    void createDeleteCopy()
    {
        QTemporaryDir dir;
        EvalFixture f;
        auto path = [&](const char *n) { return dir.filePath(QString::fromLatin1(n)); };
        for (const char *n : {"a.tmp", "b.tmp", "c.txt", "[x].tmp"}) {
            QFile file(path(n));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("inhalt");
        }
        QCOMPARE(f.errors(QStringLiteral("Main.File.Create(Text(%1))").arg(path("c.txt"))), QString());
        QCOMPARE(readAll(path("c.txt")), QByteArray());

        QCOMPARE(f.errors(QStringLiteral("Main.File.Copy(Text(%1) Text(%2))").arg(path("a.tmp"), path("kopie.txt"))), QString());
        QCOMPARE(readAll(path("kopie.txt")), QByteArray("inhalt"));
        // An existing target is replaced.
        QCOMPARE(f.errors(QStringLiteral("Main.File.Copy(Text(%1) Text(%2))").arg(path("c.txt"), path("kopie.txt"))), QString());
        QCOMPARE(readAll(path("kopie.txt")), QByteArray());
        QCOMPARE(f.errors(QStringLiteral("Main.File.Copy(Text(%1) Text(%2))").arg(path("fehlt"), path("x"))), QStringLiteral("8"));

        // Only * and ? are wildcards; brackets are plain characters.
        QCOMPARE(f.errors(QStringLiteral("Main.File.Delete(Text(%1))").arg(path("?.tmp"))), QString());
        QVERIFY(!QFile::exists(path("a.tmp")) && !QFile::exists(path("b.tmp")));
        QVERIFY(QFile::exists(path("[x].tmp")));
        QCOMPARE(f.errors(QStringLiteral("Main.File.Delete(Text(%1))").arg(path("*.tmp"))), QString());
        QVERIFY(!QFile::exists(path("[x].tmp")));
        QCOMPARE(f.errors(QStringLiteral("Main.File.Delete(Text(%1))").arg(path("*.tmp"))), QStringLiteral("8"));
        QCOMPARE(f.errors(QStringLiteral("Main.File.Delete(Text(%1))").arg(path("c.txt"))), QString());
        QCOMPARE(f.errors(QStringLiteral("Main.File.Delete(Text(%1))").arg(path("c.txt"))), QStringLiteral("8"));
        QCOMPARE(f.errors(QStringLiteral("Main.File.Create(Text(%1))").arg(dir.filePath("nicht/da.txt"))), QStringLiteral("8"));
    }

    void clockAndRandom()
    {
        EvalFixture f;
        const double t1 = numericValue(f.value(u"Main.Timer()"));
        QTest::qWait(20);
        const double t2 = numericValue(f.value(u"Main.Timer()"));
        QVERIFY(t2 - t1 >= 15);
        QVector<int> seen(7);
        for (int i = 0; i < 2000; ++i) {
            const int v = int(numericValue(f.value(u"Main.Random(6 1)")));
            QVERIFY(v >= 1 && v <= 6);
            ++seen[v];
        }
        for (int v = 1; v <= 6; ++v)
            QVERIFY(seen[v] > 200); // every face comes up
        QCOMPARE(f.value(u"Main.Random(-5 -5)"), QStringLiteral("-5"));
        const double big = numericValue(f.value(u"Main.Random(-1073741824 1073741823)"));
        QVERIFY(big >= -1073741824 && big <= 1073741823);
    }

    void userFunctionSeesAtMostHundredParameters()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        QString args;
        for (int i = 1; i <= 102; ++i)
            args += QString::number(i) + u' ';
        host.runScript(lines({"EXEC Skript.User.NewFunction(Text(Z) Text(Z))",
                              "EXEC SkriptFenster(2).Text(Skript.User.Z(%1))", "QUIT", ":Z",
                              "EXEC Skript.Funktion.Rueckgabe(Main.Text.Plus(Skript.Funktion.AnzahlParameter "
                              "Main.Text.Plus(Text(:) Skript.Funktion.Parameter(99))))",
                              "EXITFUNCTION"})
                           .arg(args));
        // Slot 1 is the label; the 102nd argument replaced the 98th..101st.
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("99:102"));
    }
};

QTEST_GUILESS_MAIN(TestBuiltins)
#include "tst_builtins.moc"
