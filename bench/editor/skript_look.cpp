// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the main window with two script windows, for checking how it
// looks: the main menu, a script window's menu opened, a question box.
//
//   xvfb-run -s "-screen 0 1280x1024x24" skript_look OUTDIR

#include "editor/skriptwindow.h"
#include "shell/application.h"
#include "widgets/widgetdialogs.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>

using namespace varnok;

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void shoot(const QString &path)
{
    settle(300);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    shot.save(path);
    std::printf("%s\n", qPrintable(path));
}

const char *kBeispiel =
    "' Zählt bis 10 und schreibt das Ergebnis in Skript 2\r\n"
    "EXEC Skript.User.NewVariable(Text(I))\r\n"
    "EXEC Skript.User.I(0)\r\n"
    "DO\r\n"
    "EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))\r\n"
    "LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 10)\r\n"
    "EXEC SkriptFenster(2).Text(Skript.User.I)\r\n";

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const auto translator = installGermanTranslations(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    WidgetDialogs dialogs;
    MainForm form(dialogs);
    form.move(40, 30);
    form.show();
    settle(300);
    shoot(out + QStringLiteral("/main-empty.png"));

    form.OpenSkriptWindow();
    form.OpenSkriptWindow();
    Skript *s1 = form.skriptWindow(1);
    s1->text1()->setText(QString::fromUtf8(kBeispiel));
    QMdiSubWindow *sub1 = qobject_cast<QMdiSubWindow *>(s1->parentWidget());
    QMdiSubWindow *sub2 = qobject_cast<QMdiSubWindow *>(form.skriptWindow(2)->parentWidget());
    sub1->setGeometry(10, 10, 560, 360);
    sub2->setGeometry(590, 200, 360, 300);
    s1->Ausfuehren_Click();
    form.mdiArea()->setActiveSubWindow(sub1);
    shoot(out + QStringLiteral("/main.png"));

    // The script window's "?" menu opened from the menu bar.
    QMenuBar *bar = form.menuBar();
    QAction *help = bar->actions().last();
    bar->setActiveAction(help);
    shoot(out + QStringLiteral("/main-menu.png"));
    if (help->menu())
        help->menu()->hide();

    // The save question, with Qt's own buttons in German.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(400, [&] {
            shoot(out + QStringLiteral("/skript-frage.png"));
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->reject();
        });
        s1->document().neu_Click();
    });
    settle(1500);

    // The save dialog, in German, with its filter and suffix.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(600, [&] {
            shoot(out + QStringLiteral("/skript-speichern.png"));
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        s1->document().Speichern_unter_Click();
    });
    settle(2000);
    return 0;
}
