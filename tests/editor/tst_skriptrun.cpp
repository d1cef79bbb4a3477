// SPDX-License-Identifier: GPL-3.0-or-later
// Run control of script windows: Ausführen / Stopp, waits, runs that drive
// other windows, refusals while a run is active.

#include "editor/skriptwindow.h"
#include "shell/mainform.h"
#include "shell/scripteddialogs.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextCursor>
#include "widgets/textbox.h"
#include <QTest>
#include <QTimer>
#include <memory>

using namespace varnok;
using varnok::test::ScriptedDialogs;

namespace {

const QString kRefused = QStringLiteral("Nicht möglich während der Skript ausgeführt wird.");

QString lines(std::initializer_list<const char *> ls)
{
    QStringList out;
    for (const char *l : ls)
        out << QString::fromUtf8(l);
    return out.join(QStringLiteral("\r\n"));
}

} // namespace

class TestSkriptRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<MainForm> form;

    Skript *open(const QString &text = QString())
    {
        const int i = form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(i);
        s->text1()->setText(text);
        return s;
    }
    QString status(int i)
    {
        return form->engine().GetValueByPath(QStringLiteral("SkriptFenster(%1).Status").arg(i), {}, 0);
    }
    QString text(int i) { return form->skriptWindow(i)->text1()->text(); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        form = std::make_unique<MainForm>(*dialogs);
        form->show();
    }
    void cleanup()
    {
        form.reset();
        dialogs.reset();
    }

    void runPublishesStatusAndLocksTheText()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(2).Text(SkriptFenster(1).Status)",
                                 "EXEC SkriptFenster(3).Text(Text(fertig))"}));
        open();
        open();
        bool lockedDuringRun = false;
        QString captionDuringRun;
        connect(&s1->document(), &SkriptDocument::busyChanged, this, [&] {
            if (s1->isIdle())
                return;
            lockedDuringRun = s1->text1()->isReadOnly();
            captionDuringRun = s1->ausfuehrenAction()->text();
        });
        s1->Ausfuehren_Click();
        QVERIFY(lockedDuringRun);
        QCOMPARE(captionDuringRun, QStringLiteral("Stopp"));
        QCOMPARE(text(2), QStringLiteral("1"));
        QCOMPARE(text(3), QStringLiteral("fertig"));
        QVERIFY(s1->isIdle());
        QCOMPARE(status(1), QStringLiteral("0"));
        QCOMPARE(s1->ausfuehrenAction()->text(), QStringLiteral("Ausführen"));
        QVERIFY(!s1->text1()->isReadOnly());
        QVERIFY(dialogs->shown.empty());
    }

    void stoppEndsARunAfterItsStatement()
    {
        Skript *s = open(lines({"DO", "LOOP"}));
        s->text1()->setSelection(3, 0);
        QTimer::singleShot(30, s, [s] {
            QCOMPARE(s->ausfuehrenAction()->text(), QStringLiteral("Stopp"));
            s->ausfuehrenAction()->trigger();
        });
        s->Ausfuehren_Click();
        QVERIFY(s->isIdle());
        QCOMPARE(s->ausfuehrenAction()->text(), QStringLiteral("Ausführen"));
        QVERIFY(!s->text1()->isReadOnly());
        QCOMPARE(status(1), QStringLiteral("0"));
        QCOMPARE(s->text1()->selectionStart(), qsizetype(3));
        QCOMPARE(s->text1()->selectionLength(), qsizetype(0));
    }

    void waitKeepsTheWindowBusyUntilStopp()
    {
        Skript *s = open(lines({"WAITTILL 0", "EXEC SkriptFenster(2).Text(Text(weiter))"}));
        open();
        s->Ausfuehren_Click();
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        QCOMPARE(s->ausfuehrenAction()->text(), QStringLiteral("Stopp"));
        QVERIFY(s->text1()->isReadOnly());
        QCOMPARE(status(1), QStringLiteral("1"));
        QTest::qWait(250); // a few ticks: the condition stays false
        QCOMPARE(s->runState(), Skript::RunState::Waiting);

        s->Ausfuehren_Click(); // Stopp
        QVERIFY(s->stopRequested());
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(status(1), QStringLiteral("0"));
        QVERIFY(!s->text1()->isReadOnly());
        QVERIFY(text(2).isEmpty());
        QVERIFY(!form->engine().waitEntry(1).waiting);

        // A fresh run starts from the top again.
        s->text1()->setText(lines({"EXEC SkriptFenster(2).Text(Text(neu))"}));
        s->Ausfuehren_Click();
        QVERIFY(s->isIdle());
        QCOMPARE(text(2), QStringLiteral("neu"));
    }

    void theEditorShowsTheWaitingStatementAndThenTheCaret()
    {
        Skript *s = open(lines({"EXEC 1", "  WAITTILL 0  "}));
        s->text1()->setSelection(2, 0);
        s->Ausfuehren_Click();
        // No screen tick has passed: the window itself brought the display
        // up to date when the run began to wait.
        QCOMPARE(s->editor()->plainTextEdit()->textCursor().selectedText(), QStringLiteral("WAITTILL 0"));
        // A run stopped while waiting leaves the statement it waited at
        // selected; a run that ends puts the caret back where it was.
        s->Ausfuehren_Click();
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(s->editor()->plainTextEdit()->textCursor().selectedText(), QStringLiteral("WAITTILL 0"));
        s->text1()->setText(lines({"EXEC 1", "EXEC 2"}));
        s->text1()->setSelection(2, 0);
        s->Ausfuehren_Click();
        const QTextCursor c = s->editor()->plainTextEdit()->textCursor();
        QVERIFY(!c.hasSelection());
        QCOMPARE(c.position(), 2);
    }

    void waittillContinuesOnlyAtATick()
    {
        Skript *s = open(lines({"WAITTILL 1", "EXEC SkriptFenster(2).Text(Text(weiter))"}));
        open();
        s->Ausfuehren_Click();
        // The condition is already true, but the run goes on only when the
        // timer looks at it.
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        QVERIFY(text(2).isEmpty());
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(text(2), QStringLiteral("weiter"));
        QCOMPARE(status(1), QStringLiteral("0"));
    }

    void waitwhileContinuesWhenTheConditionTurnsFalse()
    {
        Skript *s = open(lines({"WAITWHILE Main.Text.Len(SkriptFenster(2).Text)",
                                "EXEC SkriptFenster(3).Text(Text(ok))"}));
        open(QStringLiteral("x"));
        open();
        s->Ausfuehren_Click();
        QTest::qWait(250);
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        form->skriptWindow(2)->text1()->setText(QString());
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(text(3), QStringLiteral("ok"));
    }

    void ausfuehrenOfAnotherWindowRunsBeforeTheStatementEnds()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(2).Ausfuehren()",
                                 "EXEC SkriptFenster(4).Text(SkriptFenster(3).Text)"}));
        open(lines({"EXEC SkriptFenster(3).Text(Text(von zwei))"}));
        open();
        open();
        s1->Ausfuehren_Click();
        QCOMPARE(text(4), QStringLiteral("von zwei"));
        QVERIFY(form->skriptWindow(2)->isIdle());
        QCOMPARE(status(2), QStringLiteral("0"));
    }

    void ausfuehrenOfABusyWindowActsAsStopp()
    {
        Skript *s2 = open(QStringLiteral("WAITTILL 0"));
        Skript *s1 = open(QStringLiteral("EXEC SkriptFenster(1).Ausfuehren()"));
        s2->Ausfuehren_Click();
        QCOMPARE(s2->runState(), Skript::RunState::Waiting);
        s1->Ausfuehren_Click();
        QVERIFY(s1->isIdle());
        QVERIFY(s2->stopRequested());
        QTRY_VERIFY(s2->isIdle());
    }

    void ausfuehrenOfTheOwnWindowStopsAfterTheStatement()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(1).Ausfuehren()",
                                 "EXEC SkriptFenster(2).Text(Text(erreicht))"}));
        open();
        s1->Ausfuehren_Click();
        QVERIFY(s1->isIdle());
        QVERIFY(text(2).isEmpty());
    }

    void aWaitingRunReadsTextChangedByAnotherWindow()
    {
        const char *waitLine = "WAITTILL Main.Text.Len(SkriptFenster(4).Text)";
        Skript *s1 = open(lines({waitLine, "EXEC SkriptFenster(5).Text(Text(alt))"}));
        Skript *s2 = open(lines({"EXEC SkriptFenster(1).Text(SkriptFenster(3).Text)",
                                 "EXEC SkriptFenster(4).Text(Text(los))"}));
        open(lines({waitLine, "EXEC SkriptFenster(5).Text(Text(neu))"}));
        open();
        open();
        s1->Ausfuehren_Click();
        QCOMPARE(s1->runState(), Skript::RunState::Waiting);
        s2->Ausfuehren_Click();
        QCOMPARE(text(1), text(3));
        QTRY_VERIFY(s1->isIdle());
        QCOMPARE(text(5), QStringLiteral("neu"));
    }

    void aConditionThatFailsEndsTheWait()
    {
        Skript *s = open(QStringLiteral("WAITTILL Foo.Bar()"));
        s->Ausfuehren_Click();
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        QTRY_VERIFY(s->isIdle());
        const auto boxes = dialogs->messages();
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].title, QStringLiteral("Fehler 4"));
        QCOMPARE(boxes[0].text, QStringLiteral("Objekt nicht gefunden"));
        QCOMPARE(status(1), QStringLiteral("0"));
        QVERIFY(s->lastRunEndedByError());
        QVERIFY(!form->engine().waitEntry(1).waiting);
    }

    void errorBoxIsCountedForItsOwnRunOnly()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(2).Ausfuehren()", "QUIT"}));
        Skript *s2 = open(QStringLiteral("EXEC Foo.Bar()"));
        s1->Ausfuehren_Click();
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QVERIFY(s2->lastRunEndedByError());
        QVERIFY(!s1->lastRunEndedByError());
        s2->text1()->setText(QStringLiteral("QUIT"));
        s2->Ausfuehren_Click();
        QVERIFY(!s2->lastRunEndedByError());
    }

    void commandsAreRefusedWhileBusy()
    {
        Skript *s = open(QStringLiteral("WAITTILL 0"));
        s->Ausfuehren_Click();
        auto *sub = qobject_cast<QMdiSubWindow *>(s->parentWidget());
        QVERIFY(!sub->close());
        s->document().Laden_Click();
        s->document().neu_Click();
        s->document().Speichern_Click();
        s->document().Speichern_unter_Click();
        const auto boxes = dialogs->messages();
        QCOMPARE(boxes.size(), size_t(5));
        for (const auto &b : boxes) {
            QCOMPARE(b.title, QStringLiteral("Fehler"));
            QCOMPARE(b.text, kRefused);
        }
        QVERIFY(dialogs->questions().empty());
        QVERIFY(dialogs->of(ScriptedDialogs::Kind::Open).empty());
        QVERIFY(form->IsSkriptWindowOpen(1));
        QCOMPARE(text(1), QStringLiteral("WAITTILL 0"));
        s->Ausfuehren_Click();
        QTRY_VERIFY(s->isIdle());
    }

    void closingIsRefusedDuringARun()
    {
        Skript *s = open(lines({"DO", "LOOP"}));
        bool closed = true;
        QTimer::singleShot(30, s, [&] {
            closed = qobject_cast<QMdiSubWindow *>(s->parentWidget())->close();
            s->Ausfuehren_Click();
        });
        s->Ausfuehren_Click();
        QVERIFY(!closed);
        QVERIFY(form->IsSkriptWindowOpen(1));
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].text, kRefused);
    }

    void scriptCloseOfAnIdleWindowClosesIt()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(2).Close()",
                                 "EXEC SkriptFenster(3).Text(Main.Text.Plus(Text(x) SkriptFenster(2).Status))"}));
        open();
        open();
        s1->Ausfuehren_Click();
        QVERIFY(!form->IsSkriptWindowOpen(2));
        // The second statement met the emptied window object: error 4.
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].title, QStringLiteral("Fehler 4"));
    }

    void newWindowsFromAScript()
    {
        Skript *s1 = open(lines({"EXEC SkriptFenster(1).Status",
                                 "EXEC Main.Text.Plus(NewSkriptFenster() NewSeiteFenster())"}));
        s1->Ausfuehren_Click();
        QVERIFY(form->IsSkriptWindowOpen(2));
        QVERIFY(form->IsSeiteWindowOpen(1));
        QCOMPARE(status(2), QStringLiteral("0"));
        QVERIFY(dialogs->shown.empty());
    }

    void newWindowsBeyondTheLimitGiveZeroSilently()
    {
        Skript *s1 = open(QStringLiteral("EXEC SkriptFenster(1).Text(NewSkriptFenster())"));
        for (int i = 2; i <= 100; ++i)
            QCOMPARE(form->OpenSkriptWindow(), i);
        s1->text1()->setText(QStringLiteral("EXEC SkriptFenster(2).Text(NewSkriptFenster())"));
        s1->Ausfuehren_Click();
        QCOMPARE(text(2), QStringLiteral("0"));
        QVERIFY(dialogs->shown.empty());
    }

    void scriptLoadsAndSavesOtherWindows()
    {
        const QString dirPath = QDir::tempPath() + QStringLiteral("/varnok-skriptrun-")
                                + QString::number(QCoreApplication::applicationPid());
        QDir().mkpath(dirPath);
        const QString file = dirPath + QStringLiteral("/a.varnok-skript");
        Skript *s1 = open(lines({QStringLiteral("EXEC SkriptFenster(2).Speichern(Text(%1))").arg(file).toUtf8().constData(),
                                 QStringLiteral("EXEC SkriptFenster(3).Laden(Text(%1))").arg(file).toUtf8().constData(),
                                 QStringLiteral("EXEC SkriptFenster(3).Laden(Text(%1.fehlt))").arg(file).toUtf8().constData()}));
        open(QStringLiteral("EXEC 1"));
        open();
        s1->Ausfuehren_Click();
        QCOMPARE(text(3), QString()); // emptied by the failed load
        QCOMPARE(form->skriptWindow(3)->currentFile(), file);
        const auto boxes = dialogs->messages();
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].title, QStringLiteral("Fehler 6"));
        QCOMPARE(form->skriptWindow(2)->currentFile(), file);
        QDir(dirPath).removeRecursively();
    }
};

QTEST_MAIN(TestSkriptRun)
#include "tst_skriptrun.moc"
