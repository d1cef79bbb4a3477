// SPDX-License-Identifier: GPL-3.0-or-later
// Golden scripts: every tests/scripts/*.varnok-skript file runs as varnok-run
// runs a file: loaded by script window 1 of a window host (no screen, no
// widgets), started with Ausführen, and the event loop (with the windows' wait timers)
// running until window 1 is idle again. Script window 2 is open beside it and
// collects what the script computes. Comment lines say what must come out:
//   ' ausgabe: TEXT     the text of window 2 (all such lines joined)
//   ' box: TITLE: TEXT  one box or question, in order, as varnok-run writes it
//   ' antwort: ja|nein  the answer to the next question (optional)
//   ' status: N         varnok-run's exit status for the file (0 when absent)

#include "common/headlessdialogs.h"
#include "editor/scriptfile.h"
#include "shell/scripteddialogs.h"
#include "shell/windowhost.h"

#include <QDir>
#include <QTest>

using namespace varnok;
using varnok::test::ScriptedDialogs;

class TestScripts : public QObject
{
    Q_OBJECT
private slots:
    void scripts_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QString::fromLocal8Bit(qgetenv("VARNOK_SOURCE_DIR")) + QStringLiteral("/tests/scripts"));
        const auto files = dir.entryList({QStringLiteral("*.varnok-skript")}, QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), qPrintable(dir.path()));
        for (const QString &f : files)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }
    void scripts()
    {
        QFETCH(QString, path);
        QString script;
        QVERIFY(readScriptFile(path, script));

        ScriptedDialogs dialogs;
        QString expectedOutput;
        QStringList expectedBoxes;
        int expectedStatus = 0;
        for (QStringView line : QStringView(script).split(u"\r\n")) {
            if (line.startsWith(u"' ausgabe: "))
                expectedOutput += line.mid(11);
            else if (line.startsWith(u"' box: "))
                expectedBoxes << line.mid(7).toString();
            else if (line.startsWith(u"' antwort: "))
                dialogs.answers.push_back(line.mid(11) == u"ja");
            else if (line.startsWith(u"' status: "))
                expectedStatus = line.mid(10).toInt();
        }

        WindowHost host(dialogs);
        QCOMPARE(host.OpenSkriptWindow(), 1);
        const QPointer<SkriptDocument> skript = host.skriptDocument(1);
        QVERIFY(skript->LoadDatei(path));
        QCOMPARE(host.OpenSkriptWindow(), 2);

        skript->Ausfuehren_Click();
        QTRY_VERIFY_WITH_TIMEOUT(skript->isIdle(), 20000);
        const int status = skript->lastRunEndedByError() ? 1 : 0;
        // Runs of other windows would keep going; varnok-run stops them too.
        host.stopAllScripts();
        QTRY_VERIFY_WITH_TIMEOUT(!host.anyScriptBusy(), 20000);

        QStringList boxes;
        for (const ScriptedDialogs::Shown &s : dialogs.shown)
            boxes << HeadlessDialogs::line(s.title, s.text);
        const SkriptDocument *output = host.skriptDocument(2);
        QCOMPARE(output ? output->text1()->text() : QStringLiteral("<geschlossen>"), expectedOutput);
        QCOMPARE(boxes, expectedBoxes);
        QCOMPARE(status, expectedStatus);
        // Whatever happened, the run is over and its object released.
        QCOMPARE(host.engine().GetValueByPath(u"SkriptFenster(1).Status", {}, 0), QStringLiteral("0"));
        QVERIFY(!host.engine().SkriptObjectAlive(1));
    }
};

QTEST_GUILESS_MAIN(TestScripts)
#include "tst_scripts.moc"
