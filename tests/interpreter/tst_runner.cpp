// SPDX-License-Identifier: GPL-3.0-or-later
// The runner as the windows see it: selection and caret, yields, the stop
// request, waits, per-run objects, deep recursion and hostile scripts.

#include "support/testhost.h"

#include "common/conventions.h"

#include <QRandomGenerator>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

namespace {

const char *kOut = "EXEC SkriptFenster(2).Text(Main.Text.Plus(SkriptFenster(2).Text Main.Text.Plus(%1 Text(|))))";

QString out(const QString &expr)
{
    return QString::fromLatin1(kOut).arg(expr);
}

// Notes the path each error box names beside its text.
class PathHost : public TestHost
{
public:
    void showLocatedScriptError(int number, const QString &message, const ScriptErrorDetail &detail) override
    {
        paths << detail.missingPath;
        TestHost::showLocatedScriptError(number, message, detail);
    }
    QStringList paths;
};

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void emptyScriptsEndAtOnce()
    {
        for (const QString &script : {QString(), QStringLiteral("\r\n\r\n"), lines({"' nur", "   ", "' Kommentar"})}) {
            TestHost host;
            host.createSkriptWindow();
            host.skript(1)->text->setText(script);
            host.skript(1)->text->setSelection(1, 0);
            host.ausfuehren(1);
            QVERIFY(!host.skript(1)->running);
            QCOMPARE(host.skript(1)->text->selectionStart(), qsizetype(script.isEmpty() ? 0 : 1));
            QCOMPARE(host.yields, 0);
            QVERIFY(!host.engine().SkriptObjectAlive(1));
            QVERIFY(host.messages.isEmpty());
        }
    }

