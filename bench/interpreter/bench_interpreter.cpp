// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the README: evaluator calls per second, runner statements per
// second of a counting loop, memory across pass counts, the cost of a
// statement in a long script against a short one, of reading the last of
// many variables against the last of few, and of a user function far down
// a script against one at its top. Ratios are taken from interleaved runs.

#include "countingloop.h"
#include "measure.h"
#include "support/testhost.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

using namespace varnok;
using namespace varnok::test;

namespace {

using bench::median;
using bench::peakRssKb;
using bench::processorSeconds;

double runLoop(int passes, int padLines, qint64 *statements)
{
    TestHost host;
    host.createSkriptWindow();
    host.skript(1)->text->setText(countingLoopScript(passes, padLines));
    const double start = processorSeconds();
    host.ausfuehren(1);
    const double secs = processorSeconds() - start;
    *statements = 2 + 3LL * passes + 1; // two set-up lines, three per pass, QUIT
    return secs;
}

// Seconds for `reads` reads of the last of `count` variables.
double readLastVariable(int count, int reads)
{
    TestHost host;
    Engine &e = host.engine();
    EvalContext ctx;
    ctx.run = e.NewSkriptObject();
    for (int k = 1; k <= count; ++k)
        e.Evaluate(QStringLiteral("Skript.User.NewVariable(Text(V%1))").arg(k), ctx);
    const QString last = QStringLiteral("Skript.User.V%1").arg(count);
    e.Evaluate(last + QStringLiteral("(Text(x))"), ctx);
    const double start = processorSeconds();
    for (int i = 0; i < reads; ++i)
        e.Evaluate(last, ctx);
    return processorSeconds() - start;
}

// Recursive Fibonacci as a user function, its label at the top of the
// script or behind `padLines` lines.
QString fibonacci(int n, int padLines, bool atTop)
{
    const QStringList function = {
        QStringLiteral(":Fib"),
        QStringLiteral("IF Main.Bedingung.Mathe.Kleiner(Skript.Funktion.Parameter(1) 2)"),
        QStringLiteral("EXEC Skript.Funktion.Rueckgabe(Skript.Funktion.Parameter(1))"),
        QStringLiteral("EXITFUNCTION"),
        QStringLiteral("ENDIF"),
        QStringLiteral("EXEC Skript.Funktion.Rueckgabe(Main.Mathe.Plus(Skript.User.Fib(Main.Mathe.Minus("
                       "Skript.Funktion.Parameter(1) 1)) Skript.User.Fib(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 2))))"),
        QStringLiteral("EXITFUNCTION")};
    const QStringList main = {QStringLiteral(":Start"), QStringLiteral("EXEC Skript.User.NewFunction(Text(Fib) Text(Fib))"),
                              QStringLiteral("EXEC SkriptFenster(2).Text(Skript.User.Fib(%1))").arg(n),
                              QStringLiteral("QUIT")};
    QStringList l;
    if (atTop)
        l << QStringLiteral("GOTO Start") << function << main;
    else
        l << main;
    for (int i = 0; i < padLines; ++i)
        l << QStringLiteral("EXEC Main.Text.Plus(Text(Zeile) %1)").arg(i);
    if (!atTop)
        l << function;
    return l.join(QStringLiteral("\r\n"));
}

double runFibonacci(const QString &script, QString *result)
{
    TestHost host;
    host.createSkriptWindow();
    host.createSkriptWindow();
    host.skript(1)->text->setText(script);
    const double start = processorSeconds();
    host.ausfuehren(1);
    const double secs = processorSeconds() - start;
    *result = host.skript(2)->text->text();
    if (!host.messages.isEmpty())
        *result += QStringLiteral(" [") + host.messages.join(QStringLiteral("; ")) + u']';
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
        const double start = processorSeconds();
        for (int i = 0; i < n; ++i)
            e.Evaluate(u"Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))", ctx);
        const double secs = processorSeconds() - start;
        std::printf("evaluator: %.0f calls/s of Skript.User.I(Main.Mathe.Plus(Skript.User.I 1)) (result %s)\n",
                    n / secs, qPrintable(e.GetValueByPath(u"Skript.User.I", ctx.run, 0)));
    }
    // Runner: counting loop, headless text and host.
    {
        qint64 st = 0;
        const long rss0 = peakRssKb();
        runLoop(100000, 0, &st);
        const long rss1 = peakRssKb();
        const double secs = runLoop(1000000, 0, &st);
        const long rss2 = peakRssKb();
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
    // Lookups: the last of 10,000 variables against the last of 10.
    {
        constexpr int kReads = 300000;
        std::vector<double> few, many;
        for (int r = 0; r < 5; ++r) {
            few.push_back(readLastVariable(10, kReads));
            many.push_back(readLastVariable(10000, kReads));
        }
        const double f = median(few), m = median(many);
        std::printf("lookups: %d reads of the last of 10 variables %.3f s, of the last of 10,000 %.3f s (ratio %.2f)\n",
                    kReads, f, m, m / f);
    }
    // Labels: fib(16) as a user function at the top against behind 10,000 lines.
    {
        const QString top = fibonacci(16, 10000, true);
        const QString behind = fibonacci(16, 10000, false);
        std::vector<double> a, b;
        QString ra, rb;
        for (int r = 0; r < 5; ++r) {
            a.push_back(runFibonacci(top, &ra));
            b.push_back(runFibonacci(behind, &rb));
        }
        const double t = median(a), u = median(b);
        std::printf("labels: fib(16) = %s / %s, function at the top %.3f s, behind 10,000 lines %.3f s (ratio %.2f)\n",
                    qPrintable(ra), qPrintable(rb), t, u, u / t);
    }
    // Calls: fib(22) and fib(25) as a user function at the top of a short
    // script, microseconds per call (the whole run over its calls).
    for (const int n : {22, 25}) {
        long long calls = 1;
        for (long long a = 1, b = 1, k = 1; k <= n; ++k) { // 2 * fib(n + 1) - 1 calls
            const long long c = a + b;
            a = b;
            b = c;
            calls = 2 * a - 1;
        }
        const QString script = fibonacci(n, 0, true);
        std::vector<double> perCall;
        QString result;
        for (int r = 0; r < 5; ++r)
            perCall.push_back(runFibonacci(script, &result) * 1e6 / double(calls));
        const auto [lo, hi] = std::minmax_element(perCall.begin(), perCall.end());
        std::printf("calls: fib(%d) = %s, %lld calls, %.3f us per call (%.3f-%.3f, 5 runs)\n", n,
                    qPrintable(result), calls, median(perCall), *lo, *hi);
    }
    return 0;
}
