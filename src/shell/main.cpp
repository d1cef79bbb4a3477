// SPDX-License-Identifier: GPL-3.0-or-later
// varnok [DATEI…]: the desktop program. Its only arguments are script files,
// each opened in a script window (a double-click on a script file ends up
// here); without them it starts with the empty main window.

#include "common/fileaccess.h"
#include "common/standardstreams.h"
#include "shell/application.h"
#include "shell/buildinfo.h"
#include "shell/desktopcall.h"
#include "widgets/widgetdialogs.h"
#include "widgets/iconcachestyle.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QFile>

#include <csignal>
#include <unistd.h>

namespace {

// The desktop program ends on these signals as it always did; only a file
// being replaced at that moment keeps its old content and loses the half
// written new one beside it.
void endOnSignal(int sig)
{
    varnok::removeReplacementInProgress();
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    // Delivered as soon as this handler returns, with the default action.
    ::raise(sig);
}

void removeReplacementsOnSignals()
{
    struct sigaction sa = {};
    sa.sa_handler = endOnSignal;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        // A signal the starter chose to ignore stays ignored.
        struct sigaction before = {};
        if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(sig, &sa, nullptr);
    }
}

} // namespace

int main(int argc, char **argv)
{
    varnok::openClosedStandardStreams();
    removeReplacementsOnSignals();

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const varnok::DesktopCall call = varnok::parseDesktopCall(arguments);
    if (!call.error.isEmpty()) {
        const QString lines = QStringLiteral("varnok: ") + call.error + QLatin1Char('\n')
                              + QLatin1String(varnok::kDesktopUsage) + QLatin1Char('\n');
        varnok::writeToStream(STDERR_FILENO, lines.toUtf8());
        return 2;
    }

    // Qt sees no argument: every one is a file name (see desktopcall.h).
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnok"));
    QApplication::setApplicationVersion(QString::fromLatin1(varnok::buildinfo::version));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(varnok::buildinfo::appId));
    varnok::installIconCacheStyle(app);
    const auto translator = varnok::installGermanTranslations(app);
    varnok::WidgetDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    form.openScriptFiles(call.files);
    return app.exec();
}
