// SPDX-License-Identifier: GPL-3.0-or-later
// The call-expression evaluator: literals, paths, shortcuts, variables,
// arrays, parameter splitting and its error numbers.

#include "evalfixture.h"

#include <QTest>

using namespace varnok;
using namespace varnok::test;

class TestEvaluator : public QObject
{
    Q_OBJECT
private slots:
    // The shortcuts into a run's own object are followed without building
    // their expansions, but counted and charged as if built: the limits end
    // a path at exactly the same step. Skript.User.V takes one expansion of
    // 24 characters (budget: the base plus 4 x 13); Skript.Funktion.Nix
    // three of 30, 40 and 51 (the base plus 4 x 19), then error 4.
    void runShortcutsCountAgainstTheLimits_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<int>("expansions");
        QTest::addColumn<int>("text");
        QTest::addColumn<QString>("box");
        const QString ok, two = QStringLiteral("Fehler 2"), four = QStringLiteral("Fehler 4");
        QTest::newRow("skript, count reached") << QStringLiteral("Skript.User.V") << 1 << 1000 << ok;
        QTest::newRow("skript, count short") << QStringLiteral("Skript.User.V") << 0 << 1000 << two;
        QTest::newRow("skript, text reached") << QStringLiteral("Skript.User.V") << 1000 << -28 << ok;
        QTest::newRow("skript, text short") << QStringLiteral("Skript.User.V") << 1000 << -29 << two;
        QTest::newRow("funktion, count reached") << QStringLiteral("Skript.Funktion.Nix") << 3 << 1000 << four;
        QTest::newRow("funktion, count short") << QStringLiteral("Skript.Funktion.Nix") << 2 << 1000 << two;
        QTest::newRow("funktion, text reached") << QStringLiteral("Skript.Funktion.Nix") << 1000 << 45 << four;
        QTest::newRow("funktion, text short") << QStringLiteral("Skript.Funktion.Nix") << 1000 << 44 << two;
    }
    void runShortcutsCountAgainstTheLimits()
    {
        QFETCH(QString, expr);
        QFETCH(int, expansions);
        QFETCH(int, text);
        QFETCH(QString, box);
        TestHost host;
        EvalContext ctx;
        ctx.run = host.engine().NewSkriptObject();
        host.engine().Evaluate(u"Skript.User.NewVariable(Text(V))", ctx);
        host.engine().Evaluate(u"Skript.User.V(Text(x))", ctx);
        host.engine().limits().shortcutExpansions = expansions;
        host.engine().limits().shortcutText = text;
        const QString value = host.engine().Evaluate(expr, ctx);
        host.engine().limits() = EngineLimits{};
        if (box.isEmpty()) {
            QCOMPARE(value, QStringLiteral("x"));
            QVERIFY(host.messages.isEmpty());
        } else {
            QCOMPARE(value, QString());
            QCOMPARE(host.messages.size(), qsizetype(1));
            QVERIFY2(host.messages[0].startsWith(box), qPrintable(host.messages[0]));
        }
    }

    void numberLiterals_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<QString>("expected");
        QTest::newRow("comma") << "1,5" << "1.5";
        QTest::newRow("plus") << "+3" << "3";
        QTest::newRow("leading zeros") << "007" << "7";
        QTest::newRow("below one") << "0,5" << ".5";
        QTest::newRow("lone minus") << "-" << "0";
        QTest::newRow("trailing text") << "12abc" << "12";
        QTest::newRow("exponent") << "1e3" << "1000";
        QTest::newRow("second comma") << "2,5,7" << "2.5";
        QTest::newRow("blanks around") << "   42   " << "42";
        QTest::newRow("negative fraction") << "-,25" << "-.25";
        QTest::newRow("double plus") << "++5" << "5";
    }
    void numberLiterals()
    {
        QFETCH(QString, expr);
        QFETCH(QString, expected);
        EvalFixture f;
        const EvalResult r = f.eval(expr);
        QCOMPARE(r.value, expected);
        QCOMPARE(r.errors, QString());
    }

    void pathsAndCase()
    {
        EvalFixture f;
        QCOMPARE(f.value(u"Main.Mathe.Plus(1 2)"), QStringLiteral("3"));
        QCOMPARE(f.value(u"main.mathe.plus(1 2)"), QStringLiteral("3"));
        QCOMPARE(f.value(u"Main.Mathe.Plus( 1   2 )"), QStringLiteral("3"));
        QCOMPARE(f.value(u"  Main . Mathe . Plus (1 2)"), QStringLiteral("3"));
        QCOMPARE(f.value(u"Main.Mathe.Plus(1,5 2)"), QStringLiteral("3.5"));
        QCOMPARE(f.value(u"Main.Text.Plus(Main.Mathe.Plus(1 2) Text(x))"), QStringLiteral("3x"));
        QCOMPARE(f.value(u""), QString());
    }

    void literalText()
    {
        EvalFixture f;
        QCOMPARE(f.value(u"Text( a b )"), QStringLiteral(" a b "));
        QCOMPARE(f.value(u"Text()"), QString());
        QCOMPARE(f.value(u"Main.Convert.Text(x  y)"), QStringLiteral("x  y"));
        // Argument text after the closing parenthesis still belongs to it.
        QCOMPARE(f.value(u"Text(ab)cd"), QStringLiteral("ab)c"));
        QCOMPARE(f.value(u"Text(a.b(c))"), QStringLiteral("a.b(c)"));
    }

    void errorNumbers_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("errors");
        QTest::newRow("function without parens") << "Main.Mathe.Plus" << "" << "4";
        QTest::newRow("path ends in object") << "Main.Mathe" << "" << "4";
        QTest::newRow("extra close") << "Main.Mathe.Plus(1 2))" << "" << "3";
        QTest::newRow("open left") << "Main.Mathe.Plus((1 2)" << "" << "3";
        QTest::newRow("unknown segment") << "Foo.Bar()" << "" << "4";
        QTest::newRow("unknown path param") << "Main.Mathe.Plus(abc 2)" << "2" << "4";
        QTest::newRow("text plus foo") << "Main.Text.Plus(Foo 1)" << "1" << "4";
        QTest::newRow("too few") << "Main.Mathe.Plus(1)" << "" << "2";
        QTest::newRow("too many") << "Main.Mathe.Plus(1 2 3)" << "" << "2";
        QTest::newRow("root File is no id") << "File.Read(Text(x) 1 1)" << "" << "5";
        QTest::newRow("File.Copy missing") << "File.Copy(1 2)" << "" << "4";
        QTest::newRow("timer with parameter") << "Main.Timer(1)" << "" << "2";
        QTest::newRow("clear with parens") << "Skript.Error.Clear()" << "0" << "3";
        QTest::newRow("two errors in one") << "Main.Text.Plus(Foo Bar)" << "" << "44";
        QTest::newRow("sub-object by parens") << "Main(1).Mathe.Plus(1 2)" << "" << "4";
    }
    void errorNumbers()
    {
        QFETCH(QString, expr);
        QFETCH(QString, value);
        QFETCH(QString, errors);
        EvalFixture f;
        const EvalResult r = f.eval(expr);
        QCOMPARE(r.value, value);
        QCOMPARE(r.errors, errors);
    }

    void variablesReturnPreviousContent()
    {
        EvalFixture f;
        f.value(u"Skript.User.NewVariable(Text(A))");
        QCOMPARE(f.value(u"Skript.User.A(Text(x))"), QString());
        QCOMPARE(f.value(u"Skript.User.A(Text(y))"), QStringLiteral("x"));
        QCOMPARE(f.value(u"Skript.User.A"), QStringLiteral("y"));
        const EvalResult r = f.eval(u"Skript.User.A(Hallo)");
        QCOMPARE(r.errors, QStringLiteral("4"));
        QCOMPARE(f.value(u"Skript.User.A"), QString());
        QCOMPARE(f.value(u"skript.user.a(Text(Hallo Welt))"), QString());
        QCOMPARE(f.value(u"Skript.User.A"), QStringLiteral("Hallo Welt"));
    }

    void valueArrays()
    {
        EvalFixture f;
        f.value(u"Skript.User.NewArray(Text(A))");
        QCOMPARE(f.eval(u"Skript.User.A(5)").errors, QString());
        QCOMPARE(f.value(u"Skript.User.A(5 Text(x))"), QString());
        QCOMPARE(f.value(u"Skript.User.A(5 Text(y))"), QStringLiteral("x"));
        QCOMPARE(f.value(u"Skript.User.A(5)"), QStringLiteral("y"));
        QCOMPARE(f.value(u"Skript.User.A(-1 Text(neg))"), QString());
        QCOMPARE(f.value(u"Skript.User.A(-1)"), QStringLiteral("neg"));
        QCOMPARE(f.errors(u"Skript.User.A(1 2 3)"), QStringLiteral("2"));
        QCOMPARE(f.errors(u"Skript.User.A()"), QStringLiteral("2"));
        // A leading blank makes an empty first piece: a write at index 0.
        QCOMPARE(f.value(u"Skript.User.A( 5)"), QString());
        QCOMPARE(f.value(u"Skript.User.A(0)"), QStringLiteral("5"));
        // Write indices round half to even; read indices must be whole.
        f.value(u"Skript.User.A(2,5 Text(zwei))");
        QCOMPARE(f.value(u"Skript.User.A(2)"), QStringLiteral("zwei"));
        QCOMPARE(f.errors(u"Skript.User.A(2,5)"), QStringLiteral("2"));
        QCOMPARE(f.errors(u"Skript.User.A(Text(abc))"), QStringLiteral("2"));
        QCOMPARE(f.errors(u"Skript.User.A(40000)"), QStringLiteral("2"));
        QCOMPARE(f.errors(u"Skript.User.A(40000 1)"), QStringLiteral("2"));
        QCOMPARE(f.value(u"Skript.User.A(Main.Mathe.Plus(2 3))"), QStringLiteral("y"));
    }

    void shortcuts()
    {
        EvalFixture f;
        // A shortcut in Main whose target is resolved from the root.
        f.host.engine().root().object(u"Main")->AddShortcut(u"K");
        f.host.engine().root().object(u"Main")->shortcut(u"K")->SetVerknuepfung(QStringLiteral("Main.Mathe"));
        QCOMPARE(f.value(u"Main.K.Plus(1 2)"), QStringLiteral("3"));

        f.value(u"Skript.User.NewShortcut(Text(P) Text(Main.Mathe.Plus))");
        QCOMPARE(f.value(u"Skript.User.P(4 5)"), QStringLiteral("9"));
        f.value(u"Skript.User.NewShortcut(Text(Z) Text(Main.Mathe.Plus(1 1)))");
        QCOMPARE(f.value(u"Skript.User.Z"), QStringLiteral("2"));
        // Defining a shortcut again retargets the first one of that name.
        f.value(u"Skript.User.NewShortcut(Text(P) Text(Main.Mathe.Minus))");
        QCOMPARE(f.value(u"Skript.User.P(4 5)"), QStringLiteral("-1"));
    }

    void longListsFindTheFirstEntry()
    {
        // Past a few entries names are found through an index; the first
        // entry of a name must still win, also for entries added later.
        EvalFixture f;
        for (int k = 0; k < 30; ++k)
            f.value(QStringLiteral("Skript.User.NewVariable(Text(V%1))").arg(k));
        f.value(u"Skript.User.V29(Text(alt))");
        QCOMPARE(f.value(u"Skript.User. v29 "), QStringLiteral("alt"));
        f.value(u"Skript.User.NewVariable(Text(v29))");
        f.value(u"Skript.User.NewVariable(Text(Neu))");
        QCOMPARE(f.eval(u"Skript.User.V29(Text(x))").value, QStringLiteral("alt"));
        QCOMPARE(f.value(u"Skript.User.neu(Text(y))"), QString());
        QCOMPARE(f.value(u"Skript.User.NEU"), QStringLiteral("y"));
        QCOMPARE(f.errors(u"Skript.User.V30"), QStringLiteral("4"));
        // A shortcut added to a long list is found before a variable of its name.
        for (int k = 0; k < 12; ++k)
            f.value(QStringLiteral("Skript.User.NewShortcut(Text(S%1) Text(Main.Mathe.Plus(%1 1)))").arg(k));
        QCOMPARE(f.value(u"Skript.User.S11"), QStringLiteral("12"));
        f.value(u"Skript.User.NewShortcut(Text(V3) Text(Text(kurz)))");
        QCOMPARE(f.value(u"Skript.User.V3"), QStringLiteral("kurz"));
        const NodePtr user = f.host.engine().runs().node(f.ctx.run)->object(u"User");
        QCOMPARE(user->variables().at(30)->GetInhalt(), QStringLiteral("x")); // after Log and V0..V28
        QCOMPARE(user->variables().at(31)->GetInhalt(), QString());
    }

    void sameTextFollowsTheTree()
    {
        // What an expression found is remembered per node; an entry added
        // later, or another node in the same place, must be seen.
        EvalFixture f;
        Engine &e = f.host.engine();
        f.value(u"Skript.User.NewVariable(Text(X))");
        f.value(u"Skript.User.X(Text(var))");
        QCOMPARE(f.value(u"Skript.User.X"), QStringLiteral("var"));
        f.value(u"Skript.User.NewShortcut(Text(X) Text(Text(kurz)))");
        QCOMPARE(f.value(u"Skript.User.X"), QStringLiteral("kurz"));
        QCOMPARE(f.value(u"Skript.User.Y"), QString());
        f.value(u"Skript.User.NewFunction(Text(Y) Text(Y))");
        QCOMPARE(f.errors(u"Skript.User.Y"), QStringLiteral("4")); // a function needs parentheses

        // A later run with the same index has a new object: the same text
        // reaches it, not the released one.
        const RunRef first = f.ctx.run;
        e.ReleaseSkriptObject(first.index);
        EvalContext next;
        next.run = e.NewSkriptObject();
        QCOMPARE(next.run.index, first.index);
        e.Evaluate(u"Skript.User.NewVariable(Text(X))", next);
        QCOMPARE(e.Evaluate(u"Skript.User.X", next), QString());
        e.Evaluate(u"Skript.User.X(Text(neu))", next);
        QCOMPARE(e.Evaluate(u"Skript.User.X", next), QStringLiteral("neu"));
    }

    void shortcutCyclesEndWithError()
    {
        EvalFixture f;
        f.value(u"Skript.User.NewShortcut(Text(S) Text(Skript.User.S))");
        QCOMPARE(f.eval(u"Skript.User.S").errors, QStringLiteral("2"));
        f.value(u"Skript.User.NewShortcut(Text(G) Text(Skript.User.G.X))");
        QCOMPARE(f.eval(u"Skript.User.G.Y").errors, QStringLiteral("2"));
        // A cycle through parameters nests evaluations instead, until the
        // stack runs out; the run then ends with error 2 in an orderly way.
        f.value(u"Skript.User.NewShortcut(Text(N) Text(Main.Text.Len(Skript.User.N)))");
        f.eval(u"Skript.User.N");
        QCOMPARE(f.host.messages.value(0), QStringLiteral("Fehler 2: ungültige Parameter"));
        QVERIFY(!f.host.engine().isCurrent(f.ctx.run));
    }

    void parameterLimit()
    {
        EvalFixture f;
        QString call = QStringLiteral("Main.Text.Plus(");
        for (int i = 1; i <= 102; ++i)
            call += QString::number(i) + u' ';
        call += u')';
        QCOMPARE(f.errors(call), QStringLiteral("2")); // 100 parameters for a 2-parameter function
    }

    void objectArraysAndWindowNodes()
    {
        EvalFixture f;
        QCOMPARE(f.errors(u"SeiteFenster(3).Status"), QStringLiteral("4"));
        QCOMPARE(f.errors(u"SeiteFenster(40000).Status"), QStringLiteral("2"));
        const int i = f.host.createSeiteWindow();
        QCOMPARE(i, 1);
        QCOMPARE(f.value(u"SeiteFenster(1).Status"), QStringLiteral("0"));
        f.value(u"seitefenster(1).input.user-agent(Text(Agent))");
        QCOMPARE(f.host.seite(1)->fields[SeiteField::UserAgent]->text(), QStringLiteral("Agent"));
        f.host.seite(1)->fields[SeiteField::Server]->setText(QStringLiteral("example.org"));
        QCOMPARE(f.value(u"SeiteFenster(1).Input.Server"), QStringLiteral("example.org"));
        QCOMPARE(f.value(u"SeiteFenster(1).Output.Server"), QString());
        QCOMPARE(f.value(u"SeiteFenster(Main.Mathe.Plus(0,5 0,5)).Status"), QStringLiteral("0"));
    }

    void setValueByPathIgnoresErrorsOutsideRuns()
    {
        TestHost host;
        host.engine().setWindowStatus(u"SeiteFenster", 9, u"1");
        QVERIFY(host.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEvaluator)
#include "tst_evaluator.moc"
