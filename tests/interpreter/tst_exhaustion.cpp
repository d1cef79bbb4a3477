// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts that try to exhaust the interpreter: a shortcut that grows its
// own expansion, and arrays of the program's own objects filled by a script.
// Each ends in an orderly way and leaves the program working.

#include "evalfixture.h"

#include <QTest>

#include <climits>
#include <unistd.h>

using namespace varnok;
using namespace varnok::test;

class TestExhaustion : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        // A runaway that is not stopped would run for minutes; end it.
        alarm(30);
    }
    void cleanup() { alarm(0); }

    void growingShortcutExpansionEndsWithErrorTwo()
    {
        EvalFixture f;
        // Every expansion puts the long target in front of the rest again,
        // so the text grows by the target's length each time. Only the
        // growth may stop it here: the count of expansions is unbounded.
        f.host.engine().limits().shortcutExpansions = INT_MAX;
        f.value(u"Skript.User.NewVariable(Text(Ziel))");
        f.host.engine().SetValueByPath(u"Skript.User.Ziel",
                                       QStringLiteral("Skript.User.A.") + QString(64 * 1024, u'x'),
                                       f.ctx.run, 0);
        f.value(u"Skript.User.NewShortcut(Text(A) Skript.User.Ziel)");
        const EvalResult r = f.eval(u"Skript.User.A");
        QCOMPARE(r.errors, QStringLiteral("2"));
        QCOMPARE(r.value, QString());
        // The run goes on.
        QCOMPARE(f.value(u"Main.Mathe.Plus(1 2)"), QStringLiteral("3"));
        // Short cycles end at the count of expansions as before.
        f.host.engine().limits().shortcutExpansions = 1000;
        f.value(u"Skript.User.NewShortcut(Text(S) Text(Skript.User.S))");
        QCOMPARE(f.errors(u"Skript.User.S"), QStringLiteral("2"));
    }

    void fullObjectArraysStillGetTheProgramsOwnElements()
    {
        TestHost host;
        Engine &e = host.engine();
        // A script may touch at most 32767 elements of an object array;
        // here it has used them all up, none of them an index the program
        // gives its windows or runs.
        for (int i = -1; i >= -32767; --i) {
            const QString n = QString::number(i);
            for (const QString &array : {QStringLiteral("SeiteFenster"), QStringLiteral("SkriptFenster"),
                                         QStringLiteral("Skript")})
                e.GetValueByPath(QStringLiteral("%1(%2).X").arg(array, n), {}, 0);
        }
        QCOMPARE(e.root().objectArray(u"SeiteFenster")->count(), size_t(32767));
        QCOMPARE(e.root().objectArray(u"Skript")->count(), size_t(32767));
        QCOMPARE(e.GetValueByPath(u"SeiteFenster(1).X", {}, 0), QString());
        QCOMPARE(e.root().objectArray(u"SeiteFenster")->count(), size_t(32767));

        // New windows still get their objects ...
        QCOMPARE(host.createSeiteWindow(), 1);
        QCOMPARE(e.GetValueByPath(u"SeiteFenster(1).Status", {}, 0), QStringLiteral("0"));
        e.SetValueByPath(u"SeiteFenster(1).Input.Server", u"example.org", {}, 0);
        QCOMPARE(host.seite(1)->fields[SeiteField::Server]->text(), QStringLiteral("example.org"));
        QCOMPARE(host.createSkriptWindow(), 1);
        QCOMPARE(host.createSkriptWindow(), 2);
        QCOMPARE(e.GetValueByPath(u"SkriptFenster(2).Status", {}, 0), QStringLiteral("0"));

        // ... and runs theirs, also for user-function calls whose frames a
        // script filled up the same way (F calls G one level deeper).
        host.skript(1)->text->setText(
            lines({"EXEC Skript.User.NewFunction(Text(F) Text(F))",
                   "EXEC Skript.User.NewFunction(Text(G) Text(G))",
                   "EXEC Skript.User.NewVariable(Text(I))",
                   "EXEC Skript.User.I(-1)",
                   "ONERROR EXEC Skript.Error.Clear",
                   "DO",
                   "EXEC Skript.Funktion(Skript.User.I).X",
                   "EXEC Skript.User.I(Main.Mathe.Minus(Skript.User.I 1))",
                   "LOOPWHILE Main.Bedingung.Mathe.GroesserGleich(Skript.User.I -32767)",
                   "EXEC SkriptFenster(2).Text(Main.Text.Plus(Skript.User.F(Text(lief)) Skript.User.I))",
                   "QUIT",
                   ":F",
                   "EXEC Skript.Funktion.Rueckgabe(Skript.User.G(Skript.Funktion.Parameter(1)))",
                   "EXITFUNCTION",
                   ":G",
                   "EXEC Skript.Funktion.Rueckgabe(Skript.Funktion.Parameter(1))",
                   "EXITFUNCTION"}));
        host.ausfuehren(1);
        host.runUntilIdle();
        QCOMPARE(host.messages, QStringList());
        QCOMPARE(host.skript(2)->text->text(), QStringLiteral("lief-32768"));
    }
};

QTEST_GUILESS_MAIN(TestExhaustion)
#include "tst_exhaustion.moc"
