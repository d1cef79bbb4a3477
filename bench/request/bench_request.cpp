// SPDX-License-Identifier: GPL-3.0-or-later
// Time until a request window's Status is "0" with a whole 20 MiB answer in
// its output box, beside curl fetching the same answer from the same server
// in the same run, and the window process's peak memory; then a script in
// varnok-run that sends the request and waits in a loop for Status "0" (the
// time the script measures, and the whole process); then the window over
// TLS (https+unsicher://, a certificate made by the openssl program for this
// run, a small python3 TLS server) beside plain TCP.
//
//   bench_request [MiB] [runs] [rows]
//
// `rows` picks some of the rows for a profiler, e.g. "tls" or "text,script"
// (text, binary, script, tls, lines, shown, mitschnitt); all of them by
// default. "shown" is the shown window beside the request engine alone on
// text models, as varnok-run runs it, text body. "lines" is varnok-run's
// peak memory for a body of bare LFs (the same MiB), beside the same run for
// a text body, for an empty one, and for a text body the script never reads.
//
// The servers are child processes on 127.0.0.1, so their copies of the body
// do not count towards the window's memory.

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"
#include "request/mitschnittwindow.h"
#include "request/outputview.h"
#include "common/headlessdialogs.h"
#include "request/seitewindow.h"

#include "benchserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace varnok;
using namespace varnok::bench;

namespace {

enum class Body { Text, Binary, BareLf };

std::vector<char> makeAnswer(size_t bodySize, Body kind)
{
    const bool binary = kind == Body::Binary;
    std::string header = "HTTP/1.1 200 OK\r\nServer: bench\r\nContent-Type: "
                         + std::string(binary ? "application/octet-stream" : "text/plain")
                         + "\r\nContent-Length: " + std::to_string(bodySize)
                         + "\r\nConnection: close\r\n\r\n";
    std::vector<char> out(header.begin(), header.end());
    out.reserve(header.size() + bodySize);
    std::mt19937 rng(42);
    for (size_t i = 0; i < bodySize; ++i) {
        if (binary)
            out.push_back(char(rng() & 0xFF));
        else if (kind == Body::BareLf)
            out.push_back('\n');
        else
            out.push_back(i % 80 == 78 ? '\r' : i % 80 == 79 ? '\n' : char('a' + rng() % 26));
    }
    return out;
}

long currentRssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The ratios of runs taken one right after the other: on a shared machine
// the load changes between runs more than within one.
std::vector<double> ratios(const std::vector<double> &own, const std::vector<double> &peer)
{
    std::vector<double> r;
    for (size_t i = 0; i < own.size() && i < peer.size(); ++i)
        r.push_back(own[i] / peer[i]);
    return r;
}

// "median (min-max)", since the spread matters as much as the median.
std::string spread(const std::vector<double> &v, int decimals = 1)
{
    if (v.empty())
        return "-";
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    char out[96];
    std::snprintf(out, sizeof out, "%.*f (%.*f-%.*f)", decimals, median(v), decimals, *lo,
                  decimals, *hi);
    return out;
}

// One row: the peer's and Varnok's times and the ratios run by run.
void printRow(const char *name, const std::vector<double> &peerMs, const std::vector<double> &ownMs,
              const char *note = "")
{
    std::printf("%-8s %22s %22s %20s%s\n", name, spread(peerMs).c_str(), spread(ownMs).c_str(),
                (spread(ratios(ownMs, peerMs), 2) + "x").c_str(), note);
}

// One window fetching from the servers, `runs` times each.
struct Measure
{
    SeiteWindow &window;
    Engine &engine;
    size_t bodySize;
    int runs;
    bool ok = true;

