// SPDX-License-Identifier: GPL-3.0-or-later
// varnok FILE…: the files named on the command line open in script windows.

#include "editor/skriptwindow.h"
#include "scripteddialogs.h"
#include "shell/mainform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace varnok;
using varnok::test::ScriptedDialogs;

class TestOpenFiles : public QObject
{
    Q_OBJECT

private slots:
    void eachFileInItsOwnScriptWindow()
    {
        QTemporaryDir dir;
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(QStringLiteral("eins.varnok-skript"), "EXEC A()\r\nQUIT\r\n");
        write(QStringLiteral("mit Blank.varnok-skript"), "\r\nEXEC B(\xe4)\r\n");
        const QString oldCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));

        ScriptedDialogs dialogs;
        MainForm form(dialogs);
        form.show();
        // A relative name, a file that is not there, an absolute name.
        form.openScriptFiles({QStringLiteral("eins.varnok-skript"), QStringLiteral("fehlt.varnok-skript"),
                              dir.filePath(QStringLiteral("mit Blank.varnok-skript"))});
        QDir::setCurrent(oldCurrent);

        Skript *eins = form.skriptWindow(1);
        QVERIFY(eins);
        QCOMPARE(eins->text1()->text(), QStringLiteral("EXEC A()\r\nQUIT"));
        QCOMPARE(eins->currentFile(), dir.filePath(QStringLiteral("eins.varnok-skript")));
        QCOMPARE(eins->windowTitle(),
                 QStringLiteral("Skript 1 - ") + dir.filePath(QStringLiteral("eins.varnok-skript")));
        QVERIFY(!eins->isModified());

        // The missing file is named in a box and its window is gone again,
        // so the next file takes its index.
        const auto messages = dialogs.of(ScriptedDialogs::Kind::Message);
        QCOMPARE(messages.size(), size_t(1));
        QCOMPARE(messages[0].title, QStringLiteral("Fehler"));
        QCOMPARE(messages[0].text, QStringLiteral("Die Datei „fehlt.varnok-skript“ kann nicht geladen werden."));

        Skript *zwei = form.skriptWindow(2);
        QVERIFY(zwei);
        QCOMPARE(zwei->text1()->text(), QStringLiteral("EXEC B(ä)"));
        QCOMPARE(zwei->windowTitle(), QStringLiteral("Skript 2 - \"%1\"")
                                          .arg(dir.filePath(QStringLiteral("mit Blank.varnok-skript"))));
        QVERIFY(!zwei->isModified());
        QVERIFY(!form.IsSkriptWindowOpen(3));
    }
};

QTEST_MAIN(TestOpenFiles)
#include "tst_openfiles.moc"
