// SPDX-License-Identifier: GPL-3.0-or-later
// varnok-run [OPTION] DATEI...: runs each script file in a new script window,
// one after the other, exactly as Ausführen would, and exits when the last
// one's window is idle again. DATEI "-" is standard input. The windows are
// the desktop's without their views: the same host, documents, run control
// and request engine, on QtCore and QtNetwork alone.
//
// Exit status: the worst of the files' (2 > 1 > 3 > 0): 0 the run ended
// without an error box and every check passed, 1 an error box ended it,
// 2 a wrong call, a file that could not be loaded (missing, unreadable, no
// regular file, or larger than the largest script file) or a report that
// could not be written, 3 no error box but a failed check; 128 + the signal
// number when SIGINT (130) or SIGTERM (143) stopped it.
//
// main() reads as the jobs in order: the command line, Qt and the window
// host, the signals, then each file: load, run, report.

#include "common/fileaccess.h"
#include "common/limits.h"
#include "common/standardstreams.h"
#include "common/headlessdialogs.h"
#include "editor/scriptfile.h"
#include "editor/skriptdocument.h"
#include "interpreter/scriptconsole.h"
#include "request/requestsession.h"
#include "shell/buildinfo.h"
#include "shell/requestreport.h"
#include "shell/runcall.h"
#include "shell/runreport.h"
#include "shell/translations.h"
#include "shell/windowhost.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringDecoder>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kExitUsage = 2;

// A signal handler can reach nothing but plain statics: the write end of
// the pipe that hands the signal to the event loop, and the signal.
int g_signalFd = -1;
volatile std::sig_atomic_t g_signal = 0;

void onSignal(int sig)
{
    // A second signal means the run does not come to an end by itself. A
    // file being replaced at this moment keeps its old content, and the
    // new one, half written, goes.
    if (g_signal != 0) {
        varnok::removeReplacementInProgress();
        _exit(128 + sig);
    }
    g_signal = sig;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFd, &byte, 1);
}

// What cannot be written is lost; it changes neither the run nor its exit
// status.
void print(int fd, const QString &text)
{
    varnok::writeToStream(fd, text.toUtf8());
}

// Standard error belongs to the script's boxes. Qt's own chatter (notes on
// missing runtime folders, say) would mix into it; only its serious
// messages stay.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)
        return;
    print(STDERR_FILENO, QStringLiteral("Qt: ") + text + QLatin1Char('\n'));
}

// --- The command line -------------------------------------------------

QStringList commandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Help, version and a wrong call are answered without running anything.
int answerWithoutRun(const varnok::ParsedRunCall &parsed)
{
    using Outcome = varnok::ParsedRunCall::Outcome;
    if (parsed.outcome == Outcome::Help) {
        print(STDOUT_FILENO, varnok::runHelpText());
        return 0;
    }
    if (parsed.outcome == Outcome::Version) {
        print(STDOUT_FILENO, varnok::runVersionText());
        return 0;
    }
    print(STDERR_FILENO, QStringLiteral("varnok-run: ") + parsed.error + QLatin1Char('\n')
                             + QLatin1String(varnok::kRunUsage) + QLatin1Char('\n'));
    return kExitUsage;
}

// --- Loading a file -----------------------------------------------------

// A script file in its window, as it was loaded: what the box lines and the
// reports need to say where a statement stands.
struct StartedScript
{
    QPointer<varnok::SkriptDocument> window;
    int index = 0;
    QString fileName;  // as given, "-" for standard input
    QString shownName; // in box lines and reports
    QString loadedText;
    int droppedLines = 0; // empty lines at the start, which loading drops
};

// Both are bounded like a script file that Laden loads: an endless or huge
// input is a load failure, and a FIFO or device named as the file is refused
// before it could block.
std::optional<QByteArray> readScriptBytes(const QString &fileName)
{
    QByteArray bytes;
    const bool ok = fileName == QStringLiteral("-")
                        ? varnok::readStream(STDIN_FILENO, varnok::limits::kScriptFileSize, bytes)
                        : varnok::readRegularFile(fileName, varnok::limits::kScriptFileSize, bytes);
    if (!ok)
        return std::nullopt;
    return bytes;
}

int leadingEmptyLines(const QByteArray &crlfBytes)
{
    int count = 0;
    qsizetype p = 0;
    while (p < crlfBytes.size() && crlfBytes[p] == '\r') {
        ++count;
        p += (p + 1 < crlfBytes.size() && crlfBytes[p + 1] == '\n') ? 2 : 1;
    }
    return count;
}

// Non-ASCII bytes that all form valid UTF-8: written by a UTF-8 editor,
// while Varnok reads one Windows-1252 character per byte.
bool looksLikeUtf8(const QByteArray &bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    [[maybe_unused]] const QString decoded = utf8(bytes);
    return !utf8.hasError();
}

QString loadFailureText(const QString &fileName)
{
    return QStringLiteral("Datei kann nicht geladen werden: ") + fileName;
}

