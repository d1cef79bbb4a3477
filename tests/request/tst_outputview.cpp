// SPDX-License-Identifier: GPL-3.0-or-later
// The output box viewer: how it splits and shows the model's text, how the
// user selects and copies, and that huge texts and lines stay workable.
#include "common/conventions.h"
#include "common/textmodel.h"
#include "request/outputview.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

using namespace varnok;

namespace {

struct View {
    std::shared_ptr<TextModel> model = std::make_shared<TextModel>();
    OutputView view{model};
    View()
    {
        view.resize(400, 200);
        view.show();
    }
    explicit View(const QString &text) : View() { model->setText(text); }
};

} // namespace

class TestOutputView : public QObject
{
    Q_OBJECT
private slots:
    void linesEndAtCrLfAndAtLoneLf()
    {
        View v(QStringLiteral("eins\r\nzwei\rdrei\nvier\r\n\r\nende"));
        QCOMPARE(v.view.lineCount(), 5);
        QCOMPARE(v.view.shownLine(0), QStringLiteral("eins"));
        // A lone CR stays in its line; a lone LF shows and ends the line.
        QCOMPARE(v.view.shownLine(1), QString::fromUtf16(u"zwei\u240Ddrei\u240A"));
        QCOMPARE(v.view.shownLine(2), QStringLiteral("vier"));
        QCOMPARE(v.view.shownLine(3), QString());
        QCOMPARE(v.view.shownLine(4), QStringLiteral("ende"));
        QCOMPARE(v.view.longestLineLength(), 10);
        // The caret stands before the lone LF's symbol at most.
        QCOMPARE(v.view.caretLength(1), 9);
        QCOMPARE(v.view.lineLength(1), 10);
    }

    void lfOnlyAnswerReadsAsLines()
    {
        View v(QStringLiteral("a\nbb\n\nccc"));
        QCOMPARE(v.view.lineCount(), 4);
        QCOMPARE(v.view.shownLine(1), QString::fromUtf16(u"bb\u240A"));
        QCOMPARE(v.view.shownLine(2), QString::fromUtf16(u"\u240A"));
        v.view.setFocus();
        v.view.setSelection(1, 1); // before the first LF
        QTest::keyClick(&v.view, Qt::Key_Right);
        QCOMPARE(v.view.caretPosition(), 2); // start of the next line
        QTest::keyClick(&v.view, Qt::Key_Left);
        QCOMPARE(v.view.caretPosition(), 1);
        QTest::keyClick(&v.view, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(v.view.selectedText(), QStringLiteral("\n"));
        QTest::keyClick(&v.view, Qt::Key_End);
        QCOMPARE(v.view.caretPosition(), 4);
        // Clicking far right of a line puts the caret before its LF.
        QCOMPARE(v.view.positionAt(QPoint(390, v.view.pointOf(2).y() + 2)), 4);
    }

    void controlCharactersShowAsSymbols()
    {
        QString t;
        t += QChar(0);
        t += QChar(9);
        t += QChar(0x1B);
        t += QChar(0x7F);
        t += QChar(0xE4);
        View v(t);
        QCOMPARE(v.view.shownLine(0), QString::fromUtf16(u"\u2400\u2409\u241B\u2421\u00E4"));
        // The model keeps the characters themselves.
        QCOMPARE(v.model->text(), t);
    }

    void appendExtendsTheIndex()
    {
        View v;
        v.model->append(u"ab\r");
        QCOMPARE(v.view.lineCount(), 1);
        QCOMPARE(v.view.shownLine(0), QString::fromUtf16(u"ab\u240D"));
        // The LF arriving later makes a line break with the CR before it.
        v.model->append(u"\ncd\r\n");
        QCOMPARE(v.view.lineCount(), 3);
        QCOMPARE(v.view.shownLine(0), QStringLiteral("ab"));
        QCOMPARE(v.view.shownLine(1), QStringLiteral("cd"));
        v.model->append(u"\nx");
        QCOMPARE(v.view.lineCount(), 4);
        QCOMPARE(v.view.shownLine(2), QString::fromUtf16(u"\u240A"));
        QCOMPARE(v.view.shownLine(3), QStringLiteral("x"));
        // Same lines as when the text arrives in one piece.
        View whole(v.model->text());
        QCOMPARE(whole.view.lineCount(), v.view.lineCount());
        QCOMPARE(whole.view.longestLineLength(), v.view.longestLineLength());
        for (qsizetype i = 0; i < whole.view.lineCount(); ++i)
            QCOMPARE(whole.view.shownLine(i), v.view.shownLine(i));
    }

    void appendInEveryPieceGivesTheSameLines()
    {
        const QString text = QStringLiteral("a\r\n\rb\n\r\r\nc\n\nd\r");
        View whole(text);
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            View v;
            v.model->append(QStringView(text).first(cut));
            v.model->append(QStringView(text).sliced(cut));
            QCOMPARE(v.view.lineCount(), whole.view.lineCount());
            QCOMPARE(v.view.longestLineLength(), whole.view.longestLineLength());
            for (qsizetype i = 0; i < whole.view.lineCount(); ++i)
                QCOMPARE(v.view.shownLine(i), whole.view.shownLine(i));
        }
    }

