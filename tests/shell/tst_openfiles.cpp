// SPDX-License-Identifier: GPL-3.0-or-later
// varnok FILE…: the files named on the command line open in script windows.

#include "editor/skriptwindow.h"
#include "scripteddialogs.h"
#include "shell/desktopcall.h"
#include "shell/mainform.h"
#include "support/spawn.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
        QCOMPARE(eins->caption(),
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
        QCOMPARE(zwei->caption(), QStringLiteral("Skript 2 - \"%1\"")
                                          .arg(dir.filePath(QStringLiteral("mit Blank.varnok-skript"))));
        QVERIFY(!zwei->isModified());
        QVERIFY(!form.IsSkriptWindowOpen(3));
    }

    void argumentsAreFileNamesNotQtOptions()
    {
        // Qt would take -reverse (and -style, -platform, …) for itself, and
        // the user's file of that name would never open.
        QTemporaryDir dir;
        const QString oldCurrent = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile(QStringLiteral("-reverse")).open(QIODevice::WriteOnly);
        QVERIFY(QFile::link(QStringLiteral("nirgends"), QStringLiteral("-link")));
        const auto files = [](const QStringList &args) {
            const DesktopCall call = parseDesktopCall(args);
            return call.error.isEmpty() ? call.files : QStringList{QStringLiteral("Fehler: ") + call.error};
        };
        QCOMPARE(files({QStringLiteral("-reverse")}), QStringList{QStringLiteral("-reverse")});
        QCOMPARE(files({QStringLiteral("./-reverse"), QStringLiteral("a b")}),
                 (QStringList{QStringLiteral("./-reverse"), QStringLiteral("a b")}));
        // A link that leads nowhere is still a name the user gave.
        QCOMPARE(files({QStringLiteral("-link")}), QStringList{QStringLiteral("-link")});
        QCOMPARE(files({QStringLiteral("a"), QStringLiteral("-x")}),
                 QStringList{QStringLiteral("Fehler: unbekannte Option: -x")});
        QCOMPARE(files({QStringLiteral("-platform"), QStringLiteral("xcb")}),
                 QStringList{QStringLiteral("Fehler: unbekannte Option: -platform")});
        QCOMPARE(files({QStringLiteral("--"), QStringLiteral("-x"), QStringLiteral("--")}),
                 (QStringList{QStringLiteral("-x"), QStringLiteral("--")}));
        // "-" is no option; a missing file of any name is the box's business.
        QCOMPARE(files({QStringLiteral("-"), QStringLiteral("fehlt")}),
                 (QStringList{QStringLiteral("-"), QStringLiteral("fehlt")}));
        QDir::setCurrent(oldCurrent);
    }

    void anUnknownOptionEndsTheProgramWithStatusTwo()
    {
        QProcess p;
        p.start(QStringLiteral(VARNOK_PATH), {QStringLiteral("-x")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
                 QStringLiteral("varnok: unbekannte Option: -x\nAufruf: varnok [DATEI ...]\n"));
    }

    void closedDescriptorsBecomeTheNullDevice()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        using test::Stream;
        const pid_t pid =
            test::spawnWithStreams(VARNOK_PATH, {}, {Stream::Closed, Stream::Closed, Stream::Closed}, env);
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(test::eventLoopCreated(pid), 60000);
        // Waited for rather than read once: the desktop program tells no one
        // when its start-up is over, and while the dynamic loader still runs
        // a library is open on the lowest free descriptor for a moment.
        // Without the fix they end up as Qt's own descriptors, never as the
        // null device.
        for (int fd = 0; fd < 3; ++fd)
            QTRY_COMPARE_WITH_TIMEOUT(test::descriptorTarget(pid, fd), QStringLiteral("/dev/null"), 20000);
        ::kill(pid, SIGTERM);
        test::waitForExit(pid);
    }
};

QTEST_MAIN(TestOpenFiles)
#include "tst_openfiles.moc"