// Opens a new script window and loads the file into it; null (and the
// window closed again) when it cannot be loaded.
std::unique_ptr<StartedScript> loadScript(varnok::WindowHost &host, const QString &fileName,
                                          const std::optional<QByteArray> &bytes)
{
    const bool fromStdin = fileName == QStringLiteral("-");
    const int index = bytes ? host.OpenSkriptWindow() : 0;
    varnok::SkriptDocument *skript = host.skriptDocument(index);
    if (!skript)
        return nullptr;
    // A file without any CR was written on a Unix system: its lines end at
    // LF. Every other file loads exactly as Laden loads it, where a lone LF
    // stays inside its line.
    const bool lfLineEnds = !bytes->contains('\r');
    QByteArray crlf = *bytes;
    if (lfLineEnds)
        crlf.replace("\n", "\r\n");
    if (fromStdin || lfLineEnds) {
        skript->loadDocument(varnok::decodeScriptFile(crlf), fromStdin ? QString() : fileName);
    } else if (!skript->LoadDatei(fileName)) {
        host.skriptClose(index);
        return nullptr;
    }
    if (looksLikeUtf8(*bytes))
        print(STDERR_FILENO,
              QStringLiteral("varnok-run: Hinweis: %1 ist offenbar in UTF-8 geschrieben; Varnok liest "
                             "Skripte als Windows-1252, Umlaute und andere Nicht-ASCII-Zeichen "
                             "werden daher anders gelesen.\n")
                  .arg(fromStdin ? QStringLiteral("die Standardeingabe") : fileName));
    auto started = std::make_unique<StartedScript>();
    started->window = skript;
    started->index = index;
    started->fileName = fileName;
    started->shownName = fromStdin ? QStringLiteral("<stdin>") : fileName;
    started->loadedText = skript->text1()->text();
    started->droppedLines = leadingEmptyLines(crlf);
    return started;
}

// Where the statement stands that is executing for the started file: its
// window's run is the innermost one and its text is still what was loaded
// (a script may load another file into it or change it). Lines count as the
// file was read. The file without a line otherwise.
varnok::ScriptPlace placeOf(varnok::WindowHost &host, const StartedScript &started)
{
    varnok::ScriptPlace place{started.shownName, 0};
    if (!started.window || host.activeRuns().innermostWindow() != started.index)
        return place;
    const varnok::TextModel &text = *started.window->text1();
    if (text.scriptText() != started.loadedText)
        return place;
    qsizetype start = host.engine().currentStatementStart(text);
    // The window executes, but no statement of its own: its wait condition,
    // evaluated at a tick. The runner left the waiting statement selected.
    if (start < 0)
        start = text.selectionStart();
    place.line = started.droppedLines + 1 + int(QStringView(text.scriptText()).left(start).count(u"\r\n"));
    return place;
}

// --- What the test built-ins reach ----------------------------------------

// Main.Test.Pruefe, Main.Konsole.Schreibe and Main.Parameter in varnok-run:
// checks go into the reports, console lines to standard output (TAP comment
// lines under --tap), parameters come from -D before the environment.
class RunConsole : public varnok::ScriptConsole
{
public:
    RunConsole(const varnok::RunCall &call, varnok::RunReport &report, varnok::WindowHost &host)
        : m_tap(call.tap), m_report(report), m_host(host)
    {
        for (const auto &[name, value] : call.parameters)
            m_parameters.insert(name, value);
    }
    void setStarted(const StartedScript *started) { m_started = started; }

    void check(const QString &name, bool passed) override
    {
        m_report.check(name, passed, m_started ? placeOf(m_host, *m_started) : varnok::ScriptPlace{});
    }
    void writeLine(const QString &text) override
    {
        if (m_tap)
            m_report.consoleLine(text);
        else
            varnok::writeToStream(STDOUT_FILENO, varnok::consoleBytes(text) + '\n');
    }
    QString parameter(const QString &name) override
    {
        const auto it = m_parameters.constFind(name);
        return it != m_parameters.constEnd() ? *it : varnok::environmentParameter(name);
    }

private:
    bool m_tap;
    varnok::RunReport &m_report;
    varnok::WindowHost &m_host;
    QHash<QString, QString> m_parameters;
    const StartedScript *m_started = nullptr;
};

// --- Signals ---------------------------------------------------------------

