// SPDX-License-Identifier: GPL-3.0-or-later
// The Mitschnitt window: the hex rows at the end of a huge answer, the
// window following a new Senden, Speichern writing the exact bytes.

#include "request/mitschnittwindow.h"

#include "../shell/scripteddialogs.h"
#include "seitefixture.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

namespace {

// A 100 MiB answer made of one shared 1 MiB piece: the test costs 1 MiB.
std::shared_ptr<Transcript> hugeTranscript(QByteArray &piece)
{
    piece.resize(1 << 20);
    for (qsizetype i = 0; i < piece.size(); ++i)
        piece[i] = char(i * 7 + (i >> 8));
    auto t = std::make_shared<Transcript>(0, QStringLiteral("127.0.0.1:80"));
    t->addEvent(TranscriptEvent::Verbunden, 1000);
    for (int i = 0; i < 100; ++i)
        t->addArrival(2000 + i, piece);
    t->addEvent(TranscriptEvent::Geschlossen, 5000);
    return t;
}

} // namespace

class TestMitschnittWindow : public QObject
{
    Q_OBJECT
private slots:
    void hexRowsAtTheEndOfAHugeAnswer()
    {
        QByteArray piece;
        ScriptedDialogs dialogs;
        MitschnittWindow w(dialogs, 3);
        QCOMPARE(w.windowTitle(), QStringLiteral("Mitschnitt - Seite 3"));
        w.setTranscript(hugeTranscript(piece));
        w.resize(800, 500);
        w.show();
        w.showTab(MitschnittWindow::EmpfangenTab);
        ByteView *hex = w.byteView(MitschnittWindow::EmpfangenTab);
        QCOMPARE(hex->mode(), ByteView::Mode::Hex);
        const qint64 size = qint64(100) << 20;
        QCOMPARE(hex->rowCount(), size / 16);

        const qint64 last = hex->rowCount() - 1;
        hex->scrollToRow(last);
        // The last page: the last row on screen, the first row where it belongs.
        const qint64 page = hex->viewport()->height() / hex->fontMetrics().height();
        QVERIFY(page > 1);
        QCOMPARE(hex->firstVisibleRow(), last + 1 - page);
        QCOMPARE(hex->rowOffset(hex->firstVisibleRow()), (last + 1 - page) * 16);
        QCOMPARE(hex->rowOffset(last), size - 16);
        // The last row is the end of the last piece.
        const QByteArray tail = piece.right(16);
        QString expected = QStringLiteral("063ffff0 ");
        for (int i = 0; i < 16; ++i)
            expected += (i == 8 ? QStringLiteral("  ") : QStringLiteral(" "))
                        + QStringLiteral("%1").arg(uchar(tail[i]), 2, 16, QLatin1Char('0'));
        expected += QStringLiteral("  |");
        for (const char c : tail)
            expected += (c >= 0x20 && c < 0x7f) ? QLatin1Char(c) : QLatin1Char('.');
        expected += QLatin1Char('|');
        QCOMPARE(hex->rowText(last), expected);

        // A paint reads only the rows on screen.
        hex->grab();
        QVERIFY(hex->lastPaintReadBytes() > 0);
        QVERIFY(hex->lastPaintReadBytes() <= 16 * (hex->viewport()->height() / hex->fontMetrics().height() + 1));

        // A short last row, and the scroll bar's range for it: halfway down
        // a bar that counts rows in steps still lands on the right bytes.
        hex->scrollToRow(last / 2);
        QCOMPARE(hex->rowOffset(hex->firstVisibleRow()), (last / 2) * 16);

        // Copy puts the exact bytes of the selected rows on the clipboard.
        hex->selectRows(last - 1, last);
        QCOMPARE(hex->selectedBytes(), piece.right(32));
        hex->copy();
        QCOMPARE(QApplication::clipboard()->mimeData()->data(QStringLiteral("application/octet-stream")),
                 piece.right(32));
    }