    // An answer's bytes wait undecoded in the model while the viewer
    // indexes and shows them: the same lines, symbols and copies as for
    // the decoded text, wherever the pieces are cut (a CR LF across two,
    // LFs on both sides of the scanner's 64-byte steps).
    void undecodedPiecesGiveTheSameLines()
    {
        QByteArray bytes;
        for (int line = 0; line < 40; ++line) {
            bytes += QByteArray(line * 7 % 150, char('a' + line % 26));
            bytes += line % 5 == 0 ? "\x80\xE4\r" : line % 3 == 0 ? "\n" : "\r\n";
        }
        bytes += "\n\n\r";
        const QString text = decodeCp1252(bytes);
        View whole(text);
        const qsizetype cuts[] = {0, 1, 63, 64, 200, bytes.indexOf("\r\n") + 1, bytes.size() - 2};
        for (qsizetype cut : cuts) {
            for (bool firstDecoded : {false, true}) {
                View v;
                if (firstDecoded)
                    v.model->append(QStringView(text).first(cut));
                else
                    v.model->appendEncoded(QByteArrayView(bytes).first(cut));
                v.model->appendEncoded(QByteArrayView(bytes).sliced(cut), bytes);
                // A viewer made later reads all the waiting pieces at once.
                OutputView late(v.model);
                for (const OutputView *view : {&v.view, &late}) {
                    QCOMPARE(view->lineCount(), whole.view.lineCount());
                    QCOMPARE(view->longestLineLength(), whole.view.longestLineLength());
                    for (qsizetype i = 0; i < whole.view.lineCount(); ++i)
                        QCOMPARE(view->shownLine(i), whole.view.shownLine(i));
                }
                v.view.setSelection(cut / 2, text.size() - 1);
                QCOMPARE(v.view.selectedText(), text.mid(cut / 2, text.size() - 1 - cut / 2));
                QCOMPARE(v.model->text(), text);
            }
        }
    }

    void resetStartsOver()
    {
        View v(QStringLiteral("a\r\nb\r\nc"));
        v.view.setSelection(1, 4);
        v.model->setText(QStringLiteral("neu"));
        QCOMPARE(v.view.lineCount(), 1);
        QCOMPARE(v.view.anchorPosition(), 0);
        QCOMPARE(v.view.caretPosition(), 0);
        v.model->setText(QString());
        QCOMPARE(v.view.lineCount(), 1);
        QCOMPARE(v.view.shownLine(0), QString());
    }

    void selectionLivesInTheModel()
    {
        View v(QStringLiteral("abcdef"));
        v.view.setSelection(4, 1);
        QCOMPARE(v.model->selectionStart(), 1);
        QCOMPARE(v.model->selectionLength(), 3);
        QCOMPARE(v.view.selectedText(), QStringLiteral("bcd"));
        // A selection the program sets shows in the viewer.
        v.model->setSelection(2, 2);
        QCOMPARE(v.view.anchorPosition(), 2);
        QCOMPARE(v.view.caretPosition(), 4);
    }

    void positionsAndPointsAgree()
    {
        View v(QStringLiteral("erste Zeile\r\nzweite\r\n\r\ndritte"));
        for (qsizetype pos : {0, 3, 11, 13, 19, 21, 23, 29}) {
            const QPoint p = v.view.pointOf(pos) + QPoint(1, 2);
            QCOMPARE(v.view.positionAt(p), pos);
        }
        // Past the end of a line: its end.
        QCOMPARE(v.view.positionAt(QPoint(390, v.view.pointOf(13).y() + 2)), 19);
        // Below the last line: the last line.
        QCOMPARE(v.view.positionAt(QPoint(0, 190)), 23);
    }