    void statementIsSelectedAndCaretRestored()
    {
        TestHost host;
        host.createSkriptWindow();
        const QString script = lines({"  EXEC Main.Mathe.Plus(1 2)  ", "EXEC Skript.User.NewVariable(Text(x))"});
        host.skript(1)->text->setText(script);
        host.skript(1)->text->setSelection(5, 0);
        QList<QPair<qsizetype, qsizetype>> seen;
        host.onYield = [&] {
            seen << qMakePair(host.skript(1)->text->selectionStart(), host.skript(1)->text->selectionLength());
        };
        host.ausfuehren(1);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], qMakePair(qsizetype(2), qsizetype(25))); // blanks trimmed off the selection
        QCOMPARE(seen[1].first, script.indexOf(u"EXEC Skript"));
        QCOMPARE(host.skript(1)->text->selectionStart(), qsizetype(5));
        QCOMPARE(host.skript(1)->text->selectionLength(), qsizetype(0));
    }

    void lfInsideLineBelongsToStatement()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        // The LF makes the argument "Text(a\nb)": one statement.
        host.runScript(QStringLiteral("EXEC SkriptFenster(2).Text(Text(a\nb))\r\n"));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("a\nb"));
    }

    void stopRequestEndsAfterCurrentStatement()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        int statements = 0;
        host.onYield = [&] {
            if (++statements == 3)
                host.ausfuehren(1); // Stopp while running
        };
        host.runScript(lines({"DO", out(QStringLiteral("Text(x)")).toLatin1().constData(), "LOOP"}));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("x|"));
        QVERIFY(!host.skript(1)->running);
        QVERIFY(!host.engine().SkriptObjectAlive(1));
        QCOMPARE(host.engine().GetValueByPath(u"SkriptFenster(1).Status", {}, 0), QStringLiteral("0"));
    }

    void waitsContinueOnlyAtTicksAndStopEndsThem()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.skript(1)->text->setText(lines({"WAITTILL Main.Bedingung.Text.Gleich(SkriptFenster(2).Text Text(los))",
                                             "EXEC SkriptFenster(2).Text(Text(weiter))"}));
        host.ausfuehren(1);
        QVERIFY(host.skript(1)->running);
        QVERIFY(host.skript(1)->timerOn);
        QVERIFY(host.skript(1)->text->isReadOnly());
        QCOMPARE(host.engine().GetValueByPath(u"SkriptFenster(1).Status", {}, 0), QStringLiteral("1"));
        const WaitEntry &w = host.engine().waitEntry(1);
        QVERIFY(w.waiting);
        QCOMPARE(w.run.index, qint16(1));
        host.tick(1);
        QVERIFY(host.skript(1)->running);
        host.skript(2)->text->setText(QStringLiteral("los"));
        host.tick(1);
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("weiter"));
        QVERIFY(!host.skript(1)->running);

        // A timer that fires early does not shorten the wait.
        host.skript(2)->text->setText(QStringLiteral("los"));
        host.ausfuehren(1);
        host.tick(1, std::chrono::milliseconds(95));
        QVERIFY(host.skript(1)->timerOn);
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("los"));
        host.tick(1, std::chrono::milliseconds(5));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("weiter"));

        // Stopp while waiting: the next tick ends the run; a new run starts fresh.
        host.skript(1)->text->setText(lines({"EXEC Skript.User.NewVariable(Text(V))", "WAITTILL 0"}));
        host.ausfuehren(1);
        QVERIFY(host.skript(1)->timerOn);
        host.ausfuehren(1);
        QVERIFY(host.skript(1)->running);
        host.tick(1);
        QVERIFY(!host.skript(1)->running);
        QVERIFY(!host.engine().SkriptObjectAlive(1));
    }

    void waitConditionErrorEndsTheWait()
    {
        TestHost host;
        host.createSkriptWindow();
        host.skript(1)->text->setText(QStringLiteral("WAITTILL Foo()"));
        host.ausfuehren(1);
        host.tick(1);
        QCOMPARE(host.messages, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QVERIFY(!host.skript(1)->running);
        QVERIFY(!host.skript(1)->timerOn);
    }

    void runIndicesAndNestedRuns()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.createSkriptWindow();
        // Window 3 waits holding run 1; window 1 then gets run 2 and runs
        // window 2 nested inside it, which gets run 3.
        host.skript(3)->text->setText(QStringLiteral("WAITTILL 0"));
        host.ausfuehren(3);
        host.skript(2)->text->setText(QStringLiteral("EXEC SkriptFenster(3).Text(MyIndex())"));
        host.runScript(QStringLiteral("EXEC SkriptFenster(2).Ausfuehren()\r\nEXEC SkriptFenster(2).Text(MyIndex())"));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("2"));
        QCOMPARE(host.skript(3)->text->text(), QStringLiteral("3"));
        QVERIFY(host.engine().SkriptObjectAlive(1));
        QVERIFY(!host.engine().SkriptObjectAlive(2));
    }

    void releasedRunTouchesNothingElse()
    {
        // A user function's run ends inside the call (error without
        // handler); the caller's remaining work must neither report again nor
        // write into a later run that took the same index.
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.runScript(lines({"EXEC Skript.User.NewFunction(Text(F) Text(F))",
                              "EXEC SkriptFenster(2).Text(Main.Text.Plus(Skript.User.F() Foo()))",
                              "QUIT", ":F", "EXEC Bar()", "EXITFUNCTION"}));
        QCOMPARE(host.messages, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(host.skript(2)->text->text(), QString());
    }

    void errorBoxEndsRunAndRestoresCaret()
    {
        TestHost host;
        host.createSkriptWindow();
        host.skript(1)->text->setText(lines({"EXEC Foo.Bar()", "EXEC Main.Mathe.Plus(1 1)"}));
        host.skript(1)->text->setSelection(4, 0);
        host.ausfuehren(1);
        QCOMPARE(host.messages, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
        QCOMPARE(host.yields, 1);
        QCOMPARE(host.skript(1)->text->selectionStart(), qsizetype(4));
        QCOMPARE(host.skript(1)->text->selectionLength(), qsizetype(0));
        QVERIFY(!host.skript(1)->running);
    }

    // The runner takes the shortcuts Skript and Skript.Funktion straight to
    // the objects they lead to; a missing name further on is still named in
    // the path their expansion spells, whichever shortcut led there.
    void missingNameIsNamedInTheExpandedPath()
    {
        const struct
        {
            const char *statement;
            const char *path;
        } cases[] = {
            {"EXEC Skript.User.Nix.Y", "Skript(MyIndex()).User.Nix"},
            {"EXEC Skript.Nix", "Skript(MyIndex()).Nix"},
            {"EXEC Skript.User.F(Skript.Funktion.Nix(1))", "Skript(MyIndex()).Funktion(Skript.MyFunktion()).Nix"},
            {"EXEC Skript.User.F(Skript.Funktion.Rueckgabe.X)",
             "Skript(MyIndex()).Funktion(Skript.MyFunktion()).Rueckgabe"},
            {"EXEC Skript.User.F(Skript.User.Kurz.Nix)",
             "Skript(MyIndex()).Funktion(Skript.MyFunktion()).Nix"},
            {"EXEC Skript.User.F(Skript.User.Lang.Nix)", "Skript(MyIndex()).Funktion(Skript.MyFunktion()).Nix"},
            {"EXEC Skript(MyIndex()).Funktion(0).Nix", "Skript(MyIndex()).Funktion(0).Nix"},
        };
        for (const auto &c : cases) {
            PathHost host;
            host.createSkriptWindow();
            host.skript(1)->text->setText(lines({"EXEC Skript.User.NewFunction(Text(F) Text(F))",
                                                 "EXEC Skript.User.NewShortcut(Text(Kurz) "
                                                 "Text(Skript.Funktion(Skript.MyFunktion())))",
                                                 "EXEC Skript.User.NewShortcut(Text(Lang) Text(Skript.Funktion))",
                                                 c.statement, "QUIT", ":F", "EXITFUNCTION"}));
            host.ausfuehren(1);
            QCOMPARE(host.messages, QStringList{QStringLiteral("Fehler 4: Objekt nicht gefunden")});
            QCOMPARE(host.paths, QStringList{QString::fromLatin1(c.path)});
        }
    }

    void errorNumberEmptyUntilFirstError()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.runScript(QStringLiteral("EXEC SkriptFenster(2).Text(Main.Text.Plus(Text(<) Main.Text.Plus(Skript.Error.Nummer Text(>))))"));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("<>"));
    }

    void changedTextIsReadAgain()
    {
        // The runner remembers what it read from each line; a change of the
        // text makes it read the lines again.
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        const QString b = out(QStringLiteral("Text(b)"));
        const QString again = QStringLiteral("LOOPWHILE Main.Bedingung.Text.Ungleich(SkriptFenster(2).Text Text(a|b|))");
        int yields = 0;
        host.onYield = [&] {
            if (++yields == 2) // after the first EXEC: same positions, other statements
                host.skript(1)->text->setText(QStringList{QStringLiteral("DO"), b, again}.join(QStringLiteral("\r\n")));
        };
        host.runScript(QStringList{QStringLiteral("DO"), out(QStringLiteral("Text(a)")), QStringLiteral("LOOP")}
                           .join(QStringLiteral("\r\n")));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("a|b|"));
        QVERIFY(host.messages.isEmpty());
    }

    void labelsAreFoundInTheChangedText()
    {
        // A user function's label moves while the run goes on: the next
        // call finds the first label of that name in the text as it is now.
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        const QStringList head = {QStringLiteral("EXEC Skript.User.NewFunction(Text(F) Text(f))"),
                                  QStringLiteral("EXEC Skript.User.F()"), QStringLiteral("EXEC Skript.User.F()"),
                                  QStringLiteral("QUIT")};
        const QString a = out(QStringLiteral("Text(a)"));
        const QString b = out(QStringLiteral("Text(b)"));
        const QString exit = QStringLiteral("EXITFUNCTION");
        const QString frei = QStringLiteral("' frei");
        int yields = 0;
        host.onYield = [&] {
            if (++yields == 4) // the first call has returned
                host.skript(1)->text->setText(
                    (head + QStringList{QStringLiteral(":F"), b, exit, QStringLiteral(":f"), a, exit})
                        .join(QStringLiteral("\r\n")));
        };
        host.runScript((head + QStringList{frei, frei, frei, QStringLiteral(":F"), a, exit}).join(QStringLiteral("\r\n")));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("a|b|"));
        QVERIFY(host.messages.isEmpty());

        // A label that is gone ends a call at once, after reading to the end.
        host.skript(2)->text->setText(QString());
        yields = 0;
        host.onYield = [&] {
            if (++yields == 4)
                host.skript(1)->text->setText((head + QStringList{frei, frei, frei, QStringLiteral(":G"), a, exit})
                                                  .join(QStringLiteral("\r\n")));
        };
        host.runScript((head + QStringList{frei, frei, frei, QStringLiteral(":F"), a, exit}).join(QStringLiteral("\r\n")));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("a|"));
        QVERIFY(host.messages.isEmpty());
    }

    void textGrowingByItselfKeepsEveryCopy()
    {
        // Appending to a variable's own text works in place; every other
        // holder of the old text keeps it.
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.runScript(lines({"EXEC Skript.User.NewVariable(Text(V))", "EXEC Skript.User.NewVariable(Text(W))",
                              "EXEC Skript.User.NewArray(Text(A))", "EXEC Skript.User.V(Text(ab))",
                              "EXEC Skript.User.W(Skript.User.V)", "EXEC Skript.User.A(1 Skript.User.V)",
                              "EXEC Skript.User.V(Main.Text.Plus(Skript.User.V Text(c)))",
                              "EXEC Skript.User.W(Main.Text.Plus(Skript.User.V Skript.User.W))",
                              "EXEC SkriptFenster(2).Text(Main.Text.Plus(Skript.User.V(Main.Text.Plus(Skript.User.V Text(d))) Skript.User.A(1)))",
                              "EXEC SkriptFenster(2).Text(Main.Text.Plus(SkriptFenster(2).Text Main.Text.Plus(Skript.User.V Skript.User.W)))"}));
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("abcababcdabcab"));
    }

    void deepRecursionWorks()
    {
        TestHost host;
        host.createSkriptWindow();
        host.createSkriptWindow();
        host.runScript(lines({"EXEC Skript.User.NewFunction(Text(Tief) Text(TIEF))",
                              "EXEC SkriptFenster(2).Text(Skript.User.Tief(1000))", "QUIT", ":TIEF",
                              "IF Main.Bedingung.Mathe.Groesser(Skript.Funktion.Parameter(1) 0)",
                              "EXEC Skript.Funktion.Rueckgabe(Main.Mathe.Plus(1 Skript.User.Tief(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 1))))",
                              "ENDIF", "EXITFUNCTION"}));
        QCOMPARE(host.messages, QStringList());
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("1000"));
    }

    void endlessRecursionEndsInOrder()
    {
        TestHost host;
        host.createSkriptWindow();
        host.runScript(lines({"EXEC Skript.User.NewFunction(Text(F) Text(F))", "EXEC Skript.User.F()", "QUIT",
                              ":F", "EXEC Skript.User.F()", "EXITFUNCTION"}));
        QCOMPARE(host.messages, QStringList{QStringLiteral("Fehler 2: ungültige Parameter")});
        // The same with a handler inside the function: still one orderly end.
        TestHost host2;
        host2.createSkriptWindow();
        host2.runScript(lines({"EXEC Skript.User.NewFunction(Text(F) Text(F))", "EXEC Skript.User.F()", "QUIT",
                               ":F", "ONERROR GOTO F", "EXEC Skript.User.F()", "EXITFUNCTION"}));
        QVERIFY(!host2.messages.isEmpty());
        QVERIFY(!host2.skript(1)->running);
    }

    void deepNestingAndLongLines()
    {
        // 100,000 nested calls, unbalanced parentheses, a 1 MB line.
        QString nested;
        for (int i = 0; i < 100000; ++i)
            nested += QStringLiteral("Main.Text.Len(");
        nested += QStringLiteral("1");
        QString closing(100000, u')');
        const QString deep = QStringLiteral("EXEC ") + nested + closing;
        const QString parens = QStringLiteral("EXEC Main.Text.Len(") + QString(100000, u'(') + QStringLiteral("1") + closing;
        const QString open = QStringLiteral("EXEC Main.Text.Len(") + QString(100000, u'(');
        const QString longLine = QStringLiteral("EXEC Main.Text.Len(Text(") + QString(1 << 20, u'x') + QStringLiteral("))");
        for (const QString &script : {deep, parens, open, longLine}) {
            TestHost host;
            host.createSkriptWindow();
            host.runScript(script);
            QVERIFY(host.messages.size() <= 1);
            QVERIFY(!host.skript(1)->running);
        }
    }

    void randomBytesNeverCrash()
    {
        QRandomGenerator rng(4711);
        const char alphabet[] = "().' :\r\nEXECIFDOLOPGTWAHNSUQ0123456789-+,Main.Text.PlusSkript.UserMathe";
        for (int round = 0; round < 300; ++round) {
            QString script;
            const int len = int(rng.bounded(400));
            for (int i = 0; i < len; ++i) {
                if (rng.bounded(4) == 0)
                    script += QChar(ushort(rng.bounded(0x3000)));
                else
                    script += QLatin1Char(alphabet[rng.bounded(int(sizeof alphabet) - 1)]);
            }
            TestHost host;
            host.createSkriptWindow();
            int guard = 0;
            host.onYield = [&] {
                if (++guard > 20000)
                    host.ausfuehren(1); // endless loops are stopped like a user would
            };
            host.runScript(script, 50);
            if (host.skript(1) && host.skript(1)->running) {
                host.ausfuehren(1);
                host.tick(1);
            }
            QVERIFY(!host.skript(1) || !host.skript(1)->running);
        }
    }
};

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