    void textRowsShowControlCharactersAndSplitLongRuns()
    {
        auto t = std::make_shared<Transcript>(0, QStringLiteral("h:1"));
        t->addArrival(1, QByteArray("HTTP/1.1 200 OK\r\nA: b\r\n\r\n") + QByteArray(5000, 'x'));
        ScriptedDialogs dialogs;
        MitschnittWindow w(dialogs, 1);
        w.setTranscript(t);
        w.showTab(MitschnittWindow::EmpfangenTab);
        ByteView *view = w.byteView(MitschnittWindow::EmpfangenTab);
        view->setMode(ByteView::Mode::Text);
        QCOMPARE(view->rowCount(), 5); // three lines, the empty line, 4096 + 904 x's in two rows
        QCOMPARE(view->rowText(0), QStringLiteral("HTTP/1.1 200 OK\u240D\u240A"));
        QCOMPARE(view->rowText(2), QStringLiteral("\u240D\u240A"));
        QCOMPARE(view->rowLength(3), ByteView::kTextRowBytes);
        QCOMPARE(view->rowLength(4), 5000 - ByteView::kTextRowBytes);
        // A live answer grows: the last row goes on where it stopped.
        t->addArrival(2, QByteArray("yy\nz"));
        view->refresh();
        QCOMPARE(view->rowCount(), 6);
        QCOMPARE(view->rowLength(4), 5000 - ByteView::kTextRowBytes + 3);
        QCOMPARE(view->rowText(5), QStringLiteral("z"));
    }

    void followsANewSendenAndSavesExactBytes()
    {
        SeiteSetup s;
        ScriptedDialogs dialogs;
        MitschnittWindow w(dialogs, 1);
        w.follow(s.window->session());
        w.show();
        QVERIFY(w.timelineText().contains(QStringLiteral("Noch keine Anfrage")));

        ScriptedServer server;
        s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        s.set(SeiteField::Port, server.portText());
        s.window->Command1_Click();
        QTRY_VERIFY(server.requestComplete());
        const QByteArray first = QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n") + QByteArray("\x00\x01\xff\r", 4);
        server.send(first);
        server.closeClient();
        QTRY_COMPARE(s.window->requestState(), 0);
        w.refresh();
        QCOMPARE(w.transcript()->received(), first);
        QCOMPARE(w.byteView(MitschnittWindow::GesendetTab)->rowCount(), (server.received.size() + 15) / 16);
        QVERIFY(w.timelineText().contains(QStringLiteral("ms  verbunden")));
        QVERIFY(w.timelineText().contains(QStringLiteral("empfangen ")));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("antwort.bin"));
        dialogs.files.push_back(file);
        w.save(MitschnittWindow::SaveWhat::Empfangen);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), first);
        f.close();
        dialogs.files.push_back(dir.filePath(QStringLiteral("body.bin")));
        w.save(MitschnittWindow::SaveWhat::Dekodiert);
        QFile body(dir.filePath(QStringLiteral("body.bin")));
        QVERIFY(body.open(QIODevice::ReadOnly));
        QCOMPARE(body.readAll(), QByteArray("\x00\x01\xff\r", 4));

        // A file that cannot be written: a German box, nothing reported as done.
        dialogs.files.push_back(dir.filePath(QStringLiteral("fehlt/x.txt")));
        w.save(MitschnittWindow::SaveWhat::Mitschnitt);
        QCOMPARE(dialogs.shown.back().kind, ScriptedDialogs::Kind::Message);
        QCOMPARE(dialogs.shown.back().title, QStringLiteral("Fehler"));

        // The next Senden: the window shows the new request from its start.
        w.showTab(MitschnittWindow::EmpfangenTab);
        s.window->Command1_Click();
        QTRY_VERIFY(server.connections.size() == 2 && server.requestComplete());
        QCOMPARE(w.transcript()->receivedSize(), 0);
        server.send("HTTP/1.1 204 No Content\r\n\r\n");
        QTRY_COMPARE(w.byteView(MitschnittWindow::EmpfangenTab)->rowCount(), 2);
        QCOMPARE(w.transcript()->received(), QByteArray("HTTP/1.1 204 No Content\r\n\r\n"));
        s.window->Command1_Click();
    }
};

QTEST_MAIN(TestMitschnittWindow)
#include "tst_mitschnittwindow.moc"
