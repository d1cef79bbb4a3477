#include "editor/skriptwindow.h"
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
#include <QTest>
#include <QTimer>
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
        if (w->isVisible() && w->windowTitle() == title)
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
        QCOMPARE(subOf(form->skriptWindow(2))->windowTitle(), QStringLiteral("Skript 2 - Neu"));
        QCOMPARE(form->OpenSkriptWindow(), 4);
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
        form->skriptClose(1);
        form->seiteClose(1);
        QVERIFY(!form->IsSkriptWindowOpen(1));
        QVERIFY(!form->IsSeiteWindowOpen(1));
        QVERIFY(form->engine().root().objectArray(u"SkriptFenster")->peekObject(1)->variable(u"Status") == nullptr);
        QVERIFY(form->engine().root().objectArray(u"SeiteFenster")->peekObject(1)->variable(u"Status") == nullptr);
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