    // One request until Status "0", in ms; checks that all of it arrived.
    double fetch(const QString &server, quint16 port)
    {
        window.model(SeiteField::Server)->setText(server);
        window.model(SeiteField::Port)->setText(QString::number(port));
        QElapsedTimer t;
        t.start();
        window.Command1_Click();
        while (window.requestState() != 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = t.nsecsElapsed() / 1e6;
        const QString status = engine.GetValueByPath(u"SeiteFenster(1).Status", {}, 0);
        const qsizetype got = window.model(SeiteField::Text)->size();
        if (status != u"0" || got != qsizetype(bodySize)) {
            std::printf("incomplete: Status %s, %lld of %zu body characters\n", qPrintable(status),
                        (long long)got, bodySize);
            ok = false;
        }
        // The answer is on screen, not only in the model.
        window.outputView()->viewport()->repaint();
        return ms;
    }

    // Each run curl, then the window; prints a row.
    void row(const char *name, const QString &server, quint16 port, const QStringList &curlArgs,
             const QString &url)
    {
        std::vector<double> curlMs, ownMs;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            const int rc = QProcess::execute(QStringLiteral("curl"), curlArgs + QStringList{url});
            curlMs.push_back(t.nsecsElapsed() / 1e6);
            if (rc != 0)
                std::printf("curl failed (%d)\n", rc);
            ownMs.push_back(fetch(server, port));
        }
        printRow(name, curlMs, ownMs);
    }

    // Each run the same answer over plain TCP, then over TLS.
    void tlsBesidePlain(quint16 plainPort, quint16 tlsPort)
    {
        std::vector<double> plainMs, tlsMs;
        for (int r = 0; r < runs; ++r) {
            plainMs.push_back(fetch(QStringLiteral("127.0.0.1"), plainPort));
            tlsMs.push_back(fetch(QStringLiteral("https+unsicher://127.0.0.1"), tlsPort));
        }
        printRow("tls/tcp", plainMs, tlsMs, "  (TLS beside plain TCP, binary body; peer: plain)");
    }
};

// The request engine alone on the window's text models, no widget: one
// request until Status "0", in ms.
double fetchHeadless(quint16 port, size_t bodySize, bool &ok)
{
    NullHost host;
    Engine engine(host);
    SeiteModels models;
    for (const SeiteFieldRow &row : kSeiteFields)
        models[row.field] = std::make_shared<TextModel>(row.defaultText.toString());
    RequestSession session(engine, models);
    models[SeiteField::Server]->setText(QStringLiteral("127.0.0.1"));
    models[SeiteField::Port]->setText(QString::number(port));
    QElapsedTimer t;
    t.start();
    session.toggle();
    while (session.requestState() != 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double ms = t.nsecsElapsed() / 1e6;
    if (models[SeiteField::Text]->size() != qsizetype(bodySize)) {
        std::printf("headless: incomplete\n");
        ok = false;
    }
    return ms;
}

// varnok-run with a script that fetches from `port` twice, `runs` times:
// the time from Senden to Status "0" as the script measures it (Main.Timer),
// of the first request (which also waits for the new window's first paint
// and the loading of the glyphs the answer shows) and of the second, and the
// whole process; beside curl's whole process.
bool scriptRows(const QString &dir, quint16 port, size_t bodySize, int runs)
{
    const QString out = dir + QStringLiteral("/gemessen.txt");
    const QString fetch = QStringLiteral(
        "EXEC Skript.User.T(Main.Timer())\r\n"
        "EXEC SeiteFenster(1).Senden()\r\n"
        "DO\r\n"
        "LOOPWHILE Main.Bedingung.Text.Ungleich(SeiteFenster(1).Status Text(0))\r\n"
        "EXEC Skript.User.T(Main.Mathe.Minus(Main.Timer() Skript.User.T))\r\n");
    const QString script =
        QStringLiteral("EXEC NewSeiteFenster()\r\n"
                       "EXEC SeiteFenster(1).Input.Server(Text(127.0.0.1))\r\n"
                       "EXEC SeiteFenster(1).Input.Port(%1)\r\n"
                       "EXEC Skript.User.NewVariable(Text(T))\r\n"
                       "EXEC Skript.User.NewVariable(Text(E))\r\n")
            .arg(port)
        + fetch + QStringLiteral("EXEC Skript.User.E(Skript.User.T)\r\n") + fetch
        + QStringLiteral("EXEC Main.File.Write(Text(%1) 1 Main.Text.Plus(Skript.User.E "
                         "Main.Text.Plus(Text(_) Main.Text.Plus(Skript.User.T "
                         "Main.Text.Plus(Text(_) Main.Text.Len(SeiteFenster(1).Text))))))\r\n")
              .arg(out);
    const QString file = dir + QStringLiteral("/holen.varnok-skript");
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(script.toLatin1());
    }
    std::vector<double> curlMs, firstMs, secondMs, processMs;
    bool ok = true;
    // VARNOK_RUN in the environment names another build to compare with.
    const QString varnokRun = qEnvironmentVariableIsSet("VARNOK_RUN")
                                  ? qEnvironmentVariable("VARNOK_RUN")
                                  : QStringLiteral(VARNOK_RUN);
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        QProcess::execute(QStringLiteral("curl"),
                          {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                           QStringLiteral("http://127.0.0.1:%1/").arg(port)});
        const double curl = t.nsecsElapsed() / 1e6;

        QFile::remove(out);
        t.start();
        const int rc = QProcess::execute(varnokRun, {file});
        const double process = t.nsecsElapsed() / 1e6;
        QFile result(out);
        const QList<QByteArray> parts =
            result.open(QIODevice::ReadOnly) ? result.readAll().split('_') : QList<QByteArray>();
        if (rc != 0 || parts.size() != 3 || parts[2].toULongLong() != bodySize) {
            std::printf("script run failed (exit %d)\n", rc);
            ok = false;
            continue;
        }
        curlMs.push_back(curl);
        processMs.push_back(process);
        firstMs.push_back(parts[0].toDouble());
        secondMs.push_back(parts[1].toDouble());
    }
    if (firstMs.empty())
        return false;
    printRow("script", curlMs, firstMs, "  (varnok-run: Senden to Status 0, first request)");
    printRow("", curlMs, secondMs, "  (second request of the same script)");
    printRow("", curlMs, processMs, "  (whole varnok-run process: start, two requests, end)");
    return ok;
}