// SIGINT and SIGTERM press Stopp on every busy script window (from the event
// loop, through a socket pair); a second one ends the process at once.
class SignalBridge
{
public:
    explicit SignalBridge(varnok::WindowHost &host)
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0)
            return;
        g_signalFd = m_fds[0];
        m_notifier = std::make_unique<QSocketNotifier>(m_fds[1], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &host, [this, &host] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(m_fds[1], &byte, 1);
            host.stopAllScripts();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
    SignalBridge(const SignalBridge &) = delete;
    SignalBridge &operator=(const SignalBridge &) = delete;

    // 128 + the signal that stopped the runs, or 0.
    static int status() { return g_signal != 0 ? 128 + g_signal : 0; }

private:
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// --- One run ------------------------------------------------------------------

// Presses Ausführen and lets the events run until the window is idle again;
// then Stopp on every other busy script window, so a waiting or looping
// window of this file cannot keep the process alive.
void runToItsEnd(QCoreApplication &app, varnok::WindowHost &host, const StartedScript &started)
{
    const QMetaObject::Connection idle =
        QObject::connect(&host, &varnok::WindowHost::skriptIdle, &app, [&](int index) {
            if (index == started.index)
                QCoreApplication::quit();
        });
    started.window->Ausfuehren_Click();
    if (started.window && !started.window->isIdle())
        app.exec();
    QObject::disconnect(idle);
    host.stopAllScripts();
}

// The last error box of the started file's run, as it was shown.
struct SeenBox
{
    varnok::ScriptPlace place;
    QString title;
    QString text;
};

bool isErrorBoxTitle(const QString &title)
{
    return title.startsWith(QStringLiteral("Fehler ")) && title.size() > 7 && title[7].isDigit();
}

} // namespace

int main(int argc, char **argv)
{
    varnok::openClosedStandardStreams();

    // Read before Qt starts, and never by Qt: its own options (-platform,
    // -style, ...) would take arguments meant for the script's file name.
    const varnok::ParsedRunCall parsed = varnok::parseRunCall(commandLine(argc, argv));
    if (parsed.outcome != varnok::ParsedRunCall::Outcome::Run)
        return answerWithoutRun(parsed);
    const varnok::RunCall &call = parsed.call;

    // Standard input is read before anything runs, as a single file always
    // was: a failure of the first file still leaves no Qt started.
    QList<std::optional<QByteArray>> bytes;
    for (const QString &file : call.files)
        bytes.append(readScriptBytes(file));
    if (call.files.size() == 1 && !bytes.first() && !call.tap && call.junitFile.isEmpty()) {
        print(STDERR_FILENO, QStringLiteral("varnok-run: ") + loadFailureText(call.files.first()) + u'\n');
        return 2;
    }

    // Nothing is ever shown: no display, no platform plugin, no fonts.
    qInstallMessageHandler(qtMessages);
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnok-run"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(varnok::buildinfo::version));
    const auto translator = varnok::installGermanTranslations(app);

    varnok::HeadlessDialogs dialogs(STDERR_FILENO);
    // A script error's box line stays as tools read it; where it happened
    // follows on a line of its own.
    dialogs.setDetailPrefix(QStringLiteral("varnok-run: "));
    varnok::WindowHost host(dialogs);
    const SignalBridge signalBridge(host);
    varnok::RequestReport requests([](const QString &line) { print(STDERR_FILENO, line); }, call.mitschnittFolder);
    QObject::connect(&host, &varnok::WindowHost::seiteWindowOpened, &requests, &varnok::RequestReport::watch);

    varnok::RunReport report(call.tap ? STDOUT_FILENO : -1, int(call.files.size()));
    RunConsole console(call, report, host);
    host.engine().setConsole(&console);

    const StartedScript *current = nullptr;
    std::optional<SeenBox> lastBox;
    dialogs.setLocation([&]() -> QString {
        if (!current)
            return QString();
        const varnok::ScriptPlace place = placeOf(host, *current);
        return place.line > 0 ? place.file + QLatin1Char(':') + QString::number(place.line) : QString();
    });
    dialogs.setObserver([&](const QString &title, const QString &text) {
        if (current && isErrorBoxTitle(title) && host.activeRuns().innermostWindow() == current->index)
            lastBox = SeenBox{placeOf(host, *current), title, text};
    });

    for (qsizetype k = 0; k < call.files.size() && SignalBridge::status() == 0; ++k) {
        report.beginFile(call.files[k] == QStringLiteral("-") ? QStringLiteral("<stdin>") : call.files[k]);
        const std::unique_ptr<StartedScript> started = loadScript(host, call.files[k], bytes[k]);
        if (!started) {
            print(STDERR_FILENO, QStringLiteral("varnok-run: ") + loadFailureText(call.files[k]) + u'\n');
            report.loadFailure(loadFailureText(call.files[k]));
        } else {
            current = started.get();
            console.setStarted(current);
            lastBox.reset();
            runToItsEnd(app, host, *started);
            current = nullptr;
            console.setStarted(nullptr);
            if (started->window && started->window->lastRunEndedByError() && lastBox)
                report.errorBox(lastBox->place, lastBox->title, lastBox->text);
            else if (started->window && started->window->lastRunEndedByError())
                report.errorBox({started->shownName, 0}, QStringLiteral("Fehler"), QString());
        }
        report.endFile();
    }
    report.finish();
    dialogs.setLocation(nullptr);
    dialogs.setObserver(nullptr);
    host.engine().setConsole(nullptr);

    int status = report.status();
    if (!call.junitFile.isEmpty() && !varnok::replaceRegularFile(call.junitFile, report.junitXml())) {
        print(STDERR_FILENO,
              QStringLiteral("varnok-run: JUnit-Bericht kann nicht geschrieben werden: ") + call.junitFile + u'\n');
        status = 2;
    }
    if (SignalBridge::status() != 0)
        return SignalBridge::status();
    return status;
}
