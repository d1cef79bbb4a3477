// Figures for the README: evaluator calls per second, runner statements per
// second of a counting loop, memory across pass counts, and the cost of a
// statement in a long script against a short one.

#include "support/testhost.h"

#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace varnok;
using namespace varnok::test;

namespace {

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

QString countingLoop(int passes, int padLines)
{
    QStringList l = {QStringLiteral("EXEC Skript.User.NewVariable(Text(I))"), QStringLiteral("EXEC Skript.User.I(0)"),
                     QStringLiteral("DO"), QStringLiteral("EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))"),
                     QStringLiteral("LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I %1)").arg(passes),
                     QStringLiteral("QUIT")};
    for (int i = 0; i < padLines; ++i)
        l << QStringLiteral("EXEC Main.Text.Plus(Text(Zeile) %1)").arg(i);
    return l.join(QStringLiteral("\r\n"));
}

double runLoop(int passes, int padLines, qint64 *statements)
{
    TestHost host;
    host.openSkriptWindow();
    host.skript(1)->text->setText(countingLoop(passes, padLines));
    QElapsedTimer t;
    t.start();
    host.ausfuehren(1);
    const double secs = t.nsecsElapsed() / 1e9;
    *statements = 2 + 3LL * passes + 1; // two set-up lines, three per pass, QUIT
    return secs;
}

} // namespace

int main()
{
    // Evaluator: one call through the Skript shortcut twice and a built-in.
    {
        TestHost host;
        EvalContext ctx;
        ctx.run = host.engine().NewSkriptObject();
        Engine &e = host.engine();
        e.Evaluate(u"Skript.User.NewVariable(Text(I))", ctx);
        e.Evaluate(u"Skript.User.I(0)", ctx);
        const int n = 300000;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            e.Evaluate(u"Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))", ctx);
        const double secs = t.nsecsElapsed() / 1e9;
        std::printf("evaluator: %.0f calls/s of Skript.User.I(Main.Mathe.Plus(Skript.User.I 1)) (result %s)\n",
                    n / secs, qPrintable(e.GetValueByPath(u"Skript.User.I", ctx.run, 0)));
    }
    // Runner: counting loop, headless text and host.
    {
        qint64 st = 0;
        const long rss0 = maxRssKb();
        runLoop(100000, 0, &st);
        const long rss1 = maxRssKb();
        const double secs = runLoop(1000000, 0, &st);
        const long rss2 = maxRssKb();
        std::printf("runner: %lld statements in %.3f s = %.0f statements/s (1,000,000 passes)\n",
                    static_cast<long long>(st), secs, st / secs);
        std::printf("runner: peak RSS %ld KiB before, %ld KiB after 100,000 passes, %ld KiB after 1,000,000\n",
                    rss0, rss1, rss2);
    }
    // Script length: the same loop at the top of a 10-line and a 5,000-line script.
    {
        qint64 st = 0;
        const double shortSecs = runLoop(200000, 4, &st);
        const double longSecs = runLoop(200000, 4994, &st);
        std::printf("script length: %.0f statements/s in 10 lines, %.0f statements/s in 5,000 lines (ratio %.2f)\n",
                    st / shortSecs, st / longSecs, longSecs / shortSecs);
    }
    return 0;
}