// Runs varnok-run on `file` (or curl on the address `file`, writing to
// `output`) and returns its exit status and its own peak resident memory
// in KiB (wait4, so no other child counts).
std::pair<int, long> runMeasured(const QString &program, const QString &file,
                                 const QString &output = QString())
{
    const QByteArray prog = program.toLocal8Bit();
    const QByteArray arg = file.toLocal8Bit();
    const QByteArray out = output.toLocal8Bit();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            dup2(null, 2);
        }
        if (out.isEmpty())
            execl(prog.constData(), prog.constData(), arg.constData(), static_cast<char *>(nullptr));
        else // curl
            execl(prog.constData(), prog.constData(), "-s", "-o", out.constData(), arg.constData(),
                  static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return {-1, 0};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// varnok-run with a script that fetches once from `port` and writes the
// body's length to a file: its peak memory in KiB (median), checked that
// all of it arrived, and its whole process's time beside curl's; -1 when
// not all arrived. Unless `readBody`, the script
// writes the status line instead and never reads the body.
double peakRow(const char *name, const QString &dir, quint16 port, size_t bodySize, int runs,
               double emptyKb, bool readBody = true)
{
    const QString out = dir + QStringLiteral("/laenge.txt");
    const QString script =
        QStringLiteral("EXEC NewSeiteFenster()\r\n"
                       "EXEC SeiteFenster(1).Input.Server(Text(127.0.0.1))\r\n"
                       "EXEC SeiteFenster(1).Input.Port(%1)\r\n"
                       "EXEC SeiteFenster(1).Senden()\r\n"
                       "DO\r\n"
                       "LOOPWHILE Main.Bedingung.Text.Ungleich(SeiteFenster(1).Status Text(0))\r\n"
                       "EXEC Main.File.Write(Text(%2) 1 %3)\r\n")
            .arg(port)
            .arg(out)
            .arg(readBody ? QStringLiteral("Main.Text.Len(SeiteFenster(1).Text)")
                          : QStringLiteral("SeiteFenster(1).Output.Rueckgabe"));
    const QString file = dir + QStringLiteral("/einmal.varnok-skript");
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return -1;
        f.write(script.toLatin1());
    }
    const QString varnokRun = qEnvironmentVariableIsSet("VARNOK_RUN")
                                  ? qEnvironmentVariable("VARNOK_RUN")
                                  : QStringLiteral(VARNOK_RUN);
    std::vector<double> peakMiB, curlMs, processMs;
    for (int r = 0; r < runs; ++r) {
        QFile::remove(out);
        QElapsedTimer t;
        t.start();
        runMeasured(QStringLiteral("/usr/bin/curl"), QStringLiteral("http://127.0.0.1:%1/").arg(port),
                    QStringLiteral("/dev/null"));
        curlMs.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        const auto [rc, kb] = runMeasured(varnokRun, file);
        processMs.push_back(t.nsecsElapsed() / 1e6);
        QFile result(out);
        const QByteArray length = result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
        if (rc != 0 || (readBody ? length.toULongLong() != bodySize : !length.startsWith("HTTP/"))) {
            std::printf("%s: varnok-run failed (exit %d, length %s)\n", name, rc, length.constData());
            return -1;
        }
        peakMiB.push_back(kb / 1024.0);
    }
    const double peak = median(peakMiB);
    std::printf("%-8s peak %s MiB", name, spread(peakMiB).c_str());
    if (bodySize > 0)
        std::printf(" = %.2f bytes per body byte", peak * 1048576.0 / double(bodySize));
    if (emptyKb > 0)
        std::printf(", %.2f above the empty body", (peak * 1024.0 - emptyKb) * 1024.0 / double(bodySize));
    std::printf("\n");
    printRow("", curlMs, processMs, "  (the whole varnok-run process beside curl's, both ms)");
    return peak * 1024.0;
}

