// SPDX-License-Identifier: GPL-3.0-or-later
// The exact-text box: what it shows for a model, how user edits reach the
// model, and that the program's own changes never come back as edits.

#include "widgets/textbox.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QWheelEvent>

#include <memory>
#include <random>

using varnok::TextBox;
using varnok::TextModel;

namespace {

QString sym(char16_t code) { return QString(QChar(char16_t(0x2400 + code))); }

// Every Latin-1 code unit once, with lone CR, lone LF and CR LF among them.
QString allBytesText()
{
    QString t;
    for (int c = 0; c < 256; ++c)
        t += QChar(char16_t(c));
    t += QStringLiteral("\r\n\r\rx\n\n\r\n");
    t += QChar(char16_t(0));
    return t;
}

struct Box {
    std::shared_ptr<TextModel> model;
    std::unique_ptr<TextBox> box;
    Box(const QString &text, TextBox::Mode mode)
        : model(std::make_shared<TextModel>(text)),
          box(std::make_unique<TextBox>(model, mode))
    {
        box->resize(400, 300);
        box->show();
    }
    QWidget *editor() const
    {
        return box->plainTextEdit() ? static_cast<QWidget *>(box->plainTextEdit())
                                    : box->lineEdit();
    }
    void caretTo(int displayPos) const
    {
        if (auto *p = box->plainTextEdit()) {
            QTextCursor c = p->textCursor();
            c.setPosition(displayPos);
            p->setTextCursor(c);
        } else {
            box->lineEdit()->setCursorPosition(displayPos);
        }
    }
    void selectDisplay(int from, int to) const
    {
        if (auto *p = box->plainTextEdit()) {
            QTextCursor c = p->textCursor();
            c.setPosition(from);
            c.setPosition(to, QTextCursor::KeepAnchor);
            p->setTextCursor(c);
        } else {
            box->lineEdit()->setSelection(from, to - from);
        }
    }
    void paste(const QString &clip) const
    {
        QGuiApplication::clipboard()->setText(clip);
        if (auto *p = box->plainTextEdit())
            p->paste();
        else
            box->lineEdit()->paste();
    }
};

// What the screen must show for a model text, written independently of the
// box's own bookkeeping.
QString expectedDisplay(const QString &t, bool multiLine)
{
    QString out;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (multiLine && c == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n') {
            out += u'\n';
            ++i;
        } else if (c < 0x20) {
            out += QChar(char16_t(0x2400 + c));
            if (multiLine && c == u'\n')
                out += u'\n';
        } else if (c == 0x7F) {
            out += QChar(char16_t(0x2421));
        } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            out += QChar(char16_t(0x2424));
        } else {
            out += t[i];
        }
    }
    return out;
}

} // namespace

class TstTextBox : public QObject
{
    Q_OBJECT
private slots:
    void multiLineShowsBreaksAndSymbols();
    void singleLineShowsEveryControlAsSymbol();
    void positionsMapAcrossBreaks();
    void loneLfPositionsMapBothWays();
    void editingAroundLoneLfKeepsModelExact();
    void randomEditsKeepModelAndScreenInStep_data();
    void randomEditsKeepModelAndScreenInStep();
    void typingKeepsEveryOtherCharacterExact_data();
    void typingKeepsEveryOtherCharacterExact();
    void enterGivesCrLf();
    void clipboardRoundTripIsExact();
    void cutAndPartialCopyAreExact();
    void dropInsertsExactly();
    void inputMethodsAreToldTheExactText();
    void pastedControlsAndSymbolsAreTakenLiterally();
    void deletingBetweenCrAndLfJoinsThemIntoABreak();
    void backspaceOverBreakRemovesCrAndLf();
    void undoRestoresControlCharactersExactly();
    void programmaticChangesAreNotUserEdits();
    void appendIsIncrementalAndJoinsCrWithLf();
    void appendsReachTheScreenAtItsRate();
    void appendKeepsTheModelSelection();
    void modelSelectionIsShownLaterOrOnDemand();
    void userSelectionReachesModelWithoutPending();
    void readOnlyBlocksEditsButNotCopy_data();
    void readOnlyBlocksEditsButNotCopy();
    void singleLineHoldsLongTexts();
    void bigScriptIsShownWhole();
    void longTextIsShownExactlyAcrossPieces();
    void scriptColoursFollowTheScreenAndEdits();
    void readoutRequestedOnTextChangeAndClicks();
    void windowFollowsTheCaretAcrossItsEdge();
    void selectionBeyondTheWindowIsExact();
    void draggedSelectionReachesBeyondTheWindow();
    void editsBeyondTheWindowAreExactAndUndoable();
    void programSelectionAndScrollingMoveTheWindow();
    void appendsToAWindowedBoxKeepItsSize();
    void longLinesBoundTheWindowByCharacters();
    void randomKeysOnAWindowedText_data();
    void randomKeysOnAWindowedText();
};

void TstTextBox::multiLineShowsBreaksAndSymbols()
{
    const QString text = QStringLiteral("a\r\nb\rc\nd\te") + QChar(u'\0') + QStringLiteral("f\x7f\x1b");
    Box b(text, TextBox::Mode::MultiLine);
    // A lone LF keeps its symbol and also ends the line on screen.
    QCOMPARE(b.box->displayText(), QStringLiteral("a\nb") + sym(13) + QStringLiteral("c") + sym(10)
                                       + QStringLiteral("\nd") + sym(9) + QStringLiteral("e")
                                       + sym(0) + QStringLiteral("f\u2421") + sym(0x1b));
    QCOMPARE(b.box->plainTextEdit()->document()->blockCount(), 3);
    QCOMPARE(b.model->text(), text); // showing never alters the model
}

void TstTextBox::singleLineShowsEveryControlAsSymbol()
{
    Box b(QStringLiteral("a\r\nb\tc"), TextBox::Mode::SingleLine);
    QCOMPARE(b.box->displayText(), QStringLiteral("a") + sym(13) + sym(10) + QStringLiteral("b") + sym(9) + QStringLiteral("c"));
    QCOMPARE(b.box->modelToDisplay(3), 3);
    QCOMPARE(b.box->displayToModel(3), 3);
}

void TstTextBox::positionsMapAcrossBreaks()
{
    // model:   a CR LF b CR LF CR LF c      (positions 0..8)
    // display: a  ¶  b  ¶  ¶  c             (positions 0..5)
    Box b(QStringLiteral("a\r\nb\r\n\r\nc"), TextBox::Mode::MultiLine);
    const int modelToDisp[] = {0, 1, 1, 2, 3, 3, 4, 4, 5, 6};
    for (int m = 0; m <= 9; ++m)
        QCOMPARE(b.box->modelToDisplay(m), modelToDisp[m]);
    const qsizetype dispToModel[] = {0, 1, 3, 4, 6, 8, 9};
    for (int d = 0; d <= 6; ++d)
        QCOMPARE(b.box->displayToModel(d), dispToModel[d]);
    QCOMPARE(b.box->displayToModel(99), 9);
    QCOMPARE(b.box->modelToDisplay(-5), 0);
}

