// varnok-run FILE: runs one script file in script window 1 of an unseen
// main window, exactly as Ausführen would, and exits when that window is
// idle again.
//
// Exit status: 0 the run ended without an error box, 1 an error box ended
// it, 2 FILE could not be loaded (or the call was wrong), 130 SIGINT or
// SIGTERM stopped it.

#include "editor/skriptwindow.h"
#include "shell/application.h"
#include "widgets/headlessdialogs.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler can reach nothing but plain statics: the write end of
// the pipe that hands the signal to the event loop, and a counter.
int g_signalFd = -1;
volatile std::sig_atomic_t g_signalCount = 0;

void onSignal(int)
{
    // A second signal means the run does not come to an end by itself.
    if (g_signalCount != 0)
        _exit(130);
    g_signalCount = 1;
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
    const QByteArray line = (QStringLiteral("Qt: ") + text + QLatin1Char('\n')).toUtf8();
    std::fputs(line.constData(), stderr);
}

bool noDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && noDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    qInstallMessageHandler(qtMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnok-run"));
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 || args.at(1).isEmpty()) {
        std::fputs("Aufruf: varnok-run DATEI\n", stderr);
        return 2;
    }
    const QString fileName = args.at(1);
    const auto translator = varnok::installGermanTranslations(app);

    varnok::HeadlessDialogs dialogs(stderr);
    varnok::MainForm form(dialogs);
    // The windows exist and behave as on screen, but nothing is shown.
    form.setAttribute(Qt::WA_DontShowOnScreen);
    form.show();

    const int index = form.OpenSkriptWindow();
    varnok::Skript *skript = form.skriptWindow(index);
    if (!skript || !skript->LoadDatei(fileName)) {
        const QByteArray line =
            QStringLiteral("varnok-run: Datei kann nicht geladen werden: %1\n").arg(fileName).toUtf8();
        std::fputs(line.constData(), stderr);
        return 2;
    }

    // A file written with LF line ends only is one long line to the runner
    // (a lone LF stays inside its line), which shows as a puzzling syntax
    // error. Say why before the run, without changing what it does.
    {
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (bytes.contains('\n') && !bytes.contains('\r')) {
                const QByteArray line =
                    QStringLiteral("varnok-run: Hinweis: %1 hat nur LF-Zeilenenden; Skriptzeilen "
                                   "enden an CR LF, die Datei gilt daher als eine einzige Zeile.\n")
                        .arg(fileName)
                        .toUtf8();
                std::fputs(line.constData(), stderr);
            }
        }
    }

    int fds[2];
    bool interrupted = false;
    std::unique_ptr<QSocketNotifier> notifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
        g_signalFd = fds[0];
        notifier = std::make_unique<QSocketNotifier>(fds[1], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &form, [&] {
            char byte;
            [[maybe_unused]] const ssize_t n = ::read(fds[1], &byte, 1);
            interrupted = true;
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

    if (interrupted)
        return 130;
    return skript->lastRunEndedByError() ? 1 : 0;
}
