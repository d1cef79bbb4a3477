// SPDX-License-Identifier: GPL-3.0-or-later
// varnok-run [OPTION] DATEI: runs one script file in script window 1 of an
// unseen main window, exactly as Ausführen would, and exits when that
// window is idle again. DATEI "-" is standard input.
//
// Exit status: 0 the run ended without an error box, 1 an error box ended
// it, 2 a wrong call or DATEI could not be loaded (missing, unreadable, no
// regular file, or larger than the largest script file), 128 + the signal
// number when SIGINT (130) or SIGTERM (143) stopped it.

#include "common/fileaccess.h"
#include "common/standardstreams.h"
#include "editor/scriptfile.h"
#include "editor/skriptwindow.h"
#include "shell/application.h"
#include "shell/buildinfo.h"
#include "shell/mainform.h"
#include "request/requestsession.h"
#include "shell/requestreport.h"
#include "widgets/headlessdialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringDecoder>

#include <algorithm>
#include <csignal>
#include <optional>
#include <variant>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kExitUsage = 2;
const QString kUsage = QStringLiteral("Aufruf: varnok-run [OPTION] DATEI\n");

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

// Standard error belongs to the script's boxes. Qt's own chatter (the
// offscreen platform's notes on unsupported window features, missing
// runtime folders) would mix into it; only its serious messages stay.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)
        return;
    varnok::writeToStream(STDERR_FILENO, (QStringLiteral("Qt: ") + text + QLatin1Char('\n')).toUtf8());
}

// What cannot be written is lost; it changes neither the run nor its exit
// status.
void print(int fd, const QString &text)
{
    varnok::writeToStream(fd, text.toUtf8());
}

int usageError(const QString &message)
{
    print(STDERR_FILENO, QStringLiteral("varnok-run: ") + message + QLatin1Char('\n') + kUsage);
    return kExitUsage;
}

QString helpText(const QList<QCommandLineOption> &options)
{
    QString text = kUsage
                   + QStringLiteral(
                       "Führt die Varnok-Skriptdatei DATEI aus wie „Ausführen“ in einem Skriptfenster,\n"
                       "ohne ein Fenster zu zeigen. Ist DATEI „-“, wird das Skript von der\n"
                       "Standardeingabe gelesen.\n"
                       "\n"
                       "Optionen:\n");
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        text += QStringLiteral("  ") + names.join(QStringLiteral(", ")).leftJustified(15)
                + option.description() + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\n"
        "Jedes Meldungsfenster wird eine Zeile auf der Standardfehlerausgabe und mit OK\n"
        "beantwortet, jede Frage mit Nein. Gehört die laufende Anweisung zu DATEI, steht\n"
        "davor, wo sie steht: „DATEI:ZEILE: Fehler 4: Objekt nicht gefunden“.\n"
        "\n"
        "Rückgabewert:\n"
        "  0    der Lauf endete ohne Fehlermeldung\n"
        "  1    eine Fehlermeldung beendete den Lauf\n"
        "  2    falscher Aufruf, oder DATEI konnte nicht geladen werden\n"
        "  130  durch SIGINT (Strg+C) angehalten\n"
        "  143  durch SIGTERM angehalten\n"
        "\n"
        "Mehr in „man varnok-run“.\n");
    return text;
}

QString versionText()
{
    return QStringLiteral("varnok-run (Varnok) ") + QString::fromLatin1(varnok::buildinfo::version)
           + QStringLiteral(
               "\n"
               "Lizenz GPLv3+: GNU GPL Version 3 oder neuer <https://gnu.org/licenses/gpl.html>.\n"
               "Dies ist freie Software: Sie dürfen sie ändern und weitergeben.\n"
               "Es gibt KEINE GARANTIE, soweit das Gesetz es zulässt.\n");
}

// What the command line asks for. An exit status instead when it is
// answered already (help, version, a wrong call).
struct Call
{
    QString fileName;   // "-" for standard input
    QString mitschnitt; // --mitschnitt DIR: where each request's Mitschnitt goes
};

std::variant<Call, int> parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("diese Hilfe zeigen und beenden"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("die Version zeigen und beenden"));
    // Not in --help's fixed list; the manual page describes it.
    const QCommandLineOption mitschnitt(QStringLiteral("mitschnitt"), QString(), QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(mitschnitt);
    const bool parsed = parser.parse(arguments);
    if (parsed && parser.isSet(help)) {
        print(STDOUT_FILENO, helpText({help, version}));
        return 0;
    }
    if (parsed && parser.isSet(version)) {
        print(STDOUT_FILENO, versionText());
        return 0;
    }
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.first();
            return usageError(QStringLiteral("unbekannte Option: ")
                              + (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        }
        // The only other fault possible here: a value given to an option
        // that takes none ("--help=x").
        if (arguments.last() == u"--mitschnitt")
            return usageError(QStringLiteral("Option --mitschnitt erwartet ein Verzeichnis"));
        const auto withValue = std::find_if(arguments.begin() + 1, arguments.end(), [](const QString &a) {
            return a.startsWith(QStringLiteral("--")) && a.contains(QLatin1Char('='))
                   && !a.startsWith(QStringLiteral("--mitschnitt="));
        });
        if (withValue != arguments.end())
            return usageError(QStringLiteral("Option ") + withValue->section(QLatin1Char('='), 0, 0)
                              + QStringLiteral(" erwartet keinen Wert"));
        return usageError(QStringLiteral("falscher Aufruf"));
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("keine Skriptdatei angegeben"));
    if (files.size() > 1)
        return usageError(QStringLiteral("zu viele Argumente: ") + files.mid(1).join(QLatin1Char(' ')));
    if (files.first().isEmpty())
        return usageError(QStringLiteral("leerer Dateiname"));
    const QString folder = parser.value(mitschnitt);
    if (parser.isSet(mitschnitt) && !QFileInfo(folder).isDir())
        return usageError(QStringLiteral("--mitschnitt: kein Verzeichnis: ") + folder);
    return Call{files.first(), folder};
}