// A self-signed certificate and its key for 127.0.0.1 in `dir`.
bool makeCertificate(const QString &dir)
{
    const std::string cmd =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj /CN=127.0.0.1 -keyout '" + dir.toStdString() + "/key.pem' -out '"
        + dir.toStdString() + "/cert.pem' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Serves the file "answer" of its folder over TLS to every connection, after
// the request's header; prints its port first. (openssl's own s_server
// sends no Content-Length, and Qt's TLS server was slower than the client.)
constexpr const char *kTlsServer = R"(
import socket, ssl, sys
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain('cert.pem', 'key.pem')
answer = open('answer', 'rb').read()
s = socket.socket()
s.bind(('127.0.0.1', 0))
s.listen(8)
print(s.getsockname()[1], flush=True)
while True:
    c, _ = s.accept()
    try:
        t = ctx.wrap_socket(c, server_side=True)
        request = b''
        while b'\r\n\r\n' not in request:
            more = t.recv(65536)
            if not more:
                break
            request += more
        t.sendall(answer)
        t.close()
    except OSError:
        c.close()
)";

// Opening the Mitschnitt window on a 100 MiB answer and showing its last
// hex rows, beside hexdump -C showing the last screenful of the same bytes
// from a file.
void mitschnittWindowRow(const QString &dir)
{
    constexpr qint64 kSize = qint64(100) << 20;
    constexpr qint64 kPiece = qint64(64) << 10;
    std::mt19937 random(7);
    auto transcript = std::make_shared<Transcript>(0, QStringLiteral("127.0.0.1:80"));
    QFile file(dir + QStringLiteral("/mitschnitt.bin"));
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (qint64 at = 0; at < kSize; at += kPiece) {
        QByteArray piece(kPiece, Qt::Uninitialized);
        for (char &c : piece)
            c = char(random());
        transcript->addArrival(at, piece);
        file.write(piece);
    }
    file.close();
    transcript->addEvent(TranscriptEvent::Geschlossen, kSize);

    std::vector<double> ownMs;
    for (int run = 0; run < 3; ++run) {
        HeadlessDialogs dialogs;
        QElapsedTimer t;
        t.start();
        MitschnittWindow window(dialogs, 1);
        window.setTranscript(transcript);
        window.resize(800, 600);
        window.show();
        window.showTab(MitschnittWindow::EmpfangenTab);
        ByteView *hex = window.byteView(MitschnittWindow::EmpfangenTab);
        hex->scrollToRow(hex->rowCount() - 1);
        window.grab();
        QCoreApplication::processEvents();
        ownMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const QString hexdump = QStandardPaths::findExecutable(QStringLiteral("hexdump"));
    double peerMs = 0;
    if (!hexdump.isEmpty()) {
        std::vector<double> peer;
        for (int run = 0; run < 3; ++run) {
            QProcess p;
            QElapsedTimer t;
            t.start();
            p.start(hexdump, {QStringLiteral("-C"), QStringLiteral("-s"), QString::number(kSize - 40 * 16),
                              file.fileName()});
            p.waitForFinished();
            peer.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        peerMs = median(peer);
    }
    const double own = median(ownMs);
    std::printf("Mitschnitt window on a 100 MiB answer, opened at its last hex rows: %.1f ms (target 300 ms, %.2fx)",
                own, own / 300.0);
    if (peerMs > 0)
        std::printf("; hexdump -C of the last 40 rows %.1f ms, %.1fx\n", peerMs, own / peerMs);
    else
        std::printf("; hexdump not found\n");
    file.remove();
}

} // namespace

int main(int argc, char **argv)
{
    const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const size_t bodySize = size_t(mib) * 1024 * 1024;
    const QStringList picked = argc > 3 ? QString::fromLocal8Bit(argv[3]).split(u',') : QStringList();
    const auto wanted = [&](const char *row) {
        return picked.isEmpty() || picked.contains(QLatin1StringView(row));
    };

    // The answers are made and the servers started before Qt starts any
    // thread in this process, so the forks copy a single-threaded process.
    QTemporaryDir tlsDir;
    bool tls = tlsDir.isValid() && makeCertificate(tlsDir.path());
    std::vector<char> textAnswer = makeAnswer(bodySize, Body::Text);
    const Server textServer = startServer([&](int fd) { bench::serveAnswer(fd, textAnswer.data(), textAnswer.size()); });
    std::vector<char> binaryAnswer = makeAnswer(bodySize, Body::Binary);
    const Server binaryServer = startServer([&](int fd) { bench::serveAnswer(fd, binaryAnswer.data(), binaryAnswer.size()); });
    if (tls) {
        QFile f(tlsDir.filePath(QStringLiteral("answer")));
        tls = f.open(QIODevice::WriteOnly)
              && f.write(binaryAnswer.data(), qint64(binaryAnswer.size())) == qint64(binaryAnswer.size());
    }
    Server linesServer, emptyServer;
    if (wanted("lines")) {
        std::vector<char> lines = makeAnswer(bodySize, Body::BareLf);
        linesServer = startServer([&](int fd) { bench::serveAnswer(fd, lines.data(), lines.size()); });
        std::vector<char> empty = makeAnswer(0, Body::Text);
        emptyServer = startServer([&](int fd) { bench::serveAnswer(fd, empty.data(), empty.size()); });
    }
    const size_t answerSize = textAnswer.size();
    // The parent no longer needs its copies.
    std::vector<char>().swap(textAnswer);
    std::vector<char>().swap(binaryAnswer);

    // First, while this process is small: a forked child's peak counts
    // what it inherited until it runs varnok-run, and after the window's
    // rows that is more than varnok-run itself needs.
    bool peaksOk = true;
    if (wanted("lines")) {
        std::printf("varnok-run, one request, peak resident memory, median (min-max) of %d runs:\n", runs);
        const double emptyKb = peakRow("empty", tlsDir.path(), emptyServer.port, 0, runs, 0);
        if (emptyKb < 0 || peakRow("text", tlsDir.path(), textServer.port, bodySize, runs, emptyKb) < 0
            || peakRow("bare LF", tlsDir.path(), linesServer.port, bodySize, runs, emptyKb) < 0
            || peakRow("unread", tlsDir.path(), textServer.port, bodySize, runs, emptyKb, false) < 0)
            peaksOk = false;
        stopServer(linesServer);
        stopServer(emptyServer);
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NullHost host;
    Engine engine(host);
    SeiteWindow window(engine);
    window.resize(700, 620);
    window.show();
    window.setIndex(1);
    RegisterSeiteFenster(engine.root(), 1, window.fields(), builtinSites(),
                         window.session().mitschnittFields());
    engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    QCoreApplication::processEvents();
    const long baseRss = currentRssKb();
    // The answers this process made and let go before are no peak of the window's.
    const bool peakReset = resetPeakRss();

    std::printf("answer: %d MiB body (%zu bytes with header), %d runs each, median (min-max)\n",
                mib, answerSize, runs);
    std::printf("%-8s %22s %22s %20s\n", "body", "curl ms", "Varnok ms", "ratio");
    Measure m{window, engine, bodySize, runs};
    const QStringList curlArgs = {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null")};
    const auto url = [](const char *scheme, quint16 port) {
        return QStringLiteral("%1://127.0.0.1:%2/").arg(QLatin1StringView(scheme)).arg(port);
    };
    if (wanted("text"))
        m.row("text", QStringLiteral("127.0.0.1"), textServer.port, curlArgs,
              url("http", textServer.port));
    if (wanted("binary"))
        m.row("binary", QStringLiteral("127.0.0.1"), binaryServer.port, curlArgs,
              url("http", binaryServer.port));
    // The window's peak belongs to the answers it was sent; without them
    // it would only say what starting the benchmark cost.
    if (wanted("text") || wanted("binary")) {
        const long peak = peakRssKb();
        std::printf("peak RSS %.1f MiB (%.1fx the body); before the first request %.1f MiB; "
                    "%.2f bytes per body byte above it%s\n",
                    peak / 1024.0, peak * 1024.0 / double(bodySize), baseRss / 1024.0,
                    (peak - baseRss) * 1024.0 / double(bodySize),
                    peakReset ? "" : " (the peak includes the set-up)");
    }

    if (wanted("script") && !scriptRows(tlsDir.path(), binaryServer.port, bodySize, runs))
        m.ok = false;

    QProcess tlsServer;
    quint16 tlsPort = 0;
    if (wanted("tls") && tls && QSslSocket::supportsSsl() && !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty()) {
        tlsServer.setWorkingDirectory(tlsDir.path());
        tlsServer.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kTlsServer)});
        if (tlsServer.waitForReadyRead(10000))
            tlsPort = quint16(tlsServer.readLine().trimmed().toUInt());
    }
    if (!wanted("tls")) {
    } else if (tlsPort == 0) {
        std::printf("TLS: not measured (needs the openssl program, python3 and Qt's TLS backend)\n");
    } else {
        m.row("tls", QStringLiteral("https+unsicher://127.0.0.1"), tlsPort,
              curlArgs + QStringList{QStringLiteral("-k")}, url("https", tlsPort));
        m.tlsBesidePlain(binaryServer.port, tlsPort);
        tlsServer.kill();
        tlsServer.waitForFinished();
    }

    if (wanted("shown")) {
        std::vector<double> headlessMs, shownMs;
        for (int r = 0; r < runs; ++r) {
            headlessMs.push_back(fetchHeadless(textServer.port, bodySize, m.ok));
            shownMs.push_back(m.fetch(QStringLiteral("127.0.0.1"), textServer.port));
        }
        printRow("shown", headlessMs, shownMs, "  (shown window beside the engine alone on text models; peer: engine alone)");
    }

    if (wanted("mitschnitt"))
        mitschnittWindowRow(tlsDir.path());

    stopServer(textServer);
    stopServer(binaryServer);
    return m.ok && peaksOk ? 0 : 1;
}