void TstTextBox::loneLfPositionsMapBothWays()
{
    // model:   a LF b                      (positions 0..3)
    // display: a ␊ ¶ b                     (positions 0..4)
    Box b(QStringLiteral("a\nb"), TextBox::Mode::MultiLine);
    QCOMPARE(b.box->modelToDisplay(0), 0);
    QCOMPARE(b.box->modelToDisplay(1), 1);
    QCOMPARE(b.box->modelToDisplay(2), 3);
    QCOMPARE(b.box->modelToDisplay(3), 4);
    const qsizetype dispToModel[] = {0, 1, 2, 2, 3};
    for (int d = 0; d <= 4; ++d)
        QCOMPARE(b.box->displayToModel(d), dispToModel[d]);
    // Selecting the first line on screen selects "a" and the LF.
    b.selectDisplay(0, 3);
    QCOMPARE(b.box->modelSelection(), std::make_pair(qsizetype(0), qsizetype(2)));
}

void TstTextBox::editingAroundLoneLfKeepsModelExact()
{
    Box b(QStringLiteral("a\nb"), TextBox::Mode::MultiLine);
    // Typing at the end of the first screen line goes after the LF.
    b.caretTo(2);
    QTest::keyClicks(b.editor(), QStringLiteral("x"));
    QCOMPARE(b.model->text(), QStringLiteral("a\nxb"));
    QCOMPARE(b.box->displayText(), QStringLiteral("a") + sym(10) + QStringLiteral("\nxb"));
    QCOMPARE(b.model->selectionStart(), 3);

    // Delete at the end of that line joins the lines: the LF goes.
    b.caretTo(2);
    QTest::keyClick(b.editor(), Qt::Key_Delete);
    QCOMPARE(b.model->text(), QStringLiteral("axb"));
    QCOMPARE(b.box->displayText(), QStringLiteral("axb"));

    // So does Backspace at the start of the next line...
    b.model->setText(QStringLiteral("a\nb"));
    b.caretTo(3);
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QCOMPARE(b.model->text(), QStringLiteral("ab"));
    // ...and Backspace right behind the symbol.
    b.model->setText(QStringLiteral("a\nb"));
    b.caretTo(2);
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QCOMPARE(b.model->text(), QStringLiteral("ab"));
    QCOMPARE(b.box->displayText(), QStringLiteral("ab"));

    // An LF-only answer arriving in pieces is shown as lines.
    b.model->setText(QString());
    for (int i = 0; i < 50; ++i)
        b.model->append(QStringLiteral("<p>%1</p>\n").arg(i));
    QCOMPARE(b.box->plainTextEdit()->document()->blockCount(), 51);
    QCOMPARE(b.box->displayToModel(b.box->modelToDisplay(b.model->text().size())),
             b.model->text().size());
}

void TstTextBox::randomEditsKeepModelAndScreenInStep_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed : {1u, 2u, 3u}) {
        QTest::addRow("multi-%u", seed) << int(TextBox::Mode::MultiLine) << seed;
        QTest::addRow("single-%u", seed) << int(TextBox::Mode::SingleLine) << seed;
    }
}

void TstTextBox::randomEditsKeepModelAndScreenInStep()
{
    QFETCH(int, mode);
    QFETCH(unsigned, seed);
    const bool multi = TextBox::Mode(mode) == TextBox::Mode::MultiLine;
    std::mt19937 rng(seed);
    const QString alphabet = QStringLiteral("a\r\n\r\n\t") + QChar(u'\0') + sym(13);
    auto pick = [&](qsizetype n) { return qsizetype(rng() % std::uint32_t(n)); };

    QString initial;
    for (int i = 0; i < 40; ++i)
        initial += alphabet[pick(alphabet.size())];
    Box b(initial, TextBox::Mode(mode));
    b.box->setFocus();
    QString expected = initial;

    for (int step = 0; step < 150; ++step) {
        qsizetype m = pick(expected.size() + 1);
        if (multi && m > 0 && m < expected.size() && expected[m - 1] == u'\r'
            && expected[m] == u'\n')
            --m; // no caret between CR and LF
        b.caretTo(b.box->modelToDisplay(m));
        QCOMPARE(b.model->selectionStart(), m);
        const auto isPair = [&](qsizetype at) {
            return multi && at >= 0 && at + 1 < expected.size() && expected[at] == u'\r'
                   && expected[at + 1] == u'\n';
        };
        switch (pick(multi ? 4 : 3)) {
        case 0:
            QTest::keyClick(b.editor(), Qt::Key_X);
            expected.insert(m, u'x');
            break;
        case 1:
            QTest::keyClick(b.editor(), Qt::Key_Backspace);
            if (m > 0)
                expected.remove(isPair(m - 2) ? m - 2 : m - 1, isPair(m - 2) ? 2 : 1);
            break;
        case 2:
            QTest::keyClick(b.editor(), Qt::Key_Delete);
            if (m < expected.size())
                expected.remove(m, isPair(m) ? 2 : 1);
            break;
        default:
            QTest::keyClick(b.editor(), Qt::Key_Return);
            expected.insert(m, QStringLiteral("\r\n"));
            break;
        }
        QCOMPARE(b.model->text(), expected);
        QCOMPARE(b.box->displayText(), expectedDisplay(expected, multi));
        for (qsizetype p = 0; p <= expected.size(); ++p) {
            if (isPair(p - 1))
                continue;
            QCOMPARE(b.box->displayToModel(b.box->modelToDisplay(p)), p);
        }
    }

    // The history walks all of it back, control characters included.
    while (b.box->isUndoAvailable())
        b.box->undo();
    QCOMPARE(b.model->text(), initial);
    QCOMPARE(b.box->displayText(), expectedDisplay(initial, multi));
}

void TstTextBox::typingKeepsEveryOtherCharacterExact_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("modelPos");
    const QString t = allBytesText();
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        const char *m = mode == TextBox::Mode::MultiLine ? "multi" : "single";
        for (int pos : {0, 14, 200, int(t.size() - 4), int(t.size())})
            QTest::addRow("%s-%d", m, pos) << int(mode) << pos;
    }
}

void TstTextBox::typingKeepsEveryOtherCharacterExact()
{
    QFETCH(int, mode);
    QFETCH(int, modelPos);
    const QString original = allBytesText();
    Box b(original, TextBox::Mode(mode));
    b.caretTo(b.box->modelToDisplay(modelPos));
    QTest::keyClicks(b.editor(), QStringLiteral("Xy"));
    QString expected = original;
    expected.insert(modelPos, QStringLiteral("Xy"));
    QCOMPARE(b.model->text(), expected);
    QCOMPARE(b.model->selectionStart(), modelPos + 2);

    // And back: the two typed characters go, everything else stays.
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QCOMPARE(b.model->text(), original);
}

