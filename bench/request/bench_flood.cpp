// SPDX-License-Identifier: GPL-3.0-or-later
// A header flood: an answer whose header holds 400,000 lines (about 9 MB)
// before a short body, fetched by a script in a shown main window while the
// same script keeps counting in a loop. Prints, beside curl fetching the
// same answer in the same run:
//   - the time from Senden to Status "0",
//   - the script's statements per second during the flood against the same
//     loop without a request,
//   - the longest stretch in which the event loop let no 5 ms timer through,
//   - how long Stopp, pressed in the middle of the flood, takes to end the run,
//   - memory per header line (peak RSS).
// Once with lines of no known header (all of them go to "weitere Angaben"),
// once with known header names (each replaces its field).
//
//   bench_flood [lines] [runs]

#include "editor/skriptwindow.h"
#include "request/seitewindow.h"
#include "shell/mainform.h"
#include "common/headlessdialogs.h"
#include "widgets/textbox.h"

#include "benchserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace varnok;
using namespace varnok::bench;

namespace {

std::string makeFlood(int lines, bool known)
{
    static const char *kKnown[] = {"Server", "Date", "Content-Type", "Last-Modified", "ETag",
                                   "Content-Range", "Content-Location", "Accept-Ranges", "Location"};
    std::string a = "HTTP/1.1 200 OK\r\n";
    a.reserve(size_t(lines) * 26 + 100);
    char buf[64];
    for (int i = 0; i < lines; ++i) {
        if (known)
            std::snprintf(buf, sizeof buf, "%s: %07d abcdefgh\r\n", kKnown[i % 9], i);
        else
            std::snprintf(buf, sizeof buf, "X-Flut-%07d: abcdefgh\r\n", i);
        a += buf;
    }
    a += "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    return a;
}

// The script: open a request window, send, then count for ever; every
// pass also writes the count into a field, as scripts that report do.
QString floodScript(quint16 port, bool send)
{
    QString s = QStringLiteral("EXEC NewSeiteFenster()\r\n"
                               "EXEC SeiteFenster(1).Input.Server(Text(127.0.0.1))\r\n"
                               "EXEC SeiteFenster(1).Input.Port(%1)\r\n"
                               "EXEC Skript.User.NewVariable(Text(N))\r\n")
                    .arg(port);
    if (send)
        s += QStringLiteral("EXEC SeiteFenster(1).Senden()\r\n");
    s += QStringLiteral("DO\r\n"
                        "EXEC Skript.User.N(Main.Mathe.Plus(Skript.User.N 1))\r\n"
                        "EXEC SeiteFenster(1).Input.Referer(Skript.User.N)\r\n"
                        "LOOPWHILE 1\r\n");
    return s;
}

struct Outcome {
    double untilDoneMs = 0;  // Senden to Status "0"
    double untilShownMs = 0; // and until every box shows all of it
    double statementsPerSec = 0;
    double longestGapMs = 0;
    double stopMs = -1;      // Stopp to idle
};

// One run of the script in script window 1. With `stopAfterMs` >= 0 Stopp
// is pressed that long after the start; otherwise when Status is "0" again
// (or after `plainMs` when nothing is sent).
Outcome runOnce(MainForm &form, quint16 port, bool send, double stopAfterMs, double plainMs)
{
    Engine &engine = form.engine();
    Skript *s = form.skriptWindow(form.OpenSkriptWindow());
    s->document().loadDocument(floodScript(port, send), QString());
    QCoreApplication::processEvents();

    Outcome o;
    QElapsedTimer clock;
    double lastTick = 0;
    bool sawBusy = false;
    bool stopped = false;
    double stopAt = 0;
    bool done = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        if (!stopped)
            o.longestGapMs = std::max(o.longestGapMs, now - lastTick);
        lastTick = now;
        if (stopped)
            return;
        const QString status = form.IsSeiteWindowOpen(1)
                                   ? engine.GetValueByPath(u"SeiteFenster(1).Status", {}, 0)
                                   : QString();
        if (status == u"1" || status == u"2" || status == u"3")
            sawBusy = true;
        const bool finished = send ? (sawBusy && status == u"0") : now >= plainMs;
        if (finished && o.untilDoneMs == 0)
            o.untilDoneMs = now;
        bool shown = finished;
        if (QWidget *w = form.seiteWindow(1))
            for (const TextBox *box : w->findChildren<TextBox *>())
                shown = shown && !box->isDisplayBehind();
        if (shown && o.untilShownMs == 0)
            o.untilShownMs = now;
        const bool stopNow = stopAfterMs >= 0 ? now >= stopAfterMs : shown;
        if (stopNow) {
            const double n = engine.GetValueByPath(u"SeiteFenster(1).Input.Referer", {}, 0).toDouble();
            o.statementsPerSec = n * 3 / (now / 1000.0);
            stopped = true;
            stopAt = now;
            s->Ausfuehren_Click(); // Stopp
        }
    });
    QObject::connect(&s->document(), &SkriptDocument::busyChanged, [&] {
        if (s->isIdle() && stopped) {
            // From when Stopp was due: a stalled event loop delays the
            // press as it would delay a person's click.
            o.stopMs = clock.nsecsElapsed() / 1e6 - (stopAfterMs >= 0 ? stopAfterMs : stopAt);
            done = true;
        }
    });
    clock.start();
    ticker.start();
    QTimer::singleShot(0, s, [s] { s->Ausfuehren_Click(); });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ticker.stop();
    // Let the answer finish before the windows go.
    for (int i = 0; i < 20000 && form.IsSeiteWindowOpen(1)
                    && engine.GetValueByPath(u"SeiteFenster(1).Status", {}, 0) != u"0";
         ++i)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (form.IsSeiteWindowOpen(1))
        form.host().seiteClose(1);
    s->document().loadDocument(QString(), QString());
    form.host().skriptClose(s->index());
    QCoreApplication::processEvents();
    return o;
}

