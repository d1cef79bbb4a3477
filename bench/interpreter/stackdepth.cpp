// SPDX-License-Identifier: GPL-3.0-or-later
// Native stack one level of nesting takes: a recursive user function
// `depth` calls deep, then `depth` nested parameters, both in a script run
// (on the run stack). Prints the bytes per level, the run's time and the
// process's peak memory.
//   bench_stackdepth [DEPTH]   (default 200)
#include "measure.h"
#include "support/testhost.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace varnok;
using namespace varnok::test;

namespace {

using bench::monotonicSeconds;
using bench::peakRssKb;

} // namespace

int main(int argc, char **argv)
{
    const int depth = argc > 1 ? atoi(argv[1]) : 200;
    TestHost host;
    host.createSkriptWindow();
    host.createSkriptWindow();
    // The frames at the yields of the outermost and of the innermost level.
    uintptr_t lo = UINTPTR_MAX, hi = 0;
    host.onYield = [&] {
        char c;
        const auto here = reinterpret_cast<uintptr_t>(&c);
        lo = here < lo ? here : lo;
        hi = here > hi ? here : hi;
    };
    const QString s = lines({"EXEC Skript.User.NewFunction(Text(Tief) Text(TIEF))",
                             "EXEC SkriptFenster(2).Text(Skript.User.Tief(%1))", "QUIT", ":TIEF",
                             "IF Main.Bedingung.Mathe.Groesser(Skript.Funktion.Parameter(1) 0)",
                             "EXEC Skript.Funktion.Rueckgabe(Main.Mathe.Plus(1 Skript.User.Tief(Main.Mathe.Minus(Skript.Funktion.Parameter(1) 1))))",
                             "ENDIF", "EXITFUNCTION"})
                          .arg(depth);
    double start = monotonicSeconds();
    host.runScript(s);
    double secs = monotonicSeconds() - start;
    std::printf("calls: depth %d result %s messages %lld, %lu bytes of stack per level, %.3f s, peak RSS %ld KiB\n",
                depth, qPrintable(host.skript(2)->text->text()), static_cast<long long>(host.messages.size()),
                static_cast<unsigned long>((hi - lo) / uintptr_t(depth)), secs, peakRssKb());

    // Nested parameters: the innermost one is a user function, whose yield
    // shows how deep the stack went.
    TestHost nestedHost;
    nestedHost.createSkriptWindow();
    nestedHost.createSkriptWindow();
    lo = UINTPTR_MAX;
    hi = 0;
    nestedHost.onYield = host.onYield;
    QString nested;
    for (int i = 0; i < depth; ++i)
        nested += QStringLiteral("Main.Text.Len(");
    nested += QStringLiteral("Skript.User.Innen()") + QString(depth, u')');
    const QString n = lines({"EXEC Skript.User.NewFunction(Text(Innen) Text(INNEN))",
                             "EXEC SkriptFenster(2).Text(%1)", "QUIT", ":INNEN",
                             "EXEC Skript.Funktion.Rueckgabe(Text(x))", "EXITFUNCTION"})
                          .arg(nested);
    start = monotonicSeconds();
    nestedHost.runScript(n);
    secs = monotonicSeconds() - start;
    std::printf("parameters: depth %d result %s messages %lld, %lu bytes of stack per level, %.3f s, peak RSS %ld KiB\n",
                depth, qPrintable(nestedHost.skript(2)->text->text()),
                static_cast<long long>(nestedHost.messages.size()),
                static_cast<unsigned long>((hi - lo) / uintptr_t(depth)), secs, peakRssKb());
    return 0;
}