void TstTextBox::enterGivesCrLf()
{
    Box b(QStringLiteral("ab"), TextBox::Mode::MultiLine);
    b.caretTo(1);
    QTest::keyClick(b.editor(), Qt::Key_Return);
    QCOMPARE(b.model->text(), QStringLiteral("a\r\nb"));
    QTest::keyClick(b.editor(), Qt::Key_Enter);
    QCOMPARE(b.model->text(), QStringLiteral("a\r\n\r\nb"));
    // Shift+Enter is a line break to the user as well.
    QTest::keyClick(b.editor(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(b.model->text(), QStringLiteral("a\r\n\r\n\r\nb"));
    QCOMPARE(b.box->displayText(), QStringLiteral("a\n\n\nb"));
    QCOMPARE(b.model->selectionStart(), 7);
}

// Every control character, lone CR, lone LF and CR LF: copied by the keys
// and pasted at the end, the box holds the text twice, exactly.
static QString everyControlText()
{
    QString t = QStringLiteral("a");
    for (char16_t c = 0; c < 0x20; ++c)
        t += QChar(c);
    t += QStringLiteral("b\rc\nd\r\ne\n\r\x7f") + QChar(QChar::LineSeparator) + sym(13)
         + QStringLiteral("\r");
    return t;
}

void TstTextBox::clipboardRoundTripIsExact()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        const QString text = everyControlText();
        Box b(text, mode);
        b.editor()->setFocus();
        QTest::keySequence(b.editor(), QKeySequence::SelectAll);
        QTest::keySequence(b.editor(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
                 text.toUtf8());
        QTest::keySequence(b.editor(), mode == TextBox::Mode::MultiLine
                                           ? QKeySequence::MoveToEndOfDocument
                                           : QKeySequence::MoveToEndOfLine);
        QTest::keySequence(b.editor(), QKeySequence::Paste);
        QCOMPARE(b.model->text(), text + text);
        QCOMPARE(b.model->selectionStart(), 2 * text.size());
        QCOMPARE(b.box->displayText(), expectedDisplay(text + text, mode == TextBox::Mode::MultiLine));
        // One undo step takes the paste back whole.
        b.box->undo();
        QCOMPARE(b.model->text(), text);
        b.box->redo();
        QCOMPARE(b.model->text(), text + text);
    }
}

void TstTextBox::cutAndPartialCopyAreExact()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        const QString text = QStringLiteral("x\r\ny\tz\nw");
        Box b(text, mode);
        // From inside the first line to the middle of the last.
        const bool multi = mode == TextBox::Mode::MultiLine;
        b.selectDisplay(1, multi ? 7 : 8); // up to the start of "w", or its end
        QTest::keySequence(b.editor(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("\r\ny\tz\n") + (multi ? QString() : QStringLiteral("w")));
        QTest::keySequence(b.editor(), QKeySequence::Cut);
        QCOMPARE(b.model->text(), multi ? QStringLiteral("xw") : QStringLiteral("x"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("\r\ny\tz\n") + (multi ? QString() : QStringLiteral("w")));
        // Pasted over a selection, replacing it.
        b.selectDisplay(0, 1);
        QTest::keySequence(b.editor(), QKeySequence::Paste);
        QCOMPARE(b.model->text(), QStringLiteral("\r\ny\tz\nw"));
    }
}

void TstTextBox::dropInsertsExactly()
{
    Box b(QStringLiteral("[]"), TextBox::Mode::MultiLine);
    QPlainTextEdit *edit = b.box->plainTextEdit();
    QMimeData data;
    data.setText(QStringLiteral("1\n2\r3\r\n4\t"));
    const QPoint at = edit->cursorRect(edit->textCursor()).center() + QPoint(edit->fontMetrics().averageCharWidth(), 0);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(edit->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(edit->viewport(), &drop);
    QCOMPARE(b.model->text(), QStringLiteral("[1\n2\r3\r\n4\t]"));

    // A locked box takes nothing.
    b.model->setReadOnly(true);
    QTest::keySequence(b.editor(), QKeySequence::Paste);
    QCOMPARE(b.model->text(), QStringLiteral("[1\n2\r3\r\n4\t]"));
}

void TstTextBox::inputMethodsAreToldTheExactText()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        Box b(QStringLiteral("p\r\na\tb\x01c\nq"), mode);
        const bool multi = mode == TextBox::Mode::MultiLine;
        b.caretTo(multi ? 4 : 5); // after the tab
        const QString line = multi ? QStringLiteral("a\tb\x01c\n") : QStringLiteral("p\r\na\tb\x01c\nq");
        QCOMPARE(b.editor()->inputMethodQuery(Qt::ImSurroundingText).toString(), line);
        QCOMPARE(b.editor()->inputMethodQuery(Qt::ImCursorPosition).toInt(), multi ? 2 : 5);
        b.selectDisplay(multi ? 3 : 4, multi ? 5 : 6);
        QCOMPARE(b.editor()->inputMethodQuery(Qt::ImCurrentSelection).toString(), QStringLiteral("\tb"));

        // What a screen reader is told: the model's characters and offsets.
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b.editor());
        QVERIFY(a && a->textInterface());
        QAccessibleTextInterface *t = a->textInterface();
        QCOMPARE(a->text(QAccessible::Value), b.model->text());
        QCOMPARE(t->characterCount(), int(b.model->text().size()));
        QCOMPARE(t->text(0, t->characterCount()), b.model->text());
        int from = 0;
        int to = 0;
        t->selection(0, &from, &to);
        QCOMPARE(from, 4);
        QCOMPARE(to, 6);
        t->setCursorPosition(8); // after the LF: the start of "q"
        QCOMPARE(t->cursorPosition(), 8);
        QCOMPARE(b.box->selectedExactText(), QString());
    }
}

void TstTextBox::pastedControlsAndSymbolsAreTakenLiterally()
{
    Box b(QString(), TextBox::Mode::MultiLine);
    const QString clip = QStringLiteral("a\tb") + sym(13) + sym(10) + QStringLiteral("c");
    b.paste(clip);
    QCOMPARE(b.model->text(), clip); // a tab, then the two symbol characters
    QCOMPARE(b.box->displayText(), QStringLiteral("a") + sym(9) + QStringLiteral("b") + sym(13) + sym(10) + QStringLiteral("c"));
    QTest::keyClick(b.editor(), Qt::Key_Tab);
    QCOMPARE(b.model->text(), clip + QStringLiteral("\t"));
    QVERIFY(b.box->displayText().endsWith(sym(9)));
}

void TstTextBox::deletingBetweenCrAndLfJoinsThemIntoABreak()
{
    Box b(QStringLiteral("a\rX\nb"), TextBox::Mode::MultiLine);
    QCOMPARE(b.box->displayText(), QStringLiteral("a") + sym(13) + QStringLiteral("X") + sym(10) + QStringLiteral("\nb"));
    b.caretTo(3);
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QCOMPARE(b.model->text(), QStringLiteral("a\r\nb"));
    QCOMPARE(b.box->displayText(), QStringLiteral("a\nb"));
    QCOMPARE(b.box->displayToModel(2), 3);
    // The joined break behaves like any other: typing after it lands after LF.
    b.caretTo(2);
    QTest::keyClicks(b.editor(), QStringLiteral("Z"));
    QCOMPARE(b.model->text(), QStringLiteral("a\r\nZb"));
}

void TstTextBox::backspaceOverBreakRemovesCrAndLf()
{
    Box b(QStringLiteral("a\r\nb\nc"), TextBox::Mode::MultiLine);
    b.caretTo(2);
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QCOMPARE(b.model->text(), QStringLiteral("ab\nc"));
    b.caretTo(1);
    QTest::keyClick(b.editor(), Qt::Key_Delete);
    QCOMPARE(b.model->text(), QStringLiteral("a\nc"));
}

