// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/skriptwindow.h"
#include "request/seitewindow.h"
#include "widgets/textbox.h"
#include "scripteddialogs.h"
#include "shell/application.h"
#include "shell/mainform.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

using namespace varnok;
using varnok::test::ScriptedDialogs;

namespace {

QStringList captions(const QList<QAction *> &actions)
{
    QStringList out;
    for (const QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QMdiSubWindow *subOf(QWidget *w)
{
    return w ? qobject_cast<QMdiSubWindow *>(w->parentWidget()) : nullptr;
}

QWidget *topLevelTitled(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && QString(w->windowTitle()).remove(QStringLiteral("[*]")) == title)
            return w;
    return nullptr;
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<MainForm> form;

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        form = std::make_unique<MainForm>(*dialogs);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup()
    {
        form.reset();
        dialogs.reset();
    }

    void qtsOwnButtonsSpeakGerman()
    {
        const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm");
        if (!QFile::exists(qm))
            QSKIP("Qt's German translations are not installed");
        const auto translator = installGermanTranslations(*QCoreApplication::instance());
        QVERIFY(translator);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Nein"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    }

    void captionAndMainMenu()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("Varnok"));
        QCOMPARE(captions(form->menuBar()->actions()),
                 (QStringList{"neues Fenster", "neuer Skript", "?"}));
        QMenu *help = form->menuBar()->actions().at(2)->menu();
        QVERIFY(help);
        QCOMPARE(captions(help->actions()), (QStringList{"Anleitung", "-", "Über"}));
    }

    void requestWindowsTakeIndicesInOrderUpToHundred()
    {
        for (int i = 1; i <= 100; ++i) {
            form->Fenster_NeuesFenster_Click();
            QVERIFY(form->IsSeiteWindowOpen(i));
            QCOMPARE(subOf(form->seiteWindow(i))->windowTitle(), QStringLiteral("Seite %1").arg(i));
        }
        QVERIFY(dialogs->shown.empty());
        form->Fenster_NeuesFenster_Click();
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].title, QStringLiteral("Fehler"));
        QCOMPARE(dialogs->messages()[0].text,
                 QStringLiteral("Es können maximal nur 100 Fenster geöffnet werden."));
        QCOMPARE(form->mdiArea()->subWindowList().size(), 100);
        // The operation itself reports 0 without a box; script windows are
        // counted apart.
        QCOMPARE(form->OpenSeiteWindow(), 0);
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(form->OpenSkriptWindow(), 1);
    }

    void scriptWindowLimitShowsTheSameMessage()
    {
        for (int i = 1; i <= 100; ++i)
            QCOMPARE(form->OpenSkriptWindow(), i);
        form->Skript_NeuerSkript_Click();
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].text,
                 QStringLiteral("Es können maximal nur 100 Fenster geöffnet werden."));
        QCOMPARE(form->OpenSeiteWindow(), 1);
    }

    void closedIndexIsTakenAgain()
    {
        for (int i = 0; i < 10; ++i)
            form->OpenSeiteWindow();
        subOf(form->seiteWindow(5))->close();
        QVERIFY(!form->IsSeiteWindowOpen(5));
        QVERIFY(form->IsSeiteWindowOpen(6));
        QCOMPARE(form->OpenSeiteWindow(), 5);
        QCOMPARE(subOf(form->seiteWindow(5))->windowTitle(), QStringLiteral("Seite 5"));

        for (int i = 0; i < 3; ++i)
            form->OpenSkriptWindow();
        QVERIFY(subOf(form->skriptWindow(2))->close());
        QVERIFY(!form->IsSkriptWindowOpen(2));
        QCOMPARE(form->OpenSkriptWindow(), 2);
        QCOMPARE(form->skriptWindow(2)->caption(), QStringLiteral("Skript 2 - Neu"));
        QCOMPARE(form->OpenSkriptWindow(), 4);
    }

    // The Mitschnitt window is a child window beside the 100, takes no index
    // and goes with its request window.
    void mitschnittWindowOpensOnceAndGoesWithItsRequestWindow()
    {
        QCOMPARE(form->OpenSeiteWindow(), 1);
        QCOMPARE(form->OpenSeiteWindow(), 2);
        auto *seite = qobject_cast<SeiteWindow *>(form->seiteWindow(2));
        seite->openMitschnittWindow();
        seite->openMitschnittWindow(); // brings the open one forward
        QList<QMdiSubWindow *> subs = form->mdiArea()->subWindowList();
        QCOMPARE(subs.size(), 3);
        QCOMPARE(subs.last()->widget()->windowTitle(), QStringLiteral("Mitschnitt - Seite 2"));
        QCOMPARE(form->mdiArea()->activeSubWindow(), subs.last());
        QCOMPARE(form->OpenSeiteWindow(), 3);
        QPointer<QMdiSubWindow> mitschnitt = subs.last();
        form->host().seiteClose(2);
        QTRY_VERIFY(!mitschnitt);
        QCOMPARE(form->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(form->OpenSeiteWindow(), 2);
    }

    void indicesOutsideTheRangeAreNeverOpen()
    {
        form->OpenSeiteWindow();
        form->OpenSkriptWindow();
        for (int i : {0, -1, 101, 32767, -32768}) {
            QVERIFY(!form->IsSeiteWindowOpen(i));
            QVERIFY(!form->IsSkriptWindowOpen(i));
        }
        QVERIFY(form->IsSeiteWindowOpen(1));
        QVERIFY(form->IsSkriptWindowOpen(1));
        QVERIFY(!form->IsSkriptWindowOpen(2));
    }

    void statusReadsZeroAfterOpeningAndNodeGoesWithTheWindow()
    {
        QCOMPARE(form->OpenSkriptWindow(), 1);
        QCOMPARE(form->OpenSeiteWindow(), 1);
        QCOMPARE(form->engine().GetValueByPath(u"SkriptFenster(1).Status", {}, 0), QStringLiteral("0"));
        QCOMPARE(form->engine().GetValueByPath(u"SeiteFenster(1).Status", {}, 0), QStringLiteral("0"));
        form->host().skriptClose(1);
        form->host().seiteClose(1);
        QVERIFY(!form->IsSkriptWindowOpen(1));
        QVERIFY(!form->IsSeiteWindowOpen(1));
        QVERIFY(form->engine().root().objectArray(u"SkriptFenster")->peekObject(1)->variable(u"Status") == nullptr);
        QVERIFY(form->engine().root().objectArray(u"SeiteFenster")->peekObject(1)->variable(u"Status") == nullptr);
    }

    void windowsClosedDuringARunAreDeletedBeforeItEnds()
    {
        // A run that never waits never returns to the event loop, which is
        // where closed windows used to be deleted: each one stayed in memory
        // until the run ended.
        form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(1);
        s->text1()->setText(QStringLiteral("EXEC Skript.User.NewVariable(Text(I))\r\n"
                                           "DO\r\n"
                                           "EXEC SeiteFenster(NewSeiteFenster()).Close()\r\n"
                                           "EXEC SkriptFenster(NewSkriptFenster()).Close()\r\n"
                                           "EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))\r\n"
                                           "LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I 20)"));
        s->Ausfuehren_Click();
        QVERIFY(s->isIdle());
        QCOMPARE(form->findChildren<SeiteWindow *>().size(), 0);
        QCOMPARE(form->findChildren<Skript *>().size(), 1);
        QCOMPARE(form->mdiArea()->subWindowList().size(), 1);
        QVERIFY(dialogs->messages().empty());
    }

    void aScriptWindowStaysWhileItsOwnDialogIsOpen()
    {
        // Another window's script may close this one while its file dialog
        // or question runs an event loop; deleting it there would pull the
        // window out from under the dialog's caller.
        form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(1);
        s->text1()->setText(QStringLiteral("EXEC Main.Text.Plus(1 2)"));
        auto closeFromOutside = [this] {
            form->host().skriptClose(1);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        dialogs->onFileDialog = closeFromOutside;
        dialogs->onQuestion = [&](const QString &, const QString &) { closeFromOutside(); };
        s->document().Laden_Click();      // the save question, then the file dialog
        s->document().Speichern_unter_Click();
        QVERIFY(form->IsSkriptWindowOpen(1));
        QCOMPARE(form->skriptWindow(1), s);
        QCOMPARE(s->text1()->scriptText(), QStringLiteral("EXEC Main.Text.Plus(1 2)"));

        dialogs->onFileDialog = nullptr;
        dialogs->onQuestion = nullptr;
        form->host().skriptClose(1); // the question (No) is asked, then it goes
        QVERIFY(!form->IsSkriptWindowOpen(1));
    }

    void scriptWindowTextIsBoundToItsObject()
    {
        form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(1);
        s->text1()->setText(QStringLiteral("a\rb\nc\r\nd"));
        QCOMPARE(form->engine().GetValueByPath(u"SkriptFenster(1).Text", {}, 0),
                 QStringLiteral("a\rb\nc\r\nd"));
    }

    void scriptMenuTakesThePlaceOfTheMainMenu()
    {
        const QStringList mainMenu{"neues Fenster", "neuer Skript", "?"};
        const QStringList scriptMenu{"neues Fenster", "neuer Skript", "Neu", "Laden",
                                     "Speichern", "Speichern unter", "Ausführen", "?"};
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->OpenSkriptWindow();
        QCOMPARE(captions(form->menuBar()->actions()), scriptMenu);
        QMenu *help = form->menuBar()->actions().last()->menu();
        QCOMPARE(captions(help->actions()), (QStringList{"Anleitung", "-", "Über"}));

        form->OpenSeiteWindow();
        QCOMPARE(captions(form->menuBar()->actions()), mainMenu);

        form->mdiArea()->setActiveSubWindow(subOf(form->skriptWindow(1)));
        QCOMPARE(captions(form->menuBar()->actions()), scriptMenu);
        QCOMPARE(form->menuBar()->actions(), form->skriptWindow(1)->menuBarActions());

        subOf(form->seiteWindow(1))->close();
        QTest::qWait(0);
        QCOMPARE(captions(form->menuBar()->actions()), scriptMenu);
        subOf(form->skriptWindow(1))->close();
        QTRY_COMPARE(captions(form->menuBar()->actions()), mainMenu);
    }

    void scriptMenuEntriesRunTheMainWindowsHandlers()
    {
        form->OpenSkriptWindow();
        const QList<QAction *> entries = form->skriptWindow(1)->menuBarActions();
        entries.at(0)->trigger();
        QVERIFY(form->IsSeiteWindowOpen(1));
        entries.at(1)->trigger();
        QVERIFY(form->IsSkriptWindowOpen(2));
        entries.at(7)->menu()->actions().at(0)->trigger();
        QVERIFY(!form->isEnabled());
        QWidget *help = topLevelTitled(QStringLiteral("Anleitung"));
        QVERIFY(help);
        help->close();
        QTRY_VERIFY(form->isEnabled());
    }

    void helpAndAboutDisableTheMainWindowWhileOpen()
    {
        form->H_Anleitung_Click();
        QVERIFY(!form->isEnabled());
        QWidget *help = topLevelTitled(QStringLiteral("Anleitung"));
        QVERIFY(help);
        QVERIFY(help->parentWidget() == nullptr);
        QTest::qWait(20);
        QVERIFY(!form->isEnabled());
        help->close();
        QTRY_VERIFY(form->isEnabled());

        form->H_Ueber_Click();
        QVERIFY(!form->isEnabled());
        QWidget *about = topLevelTitled(QStringLiteral("Über"));
        QVERIFY(about);
        about->close();
        QTRY_VERIFY(form->isEnabled());
    }

    void closingAsksEachModifiedScriptWindowAndNoQuits()
    {
        for (int i = 0; i < 3; ++i)
            form->OpenSkriptWindow();
        form->OpenSeiteWindow();
        form->skriptWindow(1)->text1()->setText(QStringLiteral("eins"));
        form->skriptWindow(3)->text1()->setText(QStringLiteral("drei"));
        dialogs->answers = {false, false};
        QVERIFY(form->close());
        const auto questions = dialogs->questions();
        QCOMPARE(questions.size(), size_t(2));
        for (const auto &q : questions) {
            QCOMPARE(q.title, QStringLiteral("Speichern"));
            QCOMPARE(q.text, QStringLiteral("Wollen sie den aktuellen Skript vorher noch speichern?"));
        }
        for (int i = 1; i <= 3; ++i)
            QVERIFY(!form->IsSkriptWindowOpen(i));
        QVERIFY(!form->IsSeiteWindowOpen(1));
    }

    void closingStopsWhenASaveIsCancelled()
    {
        form->OpenSkriptWindow();
        form->OpenSkriptWindow();
        form->skriptWindow(1)->text1()->setText(QStringLiteral("eins"));
        form->skriptWindow(2)->text1()->setText(QStringLiteral("zwei"));
        dialogs->answers = {true}; // Ja, then the save dialog is cancelled
        QVERIFY(!form->close());
        QVERIFY(form->IsSkriptWindowOpen(1));
        QVERIFY(form->IsSkriptWindowOpen(2));
        QCOMPARE(dialogs->questions().size(), size_t(1));
        QCOMPARE(dialogs->of(ScriptedDialogs::Kind::Save).size(), size_t(1));
        QCOMPARE(form->skriptWindow(1)->text1()->text(), QStringLiteral("eins"));
    }

    void childWindowsOpenWhollyInsideTheWorkspace_data()
    {
        QTest::addColumn<QSize>("mainSize");
        QTest::newRow("as it opens") << QSize();
        QTest::newRow("large") << QSize(1500, 1100);
    }
    void childWindowsOpenWhollyInsideTheWorkspace()
    {
        QFETCH(QSize, mainSize);
        if (mainSize.isValid())
            form->resize(mainSize);
        QCoreApplication::processEvents();
        const QRect workspace = form->mdiArea()->viewport()->rect();
        QVERIFY(workspace.width() > 400 && workspace.height() > 300);

        QSet<QPoint> corners;
        for (int i = 1; i <= 10; ++i) {
            QCOMPARE(form->OpenSeiteWindow(), i);
            QCOMPARE(form->OpenSkriptWindow(), i);
            for (QMdiSubWindow *sub : form->mdiArea()->subWindowList()) {
                QVERIFY2(workspace.contains(sub->geometry()),
                         qPrintable(sub->windowTitle() + QStringLiteral(" lies outside the workspace")));
                corners.insert(sub->geometry().topLeft());
            }
        }
        QCOMPARE(subOf(form->seiteWindow(1))->geometry().topLeft(), workspace.topLeft());

        if (mainSize.isValid()) {
            // With room to spare they cascade from the top left instead of
            // piling up in one spot.
            QVERIFY(corners.size() > 2);
            // Where the workspace has the room, a request window keeps the
            // size its load gave it, and a script window is roomy.
            auto *seite = qobject_cast<SeiteWindow *>(form->seiteWindow(10));
            QCOMPARE(subOf(seite)->size(),
                     QSize(seite->twipsToPixelsX(10000), seite->twipsToPixelsY(10000)));
            const QSize script = subOf(form->skriptWindow(10))->size();
            QVERIFY(script.width() >= 620 && script.height() >= 440);
            QVERIFY(script.height() >= workspace.height() / 2);
        }
    }

    void sideWindowComesForwardWhenTheMainWindowIsActivated()
    {
        form->H_Anleitung_Click();
        QWidget *help = topLevelTitled(QStringLiteral("Anleitung"));
        QVERIFY(help);
        QCOMPARE(help->windowHandle()->transientParent(), form->windowHandle());
        QTRY_VERIFY(help->isActiveWindow());
        // A click on the disabled main window activates it; the help window
        // takes the activation back at once.
        QSignalSpy focus(qApp, &QGuiApplication::focusWindowChanged);
        form->activateWindow();
        QTRY_VERIFY(focus.size() >= 2);
        QCOMPARE(focus.first().first().value<QWindow *>(), form->windowHandle());
        QCOMPARE(focus.last().first().value<QWindow *>(), help->windowHandle());
        QVERIFY(help->isActiveWindow());
        help->close();
        QTRY_VERIFY(form->isEnabled());
    }

    void f1OpensTheHelpFromEveryMenu()
    {
        QTest::keyClick(form.get(), Qt::Key_F1);
        QWidget *help = topLevelTitled(QStringLiteral("Anleitung"));
        QVERIFY(help);
        help->close();
        QTRY_VERIFY(form->isEnabled());
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));

        form->OpenSkriptWindow();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        help = topLevelTitled(QStringLiteral("Anleitung"));
        QVERIFY(help);
        QVERIFY(!form->isEnabled());
        help->close();
    }

    void helpAgainRightAfterClosingItOpensAFreshOne()
    {
        // The closed window lingers until its deletion comes round; asking
        // again before that must neither raise the corpse nor leave the
        // main window disabled for good.
        for (int round = 0; round < 2; ++round) {
            form->H_Anleitung_Click();
            QWidget *help = topLevelTitled(QStringLiteral("Anleitung"));
            QVERIFY(help);
            QVERIFY(!form->isEnabled());
            help->close();
            QVERIFY(form->isEnabled());
        }
        QVERIFY(!topLevelTitled(QStringLiteral("Anleitung")));
    }

    void ctrlTabSwitchesChildWindowsFromAnyControl_data()
    {
        QTest::addColumn<QString>("control");
        for (const char *name : {"Text1", "Text9", "Text10", "Text13", "Command1"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void ctrlTabSwitchesChildWindowsFromAnyControl()
    {
        QFETCH(QString, control);
        form->OpenSkriptWindow();
        form->OpenSeiteWindow();
        auto *seite = qobject_cast<SeiteWindow *>(form->seiteWindow(1));
        seite->control(control)->setFocus();
        const QString body = seite->model(varnok::SeiteField::Anhang)->text();
        QCOMPARE(form->mdiArea()->activeSubWindow(), subOf(seite));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control);
        QTRY_COMPARE(form->mdiArea()->activeSubWindow(), subOf(form->skriptWindow(1)));
        QCOMPARE(seite->model(varnok::SeiteField::Anhang)->text(), body);
        // And back, from inside the script editor.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control);
        QTRY_COMPARE(form->mdiArea()->activeSubWindow(), subOf(seite));
        QVERIFY(form->skriptWindow(1)->text1()->text().isEmpty());
    }

    void closingBringsEachModifiedScriptForwardBeforeItsQuestion()
    {
        for (int i = 0; i < 3; ++i)
            form->OpenSkriptWindow();
        form->skriptWindow(1)->text1()->setText(QStringLiteral("eins"));
        form->skriptWindow(3)->text1()->setText(QStringLiteral("drei"));
        subOf(form->skriptWindow(1))->showMinimized();
        form->mdiArea()->setActiveSubWindow(subOf(form->skriptWindow(2)));
        QList<int> shownDuringQuestion;
        dialogs->onQuestion = [this, &shownDuringQuestion](const QString &, const QString &) {
            QMdiSubWindow *active = form->mdiArea()->activeSubWindow();
            auto *s = active ? qobject_cast<Skript *>(active->widget()) : nullptr;
            shownDuringQuestion << (s && !active->isMinimized() ? s->index() : 0);
        };
        QVERIFY(form->close());
        QCOMPARE(shownDuringQuestion, (QList<int>{1, 3}));
    }

    void closingWhileAScriptWaitsStopsItFirst()
    {
        form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(1);
        s->text1()->setText(QStringLiteral("WAITTILL 0"));
        s->Ausfuehren_Click();
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        QVERIFY(!form->close());
        QVERIFY(s->stopRequested());
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(!form->IsSkriptWindowOpen(1));
        // The run was stopped, so the window closed without a refusal.
        for (const auto &m : dialogs->messages())
            QVERIFY(m.text != QStringLiteral("Nicht möglich während der Skript ausgeführt wird."));
    }

    void closingDuringARunStopsItThenCloses()
    {
        form->OpenSkriptWindow();
        Skript *s = form->skriptWindow(1);
        s->text1()->setText(QStringLiteral("DO\r\nLOOP"));
        QTimer::singleShot(30, form.get(), [this] { form->close(); });
        s->Ausfuehren_Click(); // returns once the close request stopped it
        QVERIFY(s->isIdle());
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(!form->IsSkriptWindowOpen(1));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