double curlMs(quint16 port)
{
    QElapsedTimer t;
    t.start();
    QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"),
                                               QStringLiteral("/dev/null"),
                                               QStringLiteral("http://127.0.0.1:%1/").arg(port)});
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    const int lines = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 400000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string other = makeFlood(lines, false);
    const std::string known = makeFlood(lines, true);
    const Server otherServer = startServer([&](int fd) { serveAnswer(fd, other.data(), other.size()); });
    const Server knownServer = startServer([&](int fd) { serveAnswer(fd, known.data(), known.size()); });

    offscreenUnlessDisplayed();
    QApplication app(argc, argv);
    HeadlessDialogs dialogs;
    MainForm form(dialogs);
    form.resize(1000, 800);
    form.show();
    QCoreApplication::processEvents();

    std::vector<double> plainRate;
    for (int r = 0; r < runs; ++r)
        plainRate.push_back(runOnce(form, otherServer.port, false, -1, 1000).statementsPerSec);
    std::printf("header flood: %d lines; %d runs each, medians\n", lines, runs);
    std::printf("the loop without a request: %.0f statements/s\n", median(plainRate));
    const long rssBefore = peakRssKb();

    for (const auto &[name, size, port] :
         {std::tuple{"other headers", other.size(), otherServer.port},
          std::tuple{"known headers", known.size(), knownServer.port}}) {
        std::vector<double> curl, done, shown, rate, gap, stop;
        for (int r = 0; r < runs; ++r) {
            curl.push_back(curlMs(port));
            const Outcome a = runOnce(form, port, true, -1, 0);
            done.push_back(a.untilDoneMs);
            shown.push_back(a.untilShownMs);
            rate.push_back(a.statementsPerSec);
            gap.push_back(a.longestGapMs);
            stop.push_back(runOnce(form, port, true, 150, 0).stopMs);
        }
        const double c = median(curl);
        std::printf("%s (%.1f MB):\n", name, size / 1e6);
        std::printf("  Senden to Status 0  %8.1f ms   curl %6.1f ms   %5.1fx\n", median(done), c,
                    median(done) / c);
        std::printf("  ... until all shown %8.1f ms\n", median(shown));
        std::printf("  statements during   %8.0f /s   %4.0f %% of the loop alone\n", median(rate),
                    100 * median(rate) / median(plainRate));
        std::printf("  longest stall       %8.1f ms (max %.1f)\n", median(gap),
                    *std::max_element(gap.begin(), gap.end()));
        std::printf("  Stopp mid-flood     %8.1f ms (max %.1f)\n", median(stop),
                    *std::max_element(stop.begin(), stop.end()));
    }
    const long peak = peakRssKb();
    std::printf("peak RSS %.1f MiB, %.0f bytes per header line above the loop alone\n", peak / 1024.0,
                (peak - rssBefore) * 1024.0 / lines);
    stopServer(otherServer);
    stopServer(knownServer);
    return 0;
}