void TstTextBox::undoRestoresControlCharactersExactly()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        const QString original = QStringLiteral("a\t\r\n") + QChar(u'\0') + QStringLiteral("b");
        Box b(original, mode);
        b.box->setFocus();
        b.selectDisplay(0, b.box->modelToDisplay(original.size()));
        QTest::keyClick(b.editor(), Qt::Key_Delete);
        QCOMPARE(b.model->text(), QString());
        QTest::keyClicks(b.editor(), QStringLiteral("xyz"));
        QCOMPARE(b.model->text(), QStringLiteral("xyz"));

        QTest::keySequence(b.editor(), QKeySequence::Undo);
        QCOMPARE(b.model->text(), QString());
        QTest::keySequence(b.editor(), QKeySequence::Undo);
        QCOMPARE(b.model->text(), original);
        QCOMPARE(b.box->displayText(), b.box->plainTextEdit()
                                           ? QStringLiteral("a") + sym(9) + QStringLiteral("\n") + sym(0) + QStringLiteral("b")
                                           : QStringLiteral("a") + sym(9) + sym(13) + sym(10) + sym(0) + QStringLiteral("b"));
        b.box->redo();
        QCOMPARE(b.model->text(), QString());
        b.box->redo();
        QCOMPARE(b.model->text(), QStringLiteral("xyz"));
    }
}

void TstTextBox::programmaticChangesAreNotUserEdits()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        Box b(QString(), mode);
        QSignalSpy edited(b.box.get(), &TextBox::userEdited);
        QSignalSpy modelEdits(b.model.get(), &TextModel::textEdited);
        b.model->setText(QStringLiteral("one\r\ntwo\rthree"));
        b.model->append(QStringLiteral("\nfour\t"));
        b.model->setSelection(2, 3);
        b.box->syncSelectionNow();
        QCOMPARE(edited.count(), 0);
        QCOMPARE(modelEdits.count(), 0);
        QCOMPARE(b.model->text(), QStringLiteral("one\r\ntwo\rthree\nfour\t"));

        QTest::keyClicks(b.editor(), QStringLiteral("q"));
        QCOMPARE(edited.count(), 1);
    }
}

void TstTextBox::appendIsIncrementalAndJoinsCrWithLf()
{
    Box b(QStringLiteral("head\r\nline"), TextBox::Mode::MultiLine);
    QTextDocument *doc = b.box->plainTextEdit()->document();
    QSignalSpy changes(doc, &QTextDocument::contentsChange);

    b.model->append(QStringLiteral("\r"));
    QCOMPARE(b.box->displayText(), QStringLiteral("head\nline") + sym(13));
    b.model->append(QStringLiteral("\nnext\n"));
    QCOMPARE(b.model->text(), QStringLiteral("head\r\nline\r\nnext\n"));
    QCOMPARE(b.box->displayText(), QStringLiteral("head\nline\nnext") + sym(10) + QStringLiteral("\n"));
    QCOMPARE(doc->blockCount(), 4);
    QCOMPARE(b.box->displayToModel(10), 12); // start of "next"

    // Only the tail was touched, never the whole document.
    QVERIFY(!changes.isEmpty());
    for (const auto &c : changes)
        QVERIFY2(c.at(0).toInt() >= 9, "an append re-set text it did not add");
}

// An answer appends its header lines one by one: the screen follows at its
// own rate, in pieces, and ends with exactly the model's text.
void TstTextBox::appendsReachTheScreenAtItsRate()
{
    Box b(QString(), TextBox::Mode::MultiLine);
    QTextDocument *doc = b.box->plainTextEdit()->document();
    QSignalSpy changes(doc, &QTextDocument::contentsChange);
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        const QString line = (i ? QStringLiteral("\r\n") : QString()) + QStringLiteral("X-Flut-%1: wert").arg(i);
        b.model->append(line);
        expected += line;
    }
    QCOMPARE(changes.count(), 0); // nothing yet: the frame has not come
    QVERIFY(b.box->isDisplayBehind());
    QTRY_VERIFY(!b.box->isDisplayBehind());
    QVERIFY2(changes.count() < 40, QByteArray::number(changes.count()));
    QCOMPARE(b.model->text(), expected);
    QCOMPARE(b.box->displayText(), expectedDisplay(expected, true));
    QCOMPARE(doc->blockCount(), 20000);

    // A field a known header replaces 20,000 times shows the last value.
    Box field(QString(), TextBox::Mode::SingleLine);
    QSignalSpy shown(field.box->lineEdit(), &QLineEdit::textChanged);
    for (int i = 0; i < 20000; ++i)
        field.model->setText(QStringLiteral("nginx/%1").arg(i));
    QTRY_VERIFY(!field.box->isDisplayBehind());
    QVERIFY2(shown.count() < 5, QByteArray::number(shown.count()));
    QCOMPARE(field.box->lineEdit()->text(), QStringLiteral("nginx/19999"));

    // A key pressed while the screen is behind acts on the whole text.
    Box typed(QStringLiteral("ab"), TextBox::Mode::MultiLine);
    typed.caretTo(2);
    typed.model->append(QStringLiteral("\ncd"));
    QTest::keyClick(typed.box->innerEditor(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(typed.box->innerEditor(), QStringLiteral("!"));
    QCOMPARE(typed.model->text(), QStringLiteral("ab\ncd!"));
}

void TstTextBox::appendKeepsTheModelSelection()
{
    Box b(QStringLiteral("abc"), TextBox::Mode::MultiLine);
    b.caretTo(3);
    QCOMPARE(b.model->selectionStart(), 3);
    b.model->append(QStringLiteral("def"));
    QCOMPARE(b.model->selectionStart(), 3);
    QCOMPARE(b.box->plainTextEdit()->textCursor().position(), 3);
}

void TstTextBox::modelSelectionIsShownLaterOrOnDemand()
{
    Box b(QStringLiteral("l1\r\nl2\r\nline3\r\n"), TextBox::Mode::MultiLine);
    QPlainTextEdit *edit = b.box->plainTextEdit();
    // A run moves the selection per statement; the screen follows later.
    for (int i = 0; i < 1000; ++i)
        b.model->setSelection(i % 4, 2);
    b.model->setSelection(8, 5); // "line3"
    QTRY_COMPARE(edit->textCursor().selectedText(), QStringLiteral("line3"));
    QVERIFY(!b.model->takeSelectionDirty());

    b.model->setSelection(0, 6); // "l1\r\nl2" spans a break
    b.box->syncSelectionNow();
    QCOMPARE(edit->textCursor().selectionStart(), 0);
    QCOMPARE(edit->textCursor().selectionEnd(), 5);
    QCOMPARE(b.box->modelSelection(), std::make_pair(qsizetype(0), qsizetype(6)));
}

void TstTextBox::userSelectionReachesModelWithoutPending()
{
    for (auto mode : {TextBox::Mode::MultiLine, TextBox::Mode::SingleLine}) {
        Box b(QStringLiteral("ab\r\ncd"), mode);
        b.selectDisplay(1, 4);
        const qsizetype expectedLength = mode == TextBox::Mode::MultiLine ? 4 : 3;
        QCOMPARE(b.box->modelSelection(), std::make_pair(qsizetype(1), expectedLength));
        QVERIFY(!b.model->takeSelectionDirty());

        // A selection the program set but the screen has not shown yet gives
        // way to the user's later move; it must not jump back afterwards.
        b.model->setSelection(5, 1);
        b.selectDisplay(0, 1);
        QTest::qWait(120);
        QCOMPARE(b.model->selectionStart(), 0);
        QCOMPARE(b.model->selectionLength(), 1);
        if (auto *p = b.box->plainTextEdit())
            QCOMPARE(p->textCursor().selectionStart(), 0);
        else
            QCOMPARE(b.box->lineEdit()->selectionStart(), 0);
    }
}

void TstTextBox::readOnlyBlocksEditsButNotCopy_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("byModel");
    QTest::newRow("multi-model") << int(TextBox::Mode::MultiLine) << true;
    QTest::newRow("multi-user") << int(TextBox::Mode::MultiLine) << false;
    QTest::newRow("single-model") << int(TextBox::Mode::SingleLine) << true;
    QTest::newRow("single-user") << int(TextBox::Mode::SingleLine) << false;
}