    void keyboardCrossesLineBreaksWhole()
    {
        View v(QStringLiteral("ab\r\ncd"));
        v.view.setFocus();
        v.view.setSelection(2, 2);
        QTest::keyClick(&v.view, Qt::Key_Right);
        QCOMPARE(v.view.caretPosition(), 4);
        QTest::keyClick(&v.view, Qt::Key_Left);
        QCOMPARE(v.view.caretPosition(), 2);
        QTest::keyClick(&v.view, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(v.view.selectedText(), QStringLiteral("\r\n"));
        QTest::keyClick(&v.view, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(v.view.selectedText(), QStringLiteral("\r\ncd"));
        QTest::keyClick(&v.view, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(v.view.caretPosition(), 0);
        QTest::keyClick(&v.view, Qt::Key_Down);
        QCOMPARE(v.view.caretPosition(), 4);
        QTest::keyClick(&v.view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(v.view.caretPosition(), 6);
        QTest::keyClick(&v.view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(v.view.selectedText(), v.model->text());
    }

    void copyGivesTheExactText()
    {
        QString t = QStringLiteral("x");
        t += QChar(0x01);
        t += QStringLiteral("\r\ny\tz");
        View v(t);
        v.view.setSelection(0, t.size());
        v.view.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), t);
    }

    void mouseSelects()
    {
        View v(QStringLiteral("Hallo Welt\r\nzweite"));
        QTest::mousePress(v.view.viewport(), Qt::LeftButton, {}, v.view.pointOf(0) + QPoint(1, 2));
        QTest::mouseMove(v.view.viewport(), v.view.pointOf(5) + QPoint(1, 2));
        QTest::mouseRelease(v.view.viewport(), Qt::LeftButton, {}, v.view.pointOf(5) + QPoint(1, 2));
        QCOMPARE(v.view.selectedText(), QStringLiteral("Hallo"));
        QTest::mouseClick(v.view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          v.view.pointOf(14) + QPoint(1, 2));
        QCOMPARE(v.view.selectedText(), QStringLiteral("Hallo Welt\r\nzw"));
        QTest::mouseDClick(v.view.viewport(), Qt::LeftButton, {}, v.view.pointOf(7) + QPoint(1, 2));
        QCOMPARE(v.view.selectedText(), QStringLiteral("Welt"));
    }

    void scrollBarsCountLinesAndColumns()
    {
        View v;
        QString t;
        for (int i = 0; i < 1000; ++i)
            t += QStringLiteral("Zeile %1\r\n").arg(i);
        t += QString(5000, u'x');
        v.model->setText(t);
        QCOMPARE(v.view.lineCount(), 1001);
        QVERIFY(v.view.verticalScrollBar()->maximum() > 900);
        QVERIFY(v.view.verticalScrollBar()->maximum() < 1001);
        QVERIFY(v.view.horizontalScrollBar()->maximum() > 4000);
        QVERIFY(v.view.horizontalScrollBar()->maximum() < 5000);
        // Going to the end brings the last character into view.
        v.view.setFocus();
        QTest::keyClick(&v.view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(v.view.firstVisibleLine(), v.view.verticalScrollBar()->maximum());
        const QPoint end = v.view.pointOf(t.size());
        QVERIFY(end.x() > 0 && end.x() < v.view.viewport()->width());
        QCOMPARE(v.view.positionAt(end + QPoint(0, 2)), t.size());
    }

    void hugeSingleLine()
    {
        // A binary answer may never break its line: 20 million characters.
        View v;
        const QString chunk(64 * 1024, u'\x01');
        for (int i = 0; i < 320; ++i)
            v.model->append(chunk);
        QCOMPARE(v.view.lineCount(), 1);
        QCOMPARE(v.view.longestLineLength(), 320 * 64 * 1024);
        v.view.ensureVisible(v.model->text().size() - 1);
        QImage shot = v.view.grab().toImage();
        QVERIFY(!shot.isNull());
        const QPoint p = v.view.pointOf(v.model->text().size() - 1);
        QVERIFY(p.x() >= 0 && p.x() < v.view.viewport()->width());
    }
};

QTEST_MAIN(TestOutputView)
#include "tst_outputview.moc"
