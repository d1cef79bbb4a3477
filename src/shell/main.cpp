// SPDX-License-Identifier: GPL-3.0-or-later
// varnok [DATEI…]: the desktop program. Its only arguments are script files,
// each opened in a script window (a double-click on a script file ends up
// here); without them it starts with the empty main window.

#include "shell/application.h"
#include "shell/buildinfo.h"
#include "widgets/dialogs.h"
#include "shell/mainform.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnok"));
    QApplication::setApplicationVersion(QString::fromLatin1(varnok::buildinfo::version));
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(varnok::buildinfo::appId));
    const auto translator = varnok::installGermanTranslations(app);
    varnok::WidgetDialogs dialogs;
    varnok::MainForm form(dialogs);
    form.show();
    form.openScriptFiles(QApplication::arguments().mid(1));
    return app.exec();
}