void TstTextBox::readOnlyBlocksEditsButNotCopy()
{
    QFETCH(int, mode);
    QFETCH(bool, byModel);
    Box b(QStringLiteral("locked\ttext"), TextBox::Mode(mode));
    QSignalSpy edited(b.box.get(), &TextBox::userEdited);
    if (byModel)
        b.model->setReadOnly(true);
    else
        b.box->setUserReadOnly(true);
    QVERIFY(!b.box->acceptsUserEdits());

    b.caretTo(2);
    QTest::keyClicks(b.editor(), QStringLiteral("zz"));
    QTest::keyClick(b.editor(), Qt::Key_Backspace);
    QTest::keyClick(b.editor(), Qt::Key_Return);
    b.paste(QStringLiteral("pasted"));
    QTest::keySequence(b.editor(), QKeySequence::Paste);
    QCOMPARE(b.model->text(), QStringLiteral("locked\ttext"));
    QCOMPARE(b.box->displayText(), QStringLiteral("locked") + sym(9) + QStringLiteral("text"));
    QCOMPARE(edited.count(), 0);

    QGuiApplication::clipboard()->clear();
    b.selectDisplay(0, 6);
    QTest::keySequence(b.editor(), QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("locked"));

    // The program can still write into a locked box.
    b.model->setText(QStringLiteral("new"));
    QCOMPARE(b.box->displayText(), QStringLiteral("new"));

    if (byModel)
        b.model->setReadOnly(false);
    else
        b.box->setUserReadOnly(false);
    b.caretTo(3);
    QTest::keyClicks(b.editor(), QStringLiteral("!"));
    QCOMPARE(b.model->text(), QStringLiteral("new!"));
}

void TstTextBox::singleLineHoldsLongTexts()
{
    const QString longText(40000, u'x');
    Box b(longText, TextBox::Mode::SingleLine);
    QCOMPARE(b.box->displayText().size(), 40000);
    b.caretTo(40000);
    QTest::keyClicks(b.editor(), QStringLiteral("y"));
    QCOMPARE(b.model->text(), longText + QStringLiteral("y"));
}

void TstTextBox::bigScriptIsShownWhole()
{
    QString script;
    for (int i = 0; i < 10000; ++i)
        script += QStringLiteral("exec Main.Text.Plus(%1 2)\r\n").arg(i);
    Box b(QString(), TextBox::Mode::MultiLine);
    b.model->setText(script);
    QTextDocument *doc = b.box->plainTextEdit()->document();
    QCOMPARE(doc->blockCount(), 10001);
    QCOMPARE(doc->findBlockByNumber(9999).text(), QStringLiteral("exec Main.Text.Plus(9999 2)"));
    const qsizetype lastLine = script.lastIndexOf(QStringLiteral("exec"));
    QCOMPARE(b.box->modelToDisplay(lastLine), int(lastLine - 9999));
    QCOMPARE(b.box->displayToModel(int(lastLine - 9999)), lastLine);
}

// A long text reaches the editor in pieces of 64 Ki characters; what stands
// where one piece would end (a CR LF pair, a surrogate pair, a lone CR) must
// show as if the text had come whole.
void TstTextBox::longTextIsShownExactlyAcrossPieces()
{
    QString text(4 * 65536, u'a');
    text[65535] = u'\r'; // a pair across the first edge, which moves on by one
    text[65536] = u'\n';
    text[131072] = QChar(char16_t(0xD83D)); // U+1F600 across the second
    text[131073] = QChar(char16_t(0xDE00));
    text[196609] = u'\r'; // a lone CR before the third
    text[196611] = u'\n'; // and a lone LF after it
    Box b(QString(), TextBox::Mode::MultiLine);
    b.model->setText(text);
    QCOMPARE(b.box->displayText(), expectedDisplay(text, true));
    QCOMPARE(b.box->plainTextEdit()->document()->blockCount(), 3);
    QCOMPARE(b.box->displayToModel(b.box->modelToDisplay(65536)), 65535);
    QCOMPARE(b.box->displayToModel(b.box->modelToDisplay(196612)), 196612);
}

// Lines are coloured when they are painted: those scrolled into view get
// their colours, and a changed line gets the colours of its new text.
void TstTextBox::scriptColoursFollowTheScreenAndEdits()
{
    QString script;
    for (int i = 0; i < 3000; ++i)
        script += QStringLiteral("EXEC Skript.User.I(%1)\r\n").arg(i);
    Box b(QString(), TextBox::Mode::MultiLine);
    b.box->setScriptHighlighting(true);
    QVERIFY(QTest::qWaitForWindowExposed(b.box.get()));
    b.model->setText(script);
    QPlainTextEdit *edit = b.box->plainTextEdit();
    const auto colourAt = [edit](int block, int column) {
        edit->viewport()->repaint();
        const QTextBlock tb = edit->document()->findBlockByNumber(block);
        for (const QTextLayout::FormatRange &r : tb.layout()->formats())
            if (column >= r.start && column < r.start + r.length)
                return r.format.foreground().color();
        return QColor();
    };
    const QColor keyword(0x00, 0x33, 0x99);
    QCOMPARE(colourAt(0, 0), keyword);
    b.box->ensureModelRangeVisible(script.indexOf(QStringLiteral("I(2990)")), 1);
    QCOMPARE(colourAt(2990, 0), keyword);
    b.box->replaceExactRange(script.indexOf(QStringLiteral("EXEC Skript.User.I(2990)")), 0, QStringLiteral("'"));
    QCOMPARE(colourAt(2990, 0), QColor(0x60, 0x70, 0x60)); // now a comment
    QCOMPARE(colourAt(2991, 0), keyword);
}

void TstTextBox::readoutRequestedOnTextChangeAndClicks()
{
    Box b(QStringLiteral("answer"), TextBox::Mode::MultiLine);
    b.box->setUserReadOnly(true);
    QSignalSpy readout(b.box.get(), &TextBox::selectionReadoutRequested);
    b.model->append(QStringLiteral(" more"));
    QTRY_VERIFY(readout.count() >= 1); // with the screen, at its rate
    readout.clear();
    QWidget *viewport = b.box->plainTextEdit()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(readout.count() >= 2); // press and release at least
    readout.clear();
    QTest::keyClick(b.editor(), Qt::Key_Right);
    QVERIFY(readout.count() >= 1);
}

// ---- a text longer than the window -----------------------------------------

