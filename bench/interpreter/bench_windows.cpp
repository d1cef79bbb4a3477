// SPDX-License-Identifier: GPL-3.0-or-later
// The counting loop in a real script window, at the top of a short script
// and of a 100,000-line one: what showing the running statement costs when
// the editor holds a large document. Prints figures; asserts nothing.

#include "editor/skriptwindow.h"
#include "shell/mainform.h"
#include "widgets/headlessdialogs.h"

#include "countingloop.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// Processor time of this process: the machine is shared, and waiting for
// a core is not what is measured here.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The same loop behind 100,000 lines, reached through GOTO.
QString loopAtBottom(int passes)
{
    QStringList l = {QStringLiteral("GOTO Schleife")};
    for (int i = 0; i < 100000 - 8; ++i)
        l << QStringLiteral("EXEC Main.Text.Plus(Text(Zeile) %1)").arg(i);
    l << QStringLiteral(":Schleife") << countingLoopScript(passes, 0);
    return l.join(QStringLiteral("\r\n"));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    varnok::HeadlessDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    constexpr int kPasses = 1000000;
    constexpr int kRounds = 5;
    const QString shortText = countingLoopScript(kPasses, 4);
    const QString longText = countingLoopScript(kPasses, 100000 - 6);
    const QString bottomText = loopAtBottom(kPasses);

    auto run = [&](const QString &text) {
        varnok::Skript *s = form.skriptWindow(form.OpenSkriptWindow());
        s->text1()->setText(text);
        QCoreApplication::processEvents();
        const double start = cpuSeconds();
        s->Ausfuehren_Click();
        const double secs = cpuSeconds() - start;
        s->close();
        QCoreApplication::processEvents();
        return secs;
    };
    std::vector<double> shortTimes, longTimes, bottomTimes;
    for (int r = 0; r < kRounds; ++r) {
        shortTimes.push_back(run(shortText));
        longTimes.push_back(run(longText));
        bottomTimes.push_back(run(bottomText));
    }
    const double s = median(shortTimes), l = median(longTimes), b = median(bottomTimes);
    std::printf("loop of %d passes in a shown script window, processor time, median of %d interleaved runs:\n", kPasses, kRounds);
    std::printf("  10-line script                     %.3f s\n", s);
    std::printf("  100,000-line script, at the top    %.3f s (%+.1f %%)\n", l, (l / s - 1) * 100);
    std::printf("  100,000-line script, at the bottom %.3f s (%+.1f %%)\n", b, (b / s - 1) * 100);
    return 0;
}
