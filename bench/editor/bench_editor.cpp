// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of script windows: a counting loop run by varnok-run beside the same
// loop in bash, and loading, saving and starting a 10,000-line script.
// Prints figures; asserts nothing.

#include "editor/skriptwindow.h"
#include "widgets/headlessdialogs.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double seconds(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

constexpr int kPasses = 1000000;

void countingLoop(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("zaehlen.varnok-skript"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("EXEC Skript.User.NewVariable(Text(I))\r\n"
            "EXEC Skript.User.I(0)\r\n"
            "DO\r\n"
            "EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))\r\n"
            "LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 1000000)\r\n");
    f.close();

    QProcess run;
    QElapsedTimer t;
    t.start();
    run.start(QStringLiteral(VARNOK_RUN_PATH), {path});
    run.waitForFinished(-1);
    const double varnokSeconds = seconds(t);
    if (run.exitCode() != 0)
        std::printf("varnok-run ended with %d: %s\n", run.exitCode(),
                    run.readAllStandardError().constData());

    QProcess bash;
    t.restart();
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"),
                QStringLiteral("i=0; while [ $i -lt %1 ]; do i=$((i+1)); done").arg(kPasses)});
    bash.waitForFinished(-1);
    const double bashSeconds = seconds(t);

    // Per pass the runner executes DO, EXEC and LOOPWHILE; two set-up lines.
    const double statements = 3.0 * kPasses + 2;
    std::printf("counting loop, %d passes\n", kPasses);
    std::printf("  varnok-run: %.3f s  (%.0f statements/s, %.0f passes/s, start-up included)\n",
                varnokSeconds, statements / varnokSeconds, kPasses / varnokSeconds);
    std::printf("  bash:       %.3f s  (%.0f passes/s)\n", bashSeconds, kPasses / bashSeconds);
    std::printf("  varnok-run is %.2f times as fast as bash\n", bashSeconds / varnokSeconds);
}

void bigScript(const QTemporaryDir &dir)
{
    constexpr int kLines = 10000;
    QByteArray body = "QUIT\r\n";
    for (int i = 1; i < kLines; ++i)
        body += "EXEC Main.Text.Plus(Text(Zeile " + QByteArray::number(i) + ") Text(mit etwas Inhalt))\r\n";
    const QString path = dir.filePath(QStringLiteral("gross.varnok-skript"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(body);
    f.close();

    varnok::HeadlessDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    varnok::Skript *s = form.skriptWindow(form.OpenSkriptWindow());
    QCoreApplication::processEvents();

    QElapsedTimer t;
    t.start();
    const bool loaded = s->LoadDatei(path);
    QCoreApplication::processEvents(); // let the editor show it
    const double load = seconds(t) * 1000;

    t.restart();
    const bool saved = s->SaveDatei(dir.filePath(QStringLiteral("kopie.varnok-skript")));
    const double save = seconds(t) * 1000;

    t.restart();
    s->Ausfuehren_Click(); // the first line is QUIT: start-up and end of a run
    QCoreApplication::processEvents();
    const double start = seconds(t) * 1000;

    std::printf("%d-line script (%lld bytes)%s\n", kLines, static_cast<long long>(body.size()),
                loaded && saved ? "" : "  [load or save FAILED]");
    std::printf("  load %.1f ms, save %.1f ms, start %.1f ms, together %.1f ms\n", load, save,
                start, load + save + start);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    countingLoop(dir);
    bigScript(dir);
    return 0;
}