namespace {

QString numberedLines(int count)
{
    QString t;
    for (int i = 1; i <= count; ++i)
        t += QStringLiteral("Zeile %1\r\n").arg(i);
    return t;
}

// The window is a run of whole screen lines of the model: the document
// shows exactly them, and its first block is the line the box says.
void checkWindow(const Box &b)
{
    const QString &t = b.model->scriptText();
    const QString shown = b.box->displayText();
    const qsizetype start = b.box->shownModelStart();
    QVERIFY(start == 0 || t[start - 1] == u'\n');
    const QString expected = expectedDisplay(t.mid(start), true);
    QVERIFY2(expected.startsWith(shown), qPrintable(shown.left(40)));
    QVERIFY(expected.size() == shown.size() || expected[shown.size()] == u'\n'
            || expected.mid(shown.size(), 2) == sym(10) + QStringLiteral("\n"));
}

qsizetype caretLine(const Box &b)
{
    const auto [start, length] = b.box->modelSelection();
    return b.box->modelLineOf(start + length);
}

} // namespace

void TstTextBox::windowFollowsTheCaretAcrossItsEdge()
{
    const QString text = numberedLines(1000);
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setLineNumbersShown(true);
    b.box->setMaxShownLinesForTests(100);
    QVERIFY(b.box->isWindowed());
    QCOMPARE(b.box->plainTextEdit()->document()->blockCount(), 100);
    QCOMPARE(b.box->firstShownLine(), 0);
    QWidget *edit = b.editor();
    for (int i = 0; i < 150; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(caretLine(b), 151);
    QVERIFY(b.box->firstShownLine() > 0);
    checkWindow(b);
    // The gutter numbers the lines of the model, not of the document.
    QPlainTextEdit *p = b.box->plainTextEdit();
    const int block = p->textCursor().blockNumber();
    QCOMPARE(b.box->lineOfShownBlock(block, nullptr), 151);
    QCOMPARE(p->document()->findBlockByNumber(block).text(), QStringLiteral("Zeile 151"));
    QCOMPARE(b.box->lineOfShownBlock(0, nullptr), b.box->firstShownLine() + 1);

    qsizetype before = caretLine(b);
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(edit, Qt::Key_PageDown);
        QVERIFY(caretLine(b) > before || caretLine(b) == 1001);
        before = caretLine(b);
    }
    checkWindow(b);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(b.box->modelSelection(), std::make_pair(qsizetype(0), qsizetype(0)));
    QCOMPARE(b.box->firstShownLine(), 0);
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(b.box->modelSelection(), std::make_pair(text.size(), qsizetype(0)));
    QCOMPARE(p->textCursor().position(), p->document()->characterCount() - 1);
    checkWindow(b);
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(caretLine(b), 1000);
    QCOMPARE(b.model->text(), text); // moving never edits
    QVERIFY(!b.box->isUndoAvailable());
}

void TstTextBox::selectionBeyondTheWindowIsExact()
{
    // Every control character, lone CR and LF among long runs of lines.
    QString text = numberedLines(600);
    text.insert(text.indexOf(QStringLiteral("Zeile 300")), allBytesText());
    text += QStringLiteral("Ende\n\r");
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setMaxShownLinesForTests(100);
    QWidget *edit = b.editor();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(b.box->selectedExactText(), text);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);

    // From line 50 to the end, then back to the start: the anchor stays.
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 49; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    const qsizetype at = b.box->modelLineStart(50);
    QCOMPARE(b.box->modelSelection().first, at);
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(b.box->selectedExactText(), text.mid(at));
    QCOMPARE(b.box->modelSelection(), std::make_pair(at, text.size() - at));
    QTest::keyClick(edit, Qt::Key_Up, Qt::ShiftModifier); // the window moved; the anchor did not
    QCOMPARE(b.box->modelSelection().first, at);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(b.box->selectedExactText(), text.left(at));
    checkWindow(b);
}

// A selection dragged with the mouse past the bottom of the view scrolls
// on beyond the window; its start stays where the press was.
void TstTextBox::draggedSelectionReachesBeyondTheWindow()
{
    const QString text = numberedLines(1000);
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setMaxShownLinesForTests(40);
    QVERIFY(QTest::qWaitForWindowExposed(b.box.get()));
    QPlainTextEdit *p = b.box->plainTextEdit();
    QWidget *view = p->viewport();
    const QPoint start = p->cursorRect(QTextCursor(p->document()->findBlockByNumber(2))).center();
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    const QPoint below(start.x() + 20, view->height() + 40);
    QCursor::setPos(view->mapToGlobal(below)); // where the editor's scrolling looks
    QMouseEvent move(QEvent::MouseMove, below, view->mapToGlobal(below), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTRY_VERIFY_WITH_TIMEOUT(b.box->modelLineOf(b.box->modelSelection().first + b.box->modelSelection().second) > 60, 5000);
    QTest::mouseRelease(view, Qt::LeftButton, {}, below);
    const auto [from, length] = b.box->modelSelection();
    QCOMPARE(from, text.indexOf(QStringLiteral("Zeile 3\r")));
    QVERIFY(b.box->firstShownLine() > 2);
    QCOMPARE(b.box->selectedExactText(), text.mid(from, length));
    QTest::keyClick(b.editor(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text.mid(from, length));
}

void TstTextBox::editsBeyondTheWindowAreExactAndUndoable()
{
    const QString text = numberedLines(1000);
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setMaxShownLinesForTests(100);
    QSignalSpy edited(b.box.get(), &TextBox::userEdited);
    QWidget *edit = b.editor();
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    const qsizetype at = b.box->modelLineStart(11);
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_X);
    QCOMPARE(b.model->text(), text.left(at) + u'x');
    QCOMPARE(edited.count(), 1);
    QCOMPARE(b.box->modelSelection(), std::make_pair(at + 1, qsizetype(0)));
    QVERIFY(!b.box->isWindowed()); // eleven lines are shown whole again
    QCOMPARE(b.box->displayText(), expectedDisplay(b.model->text(), true));
    b.box->undo();
    QCOMPARE(b.model->text(), text);
    QVERIFY(b.box->isWindowed());
    checkWindow(b);
    b.box->redo();
    QCOMPARE(b.model->text(), text.left(at) + u'x');
    b.box->undo();

    // A replacement far from the window, then taken back from elsewhere:
    // the window goes where the text changed.
    const qsizetype far = text.indexOf(QStringLiteral("Zeile 900"));
    b.box->replaceExactRange(far, 9, QStringLiteral("neu\r\nneu"));
    QCOMPARE(b.model->text(), QString(text).replace(far, 9, QStringLiteral("neu\r\nneu")));
    QCOMPARE(b.box->selectedExactText(), QStringLiteral("neu\r\nneu"));
    QCOMPARE(b.box->modelLineCount(), 1002);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(b.box->firstShownLine(), 0);
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(b.model->text(), text);
    QVERIFY(b.box->firstShownLine() > 800);
    checkWindow(b);

    // Cut and a paste over a selection that reaches beyond the window.
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(b.model->text(), QString());
    b.paste(text);
    QCOMPARE(b.model->text(), text);
    QVERIFY(b.box->isWindowed());
    checkWindow(b);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    b.paste(QStringLiteral("a\tb"));
    QCOMPARE(b.model->text(), QStringLiteral("a\tb"));
    b.box->undo();
    QCOMPARE(b.model->text(), text);
    // The context menu's Cut is the editor's own slot.
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    b.box->plainTextEdit()->cut();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(b.model->text(), QString());
    b.box->undo();
    QCOMPARE(b.model->text(), text);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("\u00e4\n"));
    QApplication::sendEvent(edit, &composed);
    QCOMPARE(b.model->text(), QStringLiteral("\u00e4\r\n"));
    b.box->undo();
    QCOMPARE(b.model->text(), text);
}

