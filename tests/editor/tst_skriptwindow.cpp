// SPDX-License-Identifier: GPL-3.0-or-later
// The script window's document: caption, files, dialogs and questions.

#include "editor/findbar.h"
#include "editor/scriptfile.h"
#include "editor/skriptwindow.h"
#include "shell/mainform.h"
#include "shell/scripteddialogs.h"
#include "widgets/widgetdialogs.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QCheckBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace varnok;
using varnok::test::ScriptedDialogs;
using Kind = ScriptedDialogs::Kind;

namespace {

const QString kFilter = QStringLiteral("Skripte (*.varnok-skript);;alle Dateien (*)");

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QString caption(Skript *s)
{
    // The title less Qt's placeholder for the modified mark.
    return qobject_cast<QMdiSubWindow *>(s->parentWidget())->windowTitle().remove(QStringLiteral("[*]"));
}

} // namespace

class TestSkriptWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<QTemporaryDir> dir;
    Skript *s = nullptr;

    QString path(const QString &name) const { return dir->filePath(name); }

private slots:
    void init()
    {
        dialogs = std::make_unique<ScriptedDialogs>();
        form = std::make_unique<MainForm>(*dialogs);
        form->show();
        dir = std::make_unique<QTemporaryDir>();
        QCOMPARE(form->OpenSkriptWindow(), 1);
        s = form->skriptWindow(1);
    }
    void cleanup()
    {
        form.reset();
        dialogs.reset();
        dir.reset();
    }

    void newWindowStartsEmptyAndUnmodified()
    {
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));
        QVERIFY(s->text1()->text().isEmpty());
        QVERIFY(!s->isModified());
        QVERIFY(s->currentFile().isEmpty());
        QCOMPARE(s->ausfuehrenAction()->text(), QStringLiteral("Ausführen"));
    }

    void editorUsesAFixedFont()
    {
        const QFont f = s->editor()->plainTextEdit()->font();
        QVERIFY(QFontInfo(f).fixedPitch());
        QCOMPARE(f.pointSizeF(), 9.75);
        QCOMPARE(s->editor()->plainTextEdit()->lineWrapMode(), QPlainTextEdit::NoWrap);
    }

    void captionQuotesANameWithABlank()
    {
        s->document().SetFormCaption(QStringLiteral("/tmp/ein skript.varnok-skript"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - \"/tmp/ein skript.varnok-skript\""));
        s->document().SetFormCaption(QStringLiteral("/tmp/x.varnok-skript"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - /tmp/x.varnok-skript"));
    }

    void anyChangeMarksTheTextModified()
    {
        s->text1()->replaceRange(0, 0, u"EXEC"); // as typed
        QVERIFY(s->isModified());
        QVERIFY(s->SaveDatei(path("a.varnok-skript")));
        QVERIFY(!s->isModified());
        s->text1()->setText(QStringLiteral("x")); // as a script writes it
        QVERIFY(s->isModified());
    }

    void loadingANamedFile()
    {
        putFile(path("l.varnok-skript"), "\r\n\r\nEXEC a\r\n\r\nEXEC b\nc\rQUIT\r\n");
        s->text1()->setText(QStringLiteral("vorher"));
        QVERIFY(s->LoadDatei(path("l.varnok-skript")));
        QCOMPARE(s->text1()->text(), QStringLiteral("EXEC a\r\n\r\nEXEC b\nc\r\nQUIT"));
        QVERIFY(!s->isModified());
        QCOMPARE(s->currentFile(), path("l.varnok-skript"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - ") + path("l.varnok-skript"));
        QCOMPARE(s->document().loadDialog().fileName, path("l.varnok-skript"));
        QVERIFY(dialogs->shown.empty());
    }

    void loadFailureWithANameIsSilent()
    {
        s->text1()->setText(QStringLiteral("vorher"));
        QVERIFY(s->SaveDatei(path("ok.varnok-skript")));
        QVERIFY(!s->LoadDatei(path("fehlt.varnok-skript")));
        QVERIFY(dialogs->shown.empty());
        // The editor was emptied before the file failed to open; caption
        // and file stay.
        QVERIFY(s->text1()->text().isEmpty());
        QVERIFY(s->isModified());
        QCOMPARE(s->currentFile(), path("ok.varnok-skript"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - ") + path("ok.varnok-skript"));
    }

    void failedLoadOfAnEmptyEditorChangesNothing()
    {
        QVERIFY(!s->LoadDatei(path("fehlt.varnok-skript")));
        QVERIFY(!s->isModified());
    }

    void loadThroughTheDialog()
    {
        putFile(path("d.varnok-skript"), "QUIT\r\n");
        dialogs->files = {path("d.varnok-skript")};
        s->document().Laden_Click();
        const auto opened = dialogs->of(Kind::Open);
        QCOMPARE(opened.size(), size_t(1));
        QCOMPARE(opened[0].settings.title, QStringLiteral("Skript laden"));
        QCOMPARE(opened[0].settings.filter, kFilter);
        QCOMPARE(opened[0].settings.defaultSuffix, QString());
        QCOMPARE(opened[0].settings.fileName, QStringLiteral("*.varnok-skript"));
        QCOMPARE(s->text1()->text(), QStringLiteral("QUIT"));

        // The dialog presets the last name next time; a failure says so.
        QFile::remove(path("d.varnok-skript"));
        dialogs->files = {path("d.varnok-skript")};
        s->document().Laden_Click();
        QCOMPARE(dialogs->of(Kind::Open).back().settings.fileName, path("d.varnok-skript"));
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].title, QStringLiteral("Fehler"));
        QCOMPARE(dialogs->messages()[0].text, QStringLiteral("Fehler beim Laden."));
    }

    void cancelledLoadDialogChangesNothing()
    {
        s->text1()->setText(QStringLiteral("bleibt"));
        QVERIFY(!s->LoadDatei(QString()));
        QCOMPARE(s->text1()->text(), QStringLiteral("bleibt"));
        QCOMPARE(dialogs->shown.size(), size_t(1));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));
    }

    // Select all, copy, paste at the end and save, all by the keys: the
    // file holds the text twice, every control character as itself (the
    // box once put its display symbols on the clipboard: a TAB came back
    // as "?", a lone LF as a symbol and a new line break).
    void copyPasteSaveByKeysKeepsTheTextExactly()
    {
        QString text = QStringLiteral("EXEC Main.Text.Plus(1 2)\r\n");
        for (char16_t c = 0; c < 0x20; ++c)
            text += QChar(c);
        text += QStringLiteral("x\ry\nz\r\n\ttab");
        s->text1()->setText(text);
        dialogs->files = {path("k.varnok-skript")};
        QWidget *editor = s->editor()->plainTextEdit();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        editor->setFocus();
        QTest::keySequence(editor, QKeySequence::SelectAll);
        QTest::keySequence(editor, QKeySequence::Copy);
        QTest::keySequence(editor, QKeySequence::MoveToEndOfDocument);
        QTest::keySequence(editor, QKeySequence::Paste);
        QCOMPARE(s->text1()->text(), text + text);
        QVERIFY(s->isModified());
        QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(1));
        const QByteArray saved = fileBytes(path("k.varnok-skript"));
        QCOMPARE(saved, encodeScriptFile(text + text));
        QCOMPARE(saved.count('\t'), 2 * 2);
        QVERIFY(!saved.contains('?'));
    }

    // Find, replace all as one undo step, go to a line; the gutter counts
    // lines as varnok-run does (CR LF only; a lone LF or CR stays inside).
    void findReplaceAndLines()
    {
        s->text1()->setText(QStringLiteral("EXEC a\r\nexec A\nx\r\nEXECUTE a\rb\r\nEXEC a"));
        TextBox *e = s->editor();
        QCOMPARE(e->modelLineCount(), 4);
        QCOMPARE(e->modelLineOf(e->model()->text().indexOf(u'x')), 2); // after the lone LF
        QCOMPARE(e->modelLineOf(e->model()->text().lastIndexOf(QStringLiteral("EXEC"))), 4);
        bool continued = false;
        QCOMPARE(e->lineOfShownBlock(2, &continued), 2); // screen line 3 is model line 2
        QVERIFY(continued);

        FindBar *bar = s->findBar();
        bar->open(FindBar::Mode::Replace);
        QVERIFY(bar->isVisibleTo(s));
        bar->findField()->setText(QStringLiteral("exec"));
        bar->wholeWordBox()->setChecked(true);
        QVERIFY(bar->findNext());
        QCOMPARE(e->model()->selectionStart(), 0);
        QVERIFY(bar->findNext());
        QCOMPARE(e->model()->selectionStart(), 8);
        bar->replaceField()->setText(QStringLiteral("QUIT\t"));
        QCOMPARE(bar->replaceAll(), 3); // not EXECUTE
        QCOMPARE(e->model()->text(), QStringLiteral("QUIT\t a\r\nQUIT\t A\nx\r\nEXECUTE a\rb\r\nQUIT\t a"));
        e->undo();
        QCOMPARE(e->model()->text(), QStringLiteral("EXEC a\r\nexec A\nx\r\nEXECUTE a\rb\r\nEXEC a"));
        e->redo();
        QVERIFY(e->model()->text().startsWith(QStringLiteral("QUIT\t")));
        bar->matchCaseBox()->setChecked(true);
        bar->findField()->setText(QStringLiteral("quit"));
        QVERIFY(!bar->findNext());
        QCOMPARE(bar->info(), QStringLiteral("nicht gefunden"));

        bar->open(FindBar::Mode::GoToLine);
        QVERIFY(bar->goToLine(3));
        QCOMPARE(e->model()->selectionStart(), e->model()->text().indexOf(QStringLiteral("EXECUTE")));
        QVERIFY(!bar->goToLine(9));
    }

    // The box of an error keeps its title and text and names line,
    // statement and missing name; after OK the line stays marked.
    void errorBoxNamesThePlaceAndTheLineStaysMarked()
    {
        s->text1()->setText(QStringLiteral("EXEC Main.Text.Len(Text(a))\r\n  EXEC Skript.Sever(Text(x))  \r\nQUIT"));
        s->Ausfuehren_Click();
        QTRY_VERIFY(s->isIdle());
        const auto boxes = dialogs->messages();
        QCOMPARE(boxes.size(), size_t(1));
        QCOMPARE(boxes[0].title, QStringLiteral("Fehler 4"));
        QCOMPARE(boxes[0].text, QStringLiteral("Objekt nicht gefunden"));
        QCOMPARE(dialogs->places.size(), size_t(1));
        const ErrorPlace &p = dialogs->places[0];
        QCOMPARE(p.line, 2);
        QCOMPARE(p.statement, QStringLiteral("EXEC Skript.Sever(Text(x))"));
        QCOMPARE(p.missingName, QStringLiteral("Sever"));
        QCOMPARE(p.parts(), (QStringList{QStringLiteral("Zeile 2: EXEC Skript.Sever(Text(x))"),
                                         // the path as the evaluator walked it, shortcut expanded
                                         QStringLiteral("„Sever“ nicht gefunden (in Skript(MyIndex()).Sever)")}));
        QCOMPARE(s->editor()->markedLine(), 2);
        // The next edit ends the mark.
        s->text1()->setText(QStringLiteral("QUIT"));
        QCOMPARE(s->editor()->markedLine(), -1);
    }

    // A script longer than the editor's window: the find bar, go to line,
    // an error's mark and a waiting statement each bring the window where
    // they are, and Replace All stays one step.
    void aLongScriptIsShownAWindowAtATime()
    {
        QString text;
        for (int i = 1; i <= 300; ++i)
            text += i == 250 ? QStringLiteral("WAITTILL 0\r\n") : i == 280 ? QStringLiteral("EXEC Skript.Sever(Text(x))\r\n")
                                                                          : QStringLiteral("' Zeile %1\r\n").arg(i);
        TextBox *e = s->editor();
        e->setMaxShownLinesForTests(40);
        s->text1()->setText(text);
        QPlainTextEdit *p = e->plainTextEdit();
        QVERIFY(e->isWindowed());
        const auto shownLine = [&] { return e->lineOfShownBlock(p->textCursor().blockNumber(), nullptr); };

        FindBar *bar = s->findBar();
        bar->open(FindBar::Mode::Replace);
        bar->findField()->setText(QStringLiteral("Zeile 200"));
        QVERIFY(bar->findNext());
        QCOMPARE(p->textCursor().selectedText(), QStringLiteral("Zeile 200"));
        QCOMPARE(shownLine(), 200);
        bar->findField()->setText(QStringLiteral("Zeile"));
        bar->replaceField()->setText(QStringLiteral("Z"));
        QCOMPARE(bar->replaceAll(), 298);
        QCOMPARE(e->model()->text(), QString(text).replace(QStringLiteral("Zeile"), QStringLiteral("Z")));
        e->undo();
        QCOMPARE(e->model()->text(), text);
        bar->open(FindBar::Mode::GoToLine);
        QVERIFY(bar->goToLine(10));
        QCOMPARE(shownLine(), 10);
        QCOMPARE(e->firstShownLine(), 0);

        // The statement a run waits at is shown where it is; so is the
        // statement of an error box, marked.
        s->Ausfuehren_Click();
        QCOMPARE(p->textCursor().selectedText(), QStringLiteral("WAITTILL 0"));
        QCOMPARE(shownLine(), 250);
        s->Ausfuehren_Click();
        QTRY_VERIFY(s->isIdle());
        e->model()->setSelection(0, 0);
        e->syncSelectionNow();
        QCOMPARE(e->firstShownLine(), 0);
        s->text1()->setText(QString(text).replace(QStringLiteral("WAITTILL 0"), QStringLiteral("' nichts")));
        s->Ausfuehren_Click();
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(dialogs->places.size(), size_t(1));
        QCOMPARE(dialogs->places[0].line, 280);
        QCOMPARE(e->markedLine(), 280);
        const qsizetype first = e->firstShownLine();
        QVERIFY2(first < 280 && first + 40 > 280, qPrintable(QString::number(first)));
    }

    void modifiedStateShowsInTheTitle()
    {
        QVERIFY(!s->isWindowModified());
        s->text1()->setText(QStringLiteral("x"));
        QVERIFY(s->isWindowModified());
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));
        s->document().neu_Click();
        QVERIFY(!s->isWindowModified());
    }

    void speichernAsksOnceThenWritesToTheFile()
    {
        s->text1()->setText(QStringLiteral("EXEC 1"));
        dialogs->files = {path("s.varnok-skript")};
        s->document().Speichern_Click();
        auto saves = dialogs->of(Kind::Save);
        QCOMPARE(saves.size(), size_t(1));
        QCOMPARE(saves[0].settings.title, QStringLiteral("Skript speichern"));
        QCOMPARE(saves[0].settings.filter, kFilter);
        QCOMPARE(saves[0].settings.defaultSuffix, QStringLiteral("varnok-skript"));
        QCOMPARE(saves[0].settings.fileName, QStringLiteral("*.varnok-skript"));
        QCOMPARE(fileBytes(path("s.varnok-skript")), QByteArray("EXEC 1\r\n"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - ") + path("s.varnok-skript"));
        QVERIFY(!s->isModified());

        s->text1()->setText(QStringLiteral("EXEC 2"));
        s->document().Speichern_Click();
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(1));
        QVERIFY(dialogs->questions().empty());
        QCOMPARE(fileBytes(path("s.varnok-skript")), QByteArray("EXEC 2\r\n"));
    }

    void speichernToAVanishedFolderReportsOnce()
    {
        QDir(dir->path()).mkdir(QStringLiteral("sub"));
        s->text1()->setText(QStringLiteral("x"));
        QVERIFY(s->SaveDatei(path("sub/x.varnok-skript")));
        QDir(path("sub")).removeRecursively();
        s->document().Speichern_Click();
        QCOMPARE(dialogs->messages().size(), size_t(1));
        QCOMPARE(dialogs->messages()[0].text, QStringLiteral("Fehler beim Speichern."));
        QVERIFY(s->isModified() == false); // unchanged since the last save
    }

    void speichernUnterAsksBeforeOverwriting()
    {
        putFile(path("da.varnok-skript"), "alt\r\n");
        s->text1()->setText(QStringLiteral("neu"));
        dialogs->files = {path("da.varnok-skript")};
        dialogs->answers = {false};
        s->document().Speichern_unter_Click();
        QCOMPARE(dialogs->questions().size(), size_t(1));
        QCOMPARE(dialogs->questions()[0].title, QStringLiteral("Überschreiben"));
        QCOMPARE(dialogs->questions()[0].text,
                 QStringLiteral("Die ausgewählte Datei ist bereits vorhanden. Wollen sie die Datei überschreiben?"));
        QVERIFY(dialogs->messages().empty());
        QCOMPARE(fileBytes(path("da.varnok-skript")), QByteArray("alt\r\n"));
        QVERIFY(s->isModified());
        QVERIFY(s->currentFile().isEmpty());
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));

        dialogs->files = {path("da.varnok-skript")};
        dialogs->answers = {true};
        s->document().Speichern_unter_Click();
        QCOMPARE(fileBytes(path("da.varnok-skript")), QByteArray("neu\r\n"));
        QCOMPARE(s->currentFile(), path("da.varnok-skript"));
    }

    void dialogSaveOverwritesAReadOnlyFileAfterYes()
    {
        putFile(path("ro.varnok-skript"), "alt\r\n");
        QFile::setPermissions(path("ro.varnok-skript"), QFileDevice::ReadOwner);
        s->text1()->setText(QStringLiteral("neu"));
        dialogs->files = {path("ro.varnok-skript")};
        dialogs->answers = {true};
        QVERIFY(s->SaveDatei(QString()));
        QCOMPARE(fileBytes(path("ro.varnok-skript")), QByteArray("neu\r\n"));
    }

    void namedSaveOverwritesAReadOnlyFileWithoutAsking()
    {
        putFile(path("ro.varnok-skript"), "alt\r\n");
        QFile::setPermissions(path("ro.varnok-skript"), QFileDevice::ReadOwner);
        s->text1()->setText(QStringLiteral("neu"));
        QVERIFY(form->host().skriptSpeichern(1, path("ro.varnok-skript")));
        QVERIFY(dialogs->shown.empty());
        QCOMPARE(fileBytes(path("ro.varnok-skript")), QByteArray("neu\r\n"));
        QVERIFY(QFile::permissions(path("ro.varnok-skript")) & QFileDevice::WriteOwner);
    }

    void namedSaveFailureIsSilent()
    {
        s->text1()->setText(QStringLiteral("x"));
        QVERIFY(!form->host().skriptSpeichern(1, path("fehlt/x.varnok-skript")));
        QVERIFY(dialogs->shown.empty());
        QVERIFY(s->isModified());
    }

    void saveAndLoadRoundTripThroughTheWindow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("lines") << QStringLiteral("A\r\nB") << QStringLiteral("A\r\nB");
        QTest::newRow("leading empty lines") << QStringLiteral("\r\n\r\nA") << QStringLiteral("A");
        QTest::newRow("trailing empty line") << QStringLiteral("A\r\n") << QStringLiteral("A\r\n");
        QTest::newRow("lone lf") << QStringLiteral("A\nB") << QStringLiteral("A\nB");
        QTest::newRow("lone cr") << QStringLiteral("A\rB") << QStringLiteral("A\r\nB");
        QTest::newRow("controls") << QStringLiteral("A\tB") + QChar(0) + QChar(0x7f)
                                  << QStringLiteral("A\tB") + QChar(0) + QChar(0x7f);
    }
    void saveAndLoadRoundTripThroughTheWindow()
    {
        QFETCH(QString, text);
        QFETCH(QString, loaded);
        s->text1()->setText(text);
        QVERIFY(s->SaveDatei(path("r.varnok-skript")));
        QCOMPARE(fileBytes(path("r.varnok-skript")), encodeScriptFile(text));
        s->text1()->setText(QStringLiteral("anders"));
        QVERIFY(s->LoadDatei(path("r.varnok-skript")));
        QCOMPARE(s->text1()->text(), loaded);
    }

    void neuAfterLoadForgetsTheFile()
    {
        putFile(path("n.varnok-skript"), "QUIT\r\n");
        QVERIFY(s->LoadDatei(path("n.varnok-skript")));
        s->document().neu_Click();
        QVERIFY(dialogs->shown.empty()); // not modified: no question
        QVERIFY(s->text1()->text().isEmpty());
        QVERIFY(!s->isModified());
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));
        s->document().Speichern_Click();
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(1));
    }

    void savePromptBeforeNeu()
    {
        s->text1()->setText(QStringLiteral("ungesichert"));
        dialogs->answers = {false};
        s->document().neu_Click();
        QCOMPARE(dialogs->questions().size(), size_t(1));
        QCOMPARE(dialogs->questions()[0].title, QStringLiteral("Speichern"));
        QCOMPARE(dialogs->questions()[0].text,
                 QStringLiteral("Wollen sie den aktuellen Skript vorher noch speichern?"));
        QVERIFY(s->text1()->text().isEmpty());

        // Yes and a cancelled save dialog: the prompt says stop.
        s->text1()->setText(QStringLiteral("noch einmal"));
        dialogs->answers = {true};
        s->document().neu_Click();
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(1));
        QCOMPARE(s->text1()->text(), QStringLiteral("noch einmal"));

        // Yes and a save that works: the document goes on to Neu.
        dialogs->answers = {true};
        dialogs->files = {path("p.varnok-skript")};
        s->document().neu_Click();
        QCOMPARE(fileBytes(path("p.varnok-skript")), QByteArray("noch einmal\r\n"));
        QVERIFY(s->text1()->text().isEmpty());
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - Neu"));
    }

    void savePromptBeforeLaden()
    {
        putFile(path("l.varnok-skript"), "QUIT\r\n");
        s->text1()->setText(QStringLiteral("ungesichert"));
        dialogs->answers = {true};
        s->document().Laden_Click(); // Yes, save cancelled: no load dialog
        QVERIFY(dialogs->of(Kind::Open).empty());
        QCOMPARE(s->text1()->text(), QStringLiteral("ungesichert"));

        dialogs->answers = {false};
        dialogs->files = {path("l.varnok-skript")};
        s->document().Laden_Click();
        QCOMPARE(s->text1()->text(), QStringLiteral("QUIT"));
    }

    void closingAModifiedWindowYesThenCancelKeepsIt()
    {
        s->text1()->setText(QStringLiteral("wertvoll"));
        dialogs->answers = {true};
        auto *sub = qobject_cast<QMdiSubWindow *>(s->parentWidget());
        QVERIFY(!sub->close());
        QVERIFY(form->IsSkriptWindowOpen(1));
        QCOMPARE(s->text1()->text(), QStringLiteral("wertvoll"));

        dialogs->answers = {false};
        QVERIFY(sub->close());
        QVERIFY(!form->IsSkriptWindowOpen(1));
    }

    void keysRunTheMenuCommandsWithoutChangingCaptions()
    {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        s->editor()->setFocus();
        QStringList before;
        for (const QAction *a : s->menuBarActions())
            before << a->text();
        const auto press = [](QKeyCombination keys) {
            QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
        };

        press(Qt::CTRL | Qt::Key_S); // a new window's Speichern asks for a name
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(1));
        press(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
        QCOMPARE(dialogs->of(Kind::Save).size(), size_t(2));
        press(Qt::CTRL | Qt::Key_O);
        QCOMPARE(dialogs->of(Kind::Open).size(), size_t(1));
        QVERIFY(s->text1()->text().isEmpty());

        s->text1()->setText(QStringLiteral("WAITTILL 0"));
        press(Qt::Key_F5);
        QCOMPARE(s->runState(), Skript::RunState::Waiting);
        QCOMPARE(s->ausfuehrenAction()->text(), QStringLiteral("Stopp"));
        press(Qt::Key_F5); // Stopp
        QTRY_VERIFY(s->isIdle());
        QCOMPARE(s->text1()->text(), QStringLiteral("WAITTILL 0"));

        QStringList after;
        for (const QAction *a : s->menuBarActions())
            after << a->text();
        QCOMPARE(after, before);
    }

    void escapeAndTheCloseButtonLeaveTheSaveQuestionOpen()
    {
        // The real question box, as a person meets it.
        WidgetDialogs real;
        MainForm own(real);
        own.show();
        QCOMPARE(own.OpenSkriptWindow(), 1);
        Skript *w = own.skriptWindow(1);
        const QString text = QStringLiteral("ungesichert\r\nzweite Zeile");
        w->text1()->setText(text);

        bool openAfterEscape = false;
        bool openAfterClose = false;
        QString textWhileOpen;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            QWidget *keys = QApplication::focusWidget() ? QApplication::focusWidget() : box;
            QTest::keyClick(keys, Qt::Key_Escape);
            openAfterEscape = box->isVisible();
            QCloseEvent close; // the close button, as the window system reports it
            QSpontaneKeyEvent::setSpontaneous(&close);
            qApp->notify(box, &close);
            openAfterClose = box->isVisible();
            textWhileOpen = w->text1()->text();
            box->button(QMessageBox::No)->click(); // only a button answers
        });
        w->document().neu_Click();
        QVERIFY(openAfterEscape);
        QVERIFY(openAfterClose);
        QCOMPARE(textWhileOpen, text);
        QVERIFY(w->text1()->text().isEmpty()); // "Nein" was the person's answer
    }

    void scriptNeuOnlyEmptiesTheText()
    {
        putFile(path("k.varnok-skript"), "QUIT\r\n");
        QVERIFY(s->LoadDatei(path("k.varnok-skript")));
        form->host().skriptNeu(1);
        QVERIFY(s->text1()->text().isEmpty());
        QVERIFY(s->isModified());
        QCOMPARE(s->currentFile(), path("k.varnok-skript"));
        QCOMPARE(caption(s), QStringLiteral("Skript 1 - ") + path("k.varnok-skript"));
        QVERIFY(dialogs->shown.empty());
    }

    void hostOperationsOnClosedWindowsDoNothing()
    {
        QVERIFY(!form->host().skriptLaden(7, path("x")));
        QVERIFY(!form->host().skriptSpeichern(7, path("x")));
        form->host().skriptNeu(7);
        form->host().skriptAusfuehren(7);
        form->host().skriptClose(7);
        form->host().seiteSenden(7);
        form->host().seiteClose(7);
        QVERIFY(dialogs->shown.empty());
        QVERIFY(!QFile::exists(path("x")));
    }
};

QTEST_MAIN(TestSkriptWindow)
#include "tst_skriptwindow.moc"
