// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of script windows: a counting loop run by varnok-run beside the same
// loop in bash, loading, saving and starting a 10,000-line script, and the
// time and memory it takes to load a large script into a shown window (and,
// for a script longer than the editor's window, to move the window to its
// end). Prints figures; asserts nothing.
//
//   bench_editor          everything
//   bench_editor load     only the large scripts

#include "editor/skriptwindow.h"
#include "common/headlessdialogs.h"
#include "widgets/textbox.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>

#include <cstdio>
#include <cstring>
#include <ctime>

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

// Kilobytes of a field of /proc/self/status ("VmRSS:", "VmHWM:").
long statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

double processorSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// One script loaded into a shown window, in a process of its own so that
// its peak memory is its own: the time until the editor has painted it, the
// peak resident memory and how much of it the load added.
int loadChild(const QString &path)
{
    varnok::HeadlessDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    varnok::Skript *s = form.skriptWindow(form.OpenSkriptWindow());
    QCoreApplication::processEvents();
    const long before = statusKiB("VmRSS:");

    QElapsedTimer t;
    t.start();
    const double cpuBefore = processorSeconds();
    const bool loaded = s->LoadDatei(path);
    while (s->editor()->isDisplayBehind())
        QCoreApplication::processEvents();
    s->editor()->innerEditor()->repaint();
    QCoreApplication::processEvents();
    const double load = seconds(t);
    const double cpu = processorSeconds() - cpuBefore;
    const long peak = statusKiB("VmHWM:");
    // A text longer than the editor's window: what moving the window costs,
    // on past its edge as scrolling does, and to the end of the text.
    varnok::TextBox *box = s->editor();
    // The box's own scroll bar (the editor's is hidden while it is windowed).
    QScrollBar *bar = nullptr;
    for (QScrollBar *b : box->findChildren<QScrollBar *>(Qt::FindDirectChildrenOnly))
        bar = b;
    t.restart();
    if (bar)
        bar->setValue(int(box->firstShownLine()
                          + box->plainTextEdit()->document()->blockCount() * 3 / 4 + 10));
    box->innerEditor()->repaint();
    const double step = seconds(t);
    t.restart();
    box->model()->setSelection(box->model()->scriptText().size(), 0);
    box->syncSelectionNow();
    box->innerEditor()->repaint();
    const double move = seconds(t);
    std::printf("%s %.3f %.3f %ld %ld %.3f %.3f\n", loaded ? "ok" : "FAILED", load, cpu, peak,
                peak - before, box->isWindowed() ? step : -1.0, box->isWindowed() ? move : -1.0);
    return 0;
}

void loadInChild(const QString &program, const QString &name, const QString &path)
{
    QProcess child;
    child.start(program, {QStringLiteral("--load-child"), path});
    child.waitForFinished(-1);
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    const qint64 size = QFileInfo(path).size();
    if (f.size() != 7 || f[0] != "ok") {
        std::printf("  %s: load FAILED\n", qPrintable(name));
        return;
    }
    const double mib = 1024.0;
    std::printf("  %s (%lld bytes): load %.2f s (%.2f s processor time), peak %.1f MiB, of it %.1f MiB for the load (%.1f bytes per file byte)\n",
                qPrintable(name), static_cast<long long>(size), f[1].toDouble(), f[2].toDouble(),
                f[3].toLong() / mib, f[4].toLong() / mib, f[4].toLong() * 1024.0 / double(size));
    if (f[5].toDouble() >= 0)
        std::printf("    shown a window at a time; moving it on past its edge: %.0f ms, to the end: %.0f ms\n",
                    f[5].toDouble() * 1000, f[6].toDouble() * 1000);
    else
        std::printf("    shown whole\n");
}

void largeScripts(const QString &program, const QTemporaryDir &dir)
{
    // The largest file a script may be, of the shortest lines worth having:
    // three characters and CR LF.
    const qint64 most = qint64(16) * 1024 * 1024;
    QByteArray shortLines;
    shortLines.reserve(most);
    while (shortLines.size() + 5 <= most)
        shortLines += "a b\r\n";
    const QString shortPath = dir.filePath(QStringLiteral("kurz.varnok-skript"));
    // An ordinary script of 4 MB: statements of some 60 characters.
    QByteArray ordinary;
    for (int i = 1; ordinary.size() < 4000000; ++i)
        ordinary += "EXEC Main.Text.Plus(Text(Zeile " + QByteArray::number(i) + ") Text(mit etwas Inhalt))\r\n";
    const QString ordinaryPath = dir.filePath(QStringLiteral("normal.varnok-skript"));
    for (const auto &[path, body] : {std::pair{shortPath, &shortLines}, std::pair{ordinaryPath, &ordinary}}) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(*body);
    }
    std::printf("large scripts loaded into a shown window (each in a process of its own)\n");
    loadInChild(program, QStringLiteral("16 MiB of 5-byte lines"), shortPath);
    loadInChild(program, QStringLiteral("4 MB of statements"), ordinaryPath);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--load-child") == 0)
        return loadChild(QString::fromLocal8Bit(argv[2]));
    const bool onlyLoad = argc == 2 && std::strcmp(argv[1], "load") == 0;
    QTemporaryDir dir;
    if (!onlyLoad) {
        countingLoop(dir);
        bigScript(dir);
    }
    largeScripts(QCoreApplication::applicationFilePath(), dir);
    return 0;
}