void TstTextBox::programSelectionAndScrollingMoveTheWindow()
{
    const QString text = numberedLines(1000);
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setLineNumbersShown(true);
    b.box->setMaxShownLinesForTests(100);
    // What the find bar and a run do: select far away, show it now.
    const qsizetype match = text.indexOf(QStringLiteral("Zeile 777"));
    b.model->setSelection(match, 9);
    b.box->syncSelectionNow();
    QCOMPARE(b.box->selectedExactText(), QStringLiteral("Zeile 777"));
    QPlainTextEdit *p = b.box->plainTextEdit();
    QCOMPARE(p->textCursor().selectedText(), QStringLiteral("Zeile 777"));
    QCOMPARE(b.box->lineOfShownBlock(p->textCursor().blockNumber(), nullptr), 777);
    checkWindow(b);
    b.box->setMarkedRange(text.indexOf(QStringLiteral("Zeile 20\r")), 8);
    b.box->ensureModelRangeVisible(text.indexOf(QStringLiteral("Zeile 20\r")), 8);
    QCOMPARE(b.box->firstShownLine(), 0);
    QCOMPARE(b.box->markedLine(), 20);

    // The box's own bar spans the whole text; moving it moves the window
    // and leaves the caret where it was, until a key is pressed.
    QScrollBar *bar = nullptr;
    for (QScrollBar *s : b.box->findChildren<QScrollBar *>())
        if (s->parentWidget() == b.box.get())
            bar = s;
    QVERIFY(bar && bar->isVisible());
    QVERIFY(!p->verticalScrollBar()->isVisible());
    QCOMPARE(bar->maximum() + bar->pageStep(), 1001);
    const auto selection = b.box->modelSelection();
    bar->setValue(500);
    QVERIFY(b.box->firstShownLine() <= 500 && b.box->firstShownLine() + 100 > 500);
    QCOMPARE(b.box->lineOfShownBlock(p->verticalScrollBar()->value(), nullptr), 501);
    QCOMPARE(b.box->modelSelection(), selection);
    // The wheel scrolls on past the window's edge.
    const qsizetype top = b.box->lineOfShownBlock(p->verticalScrollBar()->value(), nullptr);
    for (int i = 0; i < 40; ++i) {
        QWheelEvent wheel(QPointF(50, 50), p->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(p->viewport(), &wheel);
        QCoreApplication::processEvents();
    }
    const qsizetype after = b.box->lineOfShownBlock(p->verticalScrollBar()->value(), nullptr);
    QVERIFY2(after >= top + 100, qPrintable(QString::number(after)));
    QCOMPARE(bar->value() + 1, after);
    checkWindow(b);
    QCOMPARE(b.box->modelSelection(), selection);
    QTest::keyClick(b.editor(), Qt::Key_Right);
    QCOMPARE(b.box->modelSelection(), std::make_pair(match + 9, qsizetype(0)));
    QCOMPARE(b.box->lineOfShownBlock(p->textCursor().blockNumber(), nullptr), 777);
    QCOMPARE(b.model->text(), text);
}

void TstTextBox::appendsToAWindowedBoxKeepItsSize()
{
    Box b(QString(), TextBox::Mode::MultiLine);
    b.box->setUserReadOnly(true);
    b.box->setMaxShownLinesForTests(100);
    QString all;
    for (int i = 0; i < 30; ++i) {
        const QString part = numberedLines(40).replace(QStringLiteral("Zeile"), QString::number(i));
        all += part;
        b.model->append(part);
        b.box->flushDisplay();
        QVERIFY(b.box->plainTextEdit()->document()->blockCount() <= 125);
    }
    QCOMPARE(b.model->text(), all);
    QCOMPARE(b.box->modelLineCount(), 1201);
    checkWindow(b);
    // What arrives while the view is at the end leaves the view where it
    // is, as in a box of few lines; the window keeps holding it.
    QTest::keyClick(b.editor(), Qt::Key_End, Qt::ControlModifier);
    QScrollBar *v = b.box->plainTextEdit()->verticalScrollBar();
    const qsizetype viewed = b.box->lineOfShownBlock(v->value(), nullptr);
    for (int i = 0; i < 10; ++i) {
        const QString part = numberedLines(40).replace(QStringLiteral("Zeile"), QStringLiteral("neu"));
        all += part;
        b.model->append(part);
        b.box->flushDisplay();
        QVERIFY(b.box->plainTextEdit()->document()->blockCount() <= 125);
        QCOMPARE(b.box->lineOfShownBlock(v->value(), nullptr), viewed);
    }
    checkWindow(b);
    QTest::keyClick(b.editor(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(b.box->lineOfShownBlock(b.box->plainTextEdit()->textCursor().blockNumber(), nullptr), 1601);
    QTest::keyClick(b.editor(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(b.box->selectedExactText(), all);
}

// Long lines: the window keeps to its characters with fewer lines, yet it
// always holds the lines around the view whole, a line longer than the
// bound by itself included, and a text of few lines is shown whole.
void TstTextBox::longLinesBoundTheWindowByCharacters()
{
    constexpr qsizetype kChars = 6000;
    constexpr qsizetype kMinLines = 40;
    QString wide;
    for (int i = 1; i <= 150; ++i)
        wide += QStringLiteral("Breit %1 ").arg(i) + QString(100, u'w') + QStringLiteral("\r\n");
    const QString longLine = QStringLiteral("Lang ") + QString(8000, u'x');
    QString text = numberedLines(200);
    const qsizetype longAt = text.indexOf(QStringLiteral("Zeile 100\r")) + wide.size();
    text.insert(longAt - wide.size(), wide + longLine + QStringLiteral("\r\n"));
    Box b(text, TextBox::Mode::MultiLine);
    b.box->setMaxShownLinesForTests(100, kChars, kMinLines);
    QVERIFY(b.box->isWindowed());
    QPlainTextEdit *p = b.box->plainTextEdit();
    QCOMPARE(p->document()->blockCount(), 100); // short lines: the lines bound it
    const auto shownChars = [&] {
        return b.box->displayToModel(int(b.box->displayText().size())) - b.box->shownModelStart();
    };
    QWidget *edit = b.editor();
    const qsizetype lines = b.box->modelLineCount();
    qsizetype fewest = lines;
    bool sawLongLine = false;
    for (qsizetype line = 2; line <= lines; ++line) {
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(caretLine(b), line);
        const int blocks = p->document()->blockCount();
        QVERIFY2(blocks >= kMinLines && blocks <= 100, qPrintable(QString::number(blocks)));
        QVERIFY(shownChars() <= kChars || blocks == kMinLines);
        fewest = std::min<qsizetype>(fewest, blocks);
        if (b.box->modelSelection().first == longAt) {
            QCOMPARE(p->textCursor().block().text(), longLine); // held whole
            QCOMPARE(blocks, kMinLines);
            sawLongLine = true;
        }
        checkWindow(b);
    }
    QVERIFY(sawLongLine);
    QVERIFY(fewest < 100);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(b.box->selectedExactText(), text);

    // Typing inside the long line and undoing it.
    b.model->setSelection(longAt + 4000, 0);
    b.box->syncSelectionNow();
    QTest::keyClick(edit, Qt::Key_Y);
    QCOMPARE(b.model->text(), QString(text).insert(longAt + 4000, u'y'));
    QCOMPARE(p->textCursor().block().text(), QString(longLine).insert(4000, u'y'));
    b.box->undo();
    QCOMPARE(b.model->text(), text);
    checkWindow(b);

    // Long lines arriving at the end: the window is cut back to its
    // characters as it is to its lines.
    Box a(QString(), TextBox::Mode::MultiLine);
    a.box->setUserReadOnly(true);
    a.box->setMaxShownLinesForTests(100, kChars, 10);
    QString all;
    for (int i = 0; i < 40; ++i) {
        QString part;
        for (int k = 0; k < 5; ++k)
            part += QString::number(i) + QString(300, QChar(u'a' + k)) + QStringLiteral("\r\n");
        all += part;
        a.model->append(part);
        a.box->flushDisplay();
        QVERIFY(a.box->displayText().size() <= kChars + kChars / 4);
    }
    QVERIFY(a.box->isWindowed());
    checkWindow(a);
    QTest::keyClick(a.editor(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(a.box->selectedExactText(), all);

    // Few lines, however long, are shown whole.
    Box few(QString(), TextBox::Mode::MultiLine);
    few.box->setMaxShownLinesForTests(100, kChars, kMinLines);
    const QString fewLines = QString(kMinLines - 1, u'z').replace(QStringLiteral("z"), QString(1000, u'z') + QStringLiteral("\r\n"));
    few.model->setText(fewLines);
    few.box->flushDisplay();
    QVERIFY(!few.box->isWindowed());
    QCOMPARE(few.box->displayText(), expectedDisplay(fewLines, true));
}

// Keys and program selections in any order on a text many times the
// window: the model changes exactly as the keys say, and the window always
// shows whole lines of it at the right place.
void TstTextBox::randomKeysOnAWindowedText_data()
{
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<qsizetype>("chars"); // the window's characters at most
    for (unsigned seed = 1; seed <= 4; ++seed)
        QTest::addRow("%u", seed) << seed << varnok::limits::kMaxShownChars;
    // Bound by its characters: a window of fewer lines than the lines allow.
    for (unsigned seed = 5; seed <= 6; ++seed)
        QTest::addRow("%u, 80 characters", seed) << seed << qsizetype(80);
}

void TstTextBox::randomKeysOnAWindowedText()
{
    QFETCH(unsigned, seed);
    QFETCH(qsizetype, chars);
    std::mt19937 rng(seed);
    auto pick = [&](qsizetype n) { return qsizetype(rng() % std::uint32_t(n)); };
    const QString pieces[] = {QStringLiteral("ab"), QStringLiteral("\r\n"), QStringLiteral("\r\n"),
                              QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r"),
                              QStringLiteral("\t"), QString(QChar(u'\0'))};
    QString expected;
    while (expected.size() < 3000)
        expected += pieces[pick(std::size(pieces))];
    Box b(expected, TextBox::Mode::MultiLine);
    b.box->setMaxShownLinesForTests(40, chars, 8);
    b.box->setFocus();
    QWidget *edit = b.editor();
    const auto isPair = [&](qsizetype at) {
        return at >= 0 && at + 1 < expected.size() && expected[at] == u'\r' && expected[at + 1] == u'\n';
    };
    int windowedSteps = 0;
    for (int step = 0; step < 300; ++step) {
        const auto [from, length] = b.box->modelSelection();
        // A caret between a lone LF's symbol and its screen break: Delete
        // and Backspace both take the LF.
        const bool inLoneLf = length == 0
            && b.box->plainTextEdit()->textCursor().position() != b.box->modelToDisplay(from);
        switch (pick(13)) {
        case 0:
            for (qsizetype n = 1 + pick(30); n > 0; --n)
                QTest::keyClick(edit, Qt::Key_Down);
            break;
        case 1:
            for (qsizetype n = 1 + pick(30); n > 0; --n)
                QTest::keyClick(edit, Qt::Key_Up);
            break;
        case 2:
            QTest::keyClick(edit, pick(2) ? Qt::Key_PageDown : Qt::Key_PageUp,
                            pick(2) ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        case 3:
            QTest::keyClick(edit, pick(2) ? Qt::Key_Home : Qt::Key_End,
                            pick(2) ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
            break;
        case 4:
            for (qsizetype n = 1 + pick(60); n > 0; --n)
                QTest::keyClick(edit, Qt::Key_Down, Qt::ShiftModifier);
            break;
        case 5: {
            qsizetype m = pick(expected.size() + 1);
            if (isPair(m - 1))
                --m;
            const qsizetype len = pick(expected.size() - m + 1);
            b.model->setSelection(m, isPair(m + len - 1) ? len + 1 : len);
            b.box->syncSelectionNow();
            break;
        }
        case 6:
        case 7:
            QTest::keyClick(edit, Qt::Key_X);
            expected.replace(from, length, QStringLiteral("x"));
            break;
        case 8:
            QTest::keyClick(edit, Qt::Key_Return);
            expected.replace(from, length, QStringLiteral("\r\n"));
            break;
        case 9:
            QTest::keyClick(edit, Qt::Key_Backspace);
            if (length > 0)
                expected.remove(from, length);
            else if (inLoneLf)
                expected.remove(from - 1, 1);
            else if (from > 0)
                expected.remove(isPair(from - 2) ? from - 2 : from - 1, isPair(from - 2) ? 2 : 1);
            break;
        case 10:
            QTest::keyClick(edit, Qt::Key_Delete);
            if (length > 0)
                expected.remove(from, length);
            else if (inLoneLf)
                expected.remove(from - 1, 1);
            else if (from < expected.size())
                expected.remove(from, isPair(from) ? 2 : 1);
            break;
        case 11: {
            QString piece;
            while (piece.size() < 600)
                piece += pieces[pick(std::size(pieces))];
            piece += u'.'; // no CR that would join an LF after the caret
            b.paste(piece);
            expected.replace(from, length, piece);
            break;
        }
        default:
            if (b.box->isUndoAvailable()) {
                b.box->undo();
                expected = b.model->text(); // what undo gives is checked below
            }
            break;
        }
        QCOMPARE(b.model->text(), expected);
        windowedSteps += b.box->isWindowed() ? 1 : 0;
        QVERIFY(b.box->plainTextEdit()->document()->blockCount() <= 50);
        checkWindow(b);
        const auto [selFrom, selLength] = b.box->modelSelection();
        QCOMPARE(b.box->shownSelectionInModel(), std::make_pair(selFrom, selLength));
        QCOMPARE(b.box->selectedExactText(), expected.mid(selFrom, selLength));
        // Every model position the window holds maps to the screen and back.
        const qsizetype start = b.box->shownModelStart();
        const qsizetype end = b.box->displayToModel(int(b.box->displayText().size()));
        for (qsizetype p = start; p <= end; ++p) {
            if (!isPair(p - 1))
                QCOMPARE(b.box->displayToModel(b.box->modelToDisplay(p)), p);
        }
    }
    QVERIFY2(windowedSteps > 150, qPrintable(QString::number(windowedSteps)));
}

QTEST_MAIN(TstTextBox)
#include "tst_textbox.moc"
