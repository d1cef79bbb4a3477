// SPDX-License-Identifier: GPL-3.0-or-later
// The counting loop in a real script window, at the top of a short script
// and of a 100,000-line one: what showing the running statement costs when
// the editor holds a large document; then 100 request windows opened by a
// script, shown and painted, as a person waits for them. Prints figures;
// asserts nothing.

#include "editor/skriptwindow.h"
#include "shell/mainform.h"
#include "common/headlessdialogs.h"
#include "widgets/textbox.h"

#include "countingloop.h"
#include "measure.h"
#include "widgets/iconcachestyle.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

namespace {

using varnok::bench::median;
using varnok::bench::processorSeconds;

// The same loop behind 100,000 lines, reached through GOTO.
QString loopAtBottom(int passes)
{
    QStringList l = {QStringLiteral("GOTO Schleife")};
    for (int i = 0; i < 100000 - 8; ++i)
        l << QStringLiteral("EXEC Main.Text.Plus(Text(Zeile) %1)").arg(i);
    l << QStringLiteral(":Schleife") << countingLoopScript(passes, 0);
    return l.join(QStringLiteral("\r\n"));
}

// Resident memory of this process, in KiB.
long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

} // namespace

int main(int argc, char **argv)
{
    varnok::bench::offscreenUnlessDisplayed();
    QApplication app(argc, argv);
    varnok::installIconCacheStyle(app);
    varnok::HeadlessDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    constexpr int kPasses = 1000000;
    constexpr int kRounds = 5;
    const QString shortText = countingLoopScript(kPasses, 4);
    const QString longText = countingLoopScript(kPasses, 100000 - 6);
    const QString bottomText = loopAtBottom(kPasses);

    // "fenster": only the request windows (for a profiler).
    const bool windowsOnly = argc > 1 && qstrcmp(argv[1], "fenster") == 0;

    auto run = [&](const QString &text) {
        varnok::Skript *s = form.skriptWindow(form.OpenSkriptWindow());
        s->text1()->setText(text);
        // The editor shows a new text at the next frame; that is loading,
        // not running, so it is done before the clock starts.
        s->editor()->flushDisplay();
        QCoreApplication::processEvents();
        const double start = processorSeconds();
        s->Ausfuehren_Click();
        const double secs = processorSeconds() - start;
        s->close();
        QCoreApplication::processEvents();
        return secs;
    };
    std::vector<double> shortTimes, longTimes, bottomTimes;
    for (int r = 0; r < kRounds && !windowsOnly; ++r) {
        shortTimes.push_back(run(shortText));
        longTimes.push_back(run(longText));
        bottomTimes.push_back(run(bottomText));
    }
    if (!windowsOnly) {
        const double s = median(shortTimes), l = median(longTimes), b = median(bottomTimes);
        std::printf("loop of %d passes in a shown script window, processor time, median of %d interleaved runs:\n", kPasses, kRounds);
        std::printf("  10-line script                     %.3f s\n", s);
        std::printf("  100,000-line script, at the top    %.3f s (%+.1f %%)\n", l, (l / s - 1) * 100);
        std::printf("  100,000-line script, at the bottom %.3f s (%+.1f %%)\n", b, (b / s - 1) * 100);
    }

    // Last, so the windows it leaves open weigh on nothing else measured.
    constexpr int kWindows = 100;
    QStringList opening;
    for (int i = 0; i < kWindows; ++i)
        opening << QStringLiteral("EXEC NewSeiteFenster()");
    varnok::Skript *opener = form.skriptWindow(form.OpenSkriptWindow());
    opener->text1()->setText(opening.join(QStringLiteral("\r\n")));
    QCoreApplication::processEvents();
    const long kibBefore = residentKiB();
    const double cpuBefore = processorSeconds();
    QElapsedTimer wall;
    wall.start();
    opener->Ausfuehren_Click();
    QCoreApplication::processEvents(); // shown and painted
    const double wallSecs = double(wall.nsecsElapsed()) / 1e9;
    const double cpuSecs = processorSeconds() - cpuBefore;
    std::printf("%d request windows opened by a script, shown: %.0f ms elapsed, %.0f ms processor time, "
                "%+ld KiB resident each\n",
                kWindows, wallSecs * 1000, cpuSecs * 1000, (residentKiB() - kibBefore) / kWindows);
    return 0;
}