// Both are bounded like a script file that Laden loads: an endless or huge
// input is a load failure, and a FIFO or device named as the file is refused
// before it could block.
std::optional<QByteArray> readStandardInput()
{
    QByteArray bytes;
    if (!varnok::readStream(STDIN_FILENO, varnok::kMaxScriptFileSize, bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> readFile(const QString &fileName)
{
    QByteArray bytes;
    if (!varnok::readRegularFile(fileName, varnok::kMaxScriptFileSize, bytes))
        return std::nullopt;
    return bytes;
}

// The empty lines at the start of a file, which loading drops: the text's
// line numbers are the file's less these.
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

} // namespace

int main(int argc, char **argv)
{
    varnok::openClosedStandardStreams();

    // Read before Qt starts, and never by Qt: its own options (-platform,
    // -style, ...) would take arguments meant for the script's file name.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::variant<Call, int> parsed = parseCommandLine(arguments);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const QString fileName = std::get<Call>(parsed).fileName;
    const QString mitschnittFolder = std::get<Call>(parsed).mitschnitt;
    const bool fromStdin = fileName == QStringLiteral("-");

    const auto loadFailed = [&] {
        print(STDERR_FILENO, QStringLiteral("varnok-run: Datei kann nicht geladen werden: %1\n").arg(fileName));
        return 2;
    };
    const std::optional<QByteArray> bytes = fromStdin ? readStandardInput() : readFile(fileName);
    if (!bytes)
        return loadFailed();

    // Nothing is ever shown, so no display is needed; a platform the user
    // names is still honoured.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    qInstallMessageHandler(qtMessages);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("varnok-run"));
    QApplication::setApplicationVersion(QString::fromLatin1(varnok::buildinfo::version));
    QApplication::setQuitOnLastWindowClosed(false);
    const auto translator = varnok::installGermanTranslations(app);

    varnok::HeadlessDialogs dialogs(STDERR_FILENO);
    varnok::MainForm form(dialogs);
    // The windows exist and behave as on screen, but nothing is shown.
    form.setAttribute(Qt::WA_DontShowOnScreen);
    form.show();
    varnok::RequestReport requests([](const QString &line) { print(STDERR_FILENO, line); }, mitschnittFolder);
    QObject::connect(&form, &varnok::MainForm::seiteWindowOpened, &requests, &varnok::RequestReport::watch);

    const int index = form.OpenSkriptWindow();
    varnok::Skript *skript = form.skriptWindow(index);
    if (!skript)
        return loadFailed();
    // A file without any CR was written on a Unix system: its lines end at
    // LF. Every other file loads exactly as Laden loads it, where a lone LF
    // stays inside its line.
    const bool lfLineEnds = !bytes->contains('\r');
    QByteArray crlf = *bytes;
    if (lfLineEnds)
        crlf.replace("\n", "\r\n");
    if (fromStdin || lfLineEnds)
        skript->loadDocument(varnok::decodeScriptFile(crlf), fromStdin ? QString() : fileName);
    else if (!skript->LoadDatei(fileName))
        return loadFailed();
    if (looksLikeUtf8(*bytes))
        print(STDERR_FILENO, QStringLiteral("varnok-run: Hinweis: %1 ist offenbar in UTF-8 geschrieben; Varnok liest "
                                     "Skripte als Windows-1252, Umlaute und andere Nicht-ASCII-Zeichen "
                                     "werden daher anders gelesen.\n")
                          .arg(fromStdin ? QStringLiteral("die Standardeingabe") : fileName));

    // A box raised while a statement of the started file runs names the
    // file and line: window 1's run is the innermost one, and its text is
    // still what was loaded (a script may load another file into it or
    // change it). Lines count as the file was read.
    const QString loadedText = skript->text1()->text();
    const int droppedLines = leadingEmptyLines(crlf);
    const QString shownName = fromStdin ? QStringLiteral("<stdin>") : fileName;
    const QPointer<varnok::Skript> started = skript;
    dialogs.setLocation([&form, &loadedText, droppedLines, &shownName, started, index]() -> QString {
        if (!started || form.activeRuns().innermostWindow() != index)
            return QString();
        const varnok::TextModel &text = *started->text1();
        if (text.scriptText() != loadedText)
            return QString();
        qsizetype start = form.engine().currentStatementStart(text);
        // Window 1 executes, but no statement of its own: its wait
        // condition, evaluated at a tick. The runner left the waiting
        // statement selected.
        if (start < 0)
            start = text.selectionStart();
        const qsizetype line =
            droppedLines + 1 + QStringView(text.scriptText()).left(start).count(u"\r\n");
        return shownName + QLatin1Char(':') + QString::number(line);
    });

    int fds[2];
    std::unique_ptr<QSocketNotifier> notifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
        g_signalFd = fds[0];
        notifier = std::make_unique<QSocketNotifier>(fds[1], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &form, [&] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(fds[1], &byte, 1);
            form.stopAllScripts();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }

    QObject::connect(&form, &varnok::MainForm::skriptIdle, &app, [&](int idle) {
        if (idle != index)
            return;
        // Runs of other windows would keep the event loop busy or waiting.
        form.stopAllScripts();
        QCoreApplication::quit();
    });

    skript->Ausfuehren_Click();
    if (!skript->isIdle())
        app.exec();

    dialogs.setLocation(nullptr);
    if (g_signal != 0)
        return 128 + g_signal;
    return started && started->lastRunEndedByError() ? 1 : 0;
}
