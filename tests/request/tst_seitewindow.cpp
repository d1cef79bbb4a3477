// SPDX-License-Identifier: GPL-3.0-or-later
// The request window against a local server: what it sends, how its
// Status, caption and label move, stopping, the peer's close, the timeout
// retry, failed connections and closing the window mid-request.
#include "seitefixture.h"

#include "common/conventions.h"
#include "request/outputview.h"
#include "widgets/textbox.h"

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace varnok;
using namespace varnok::test;

namespace {

// Starts a request to `server` and waits until the request has arrived.
void sendTo(SeiteSetup &s, ScriptedServer &server)
{
    s.set("Text2", server.portText());
    s.set("Text1", QStringLiteral("127.0.0.1"));
    s.window->Command1_Click();
}

// Every text the status line field is given, in order.
QStringList *recordRueckgabe(SeiteSetup &s, QObject *context)
{
    auto *seen = new QStringList;
    auto model = s.window->model(u"Label25");
    QObject::connect(model.get(), &TextModel::textReset, context,
                     [seen, m = model.get()] { *seen << m->text(); });
    QObject::connect(context, &QObject::destroyed, [seen] { delete seen; });
    return seen;
}

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestSeiteWindow : public QObject
{
    Q_OBJECT
private slots:
    void opensIdleWithDefaults()
    {
        SeiteSetup s;
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.window->statusLabelText(), QString());
        QVERIFY(s.window->sendEnabled());
        QCOMPARE(s.window->timeoutInterval(), 60000);
        QCOMPARE(s.get(u"SeiteFenster(1).Input.Server"), QStringLiteral("localhost"));
        QCOMPARE(s.get(u"SeiteFenster(1).Input.Port"), QStringLiteral("80"));
        QCOMPARE(s.get(u"SeiteFenster(1).Input.Befehl"), QStringLiteral("GET / HTTP/1.1"));
        QCOMPARE(s.get(u"SeiteFenster(1).Input.Accept-Language"), QStringLiteral("de"));
        QCOMPARE(s.get(u"SeiteFenster(1).Input.Content-Type"),
                 QStringLiteral("application/x-www-form-urlencoded"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Rueckgabe"), QString());
        QCOMPARE(s.window->outputView()->toolTip(), QStringLiteral("SelStart: 1; SelEnd: 1"));
    }

    void captionsAndControlKinds()
    {
        SeiteSetup s;
        const auto caption = [&](const char *name) {
            return qobject_cast<QLabel *>(s.window->control(QLatin1StringView(name)))->text();
        };
        QCOMPARE(caption("Label1"), QStringLiteral("Server:"));
        QCOMPARE(caption("Label11"), QStringLiteral("Content-Type: "));
        QCOMPARE(caption("Label20"), QStringLiteral("Rückgabe:"));
        QCOMPARE(caption("Label24"), QStringLiteral("weitere Angaben:"));
        QCOMPARE(caption("Label23"), QStringLiteral("Location:"));
        // Every caption is in the window's own font family, at most smaller,
        // also when that font is too wide for the captions' design width.
        for (int larger : {0, 3}) {
            QFont f = s.window->font();
            f.setPointSizeF(f.pointSizeF() + larger);
            s.window->setFont(f);
            const QFontInfo windowFont(f);
            for (const char *name : {"Label1", "Label3", "Label20", "Label21", "Label24"}) {
                const QFontInfo info(s.window->control(QLatin1StringView(name))->font());
                QCOMPARE(info.family(), windowFont.family());
                QCOMPARE(info.styleName(), windowFont.styleName());
                QVERIFY(info.pointSizeF() <= windowFont.pointSizeF());
            }
        }

        for (const char *field : {"Label25", "Label30", "Label35"}) {
            auto *box = qobject_cast<TextBox *>(s.window->control(QLatin1StringView(field)));
            QVERIFY(box);
            QVERIFY(box->isUserReadOnly());
            QCOMPARE(box->mode(), TextBox::Mode::SingleLine);
        }
        auto *text13 = qobject_cast<TextBox *>(s.window->control(u"Text13"));
        QVERIFY(!text13->isUserReadOnly());
        QCOMPARE(text13->mode(), TextBox::Mode::MultiLine);
        auto *text9 = qobject_cast<TextBox *>(s.window->control(u"Text9"));
        QCOMPARE(text9->mode(), TextBox::Mode::MultiLine);
        QVERIFY(!text9->isUserReadOnly());
        // The answer fields wear the button face; the request fields do not.
        const QWidget *face = qobject_cast<TextBox *>(s.window->control(u"Label26"))->lineEdit();
        QCOMPARE(face->palette().color(QPalette::Base), face->palette().color(QPalette::Button));
        QCOMPARE(text13->plainTextEdit()->palette().color(QPalette::Base),
                 text13->plainTextEdit()->palette().color(QPalette::Button));
    }

    // The request window's multi-line boxes copy and paste exactly too.
    void multiLineBoxesCopyAndPasteExactly()
    {
        SeiteSetup s;
        QString text;
        for (char16_t c = 0; c < 0x20; ++c)
            text += QChar(c);
        text += QStringLiteral("a\rb\nc\r\nd");
        for (const char *name : {"Text9", "Text13"}) {
            s.set(name, text);
            QWidget *edit = qobject_cast<TextBox *>(s.window->control(QLatin1StringView(name)))->plainTextEdit();
            edit->setFocus();
            QTest::keySequence(edit, QKeySequence::SelectAll);
            QTest::keySequence(edit, QKeySequence::Copy);
            QTest::keySequence(edit, QKeySequence::MoveToEndOfDocument);
            QTest::keySequence(edit, QKeySequence::Paste);
            QCOMPARE(s.text(name), text + text);
        }
    }

    void outputBoxIsReadOnlyForTheUser()
    {
        SeiteSetup s;
        s.set("Text10", QStringLiteral("abc"));
        OutputView *out = s.window->outputView();
        out->setFocus();
        QTest::keyClicks(out, QStringLiteral("xyz"));
        QTest::keyClick(out, Qt::Key_Backspace);
        QTest::keyClick(out, Qt::Key_Delete);
        QCOMPARE(s.text("Text10"), QStringLiteral("abc"));
    }

    void fullRequestCycle()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QVERIFY(s.window->statusLabelText() == QStringLiteral("Verbinde...")
                || s.window->statusLabelText() == QStringLiteral("Befehl gesendet"));

        QTRY_VERIFY(server.requestComplete());
        QCOMPARE(server.received, composeRequest(s.window->requestFields()));
        QVERIFY(server.received.contains("\r\nHost: 127.0.0.1:" + server.portText().toLatin1() + "\r\n"));
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Befehl gesendet"));
        QCOMPARE(s.status(), QStringLiteral("1"));

        server.send("HTTP/1.1 200 OK\r\nServer: Te");
        QTRY_COMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.window->requestState(), 2);
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Empfange Header..."));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Rueckgabe"), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QString());

        // The arrival that ends the header still reports the header.
        server.send("st\r\nX-Eins: 1\r\n\r\nKopf");
        QTRY_COMPARE(s.text("Text10"), QStringLiteral("Kopf"));
        QCOMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stop"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QStringLiteral("Test"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Weiteres"), QStringLiteral("X-Eins: 1"));

        server.send("-Rumpf");
        QTRY_COMPARE(s.status(), QStringLiteral("3"));
        QCOMPARE(s.window->requestState(), 3);
        QCOMPARE(s.window->statusLabelText(), QStringLiteral("Empfange Daten..."));
        QTRY_COMPARE(s.get(u"SeiteFenster(1).Text"), QStringLiteral("Kopf-Rumpf"));

        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.window->statusLabelText(), QString());
        // The answer stays.
        QCOMPARE(s.text("Text10"), QStringLiteral("Kopf-Rumpf"));
        QCOMPARE(s.text("Label26"), QStringLiteral("Test"));
    }

    void sendingAgainClearsTheAnswerFields()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nDate: d\r\nA: b\r\n\r\nrest");
        QTRY_COMPARE(s.text("Text10"), QStringLiteral("rest"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        s.window->Command1_Click();
        for (const char *f : {"Text10", "Text13", "Label25", "Label27"})
            QCOMPARE(s.text(f), QString());
        QTRY_COMPARE(server.requests.size(), 2);
    }

    void oneWholeAnswerNeverReportsData()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.0 404 Not Found\nServer: lf\n\nnur LF\n");
        QTRY_COMPARE(s.text("Text10"), QStringLiteral("nur LF\n"));
        QCOMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.text("Label25"), QStringLiteral("HTTP/1.0 404 Not Found"));
        QCOMPARE(s.text("Label26"), QStringLiteral("lf"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
    }

    void stopWhileRunning()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nServer: s\r\n");
        QTRY_COMPARE(s.text("Label26"), QStringLiteral("s"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));

        s.window->Command1_Click();
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.window->statusLabelText(), QString());
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.text("Label26"), QStringLiteral("s")); // kept
        QTRY_VERIFY(server.clientGone());

        // Whatever the server still sends is not read any more.
        QTest::qWait(50);
        QCOMPARE(s.text("Text10"), QString());
    }

    void stopThroughTheScriptFunction()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.set("Text1", QStringLiteral("127.0.0.1"));
        s.set("Text2", server.portText());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QTRY_VERIFY(server.requestComplete());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void peerClosingBeforeAnyAnswer()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.text("Label25"), QString());
    }

    void lastHeaderLineWithoutLineEndIsNotShown()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nServer: halb");
        QTRY_COMPARE(s.text("Label25"), QStringLiteral("HTTP/1.1 200 OK"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text("Label26"), QString());
        QCOMPARE(s.text("Text13"), QString());
    }

    void timeoutSendsTheSameRequestAgain()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.window->setTimeoutInterval(300);
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        const QByteArray first = server.received;
        // No answer: after the interval the window stops and sends again.
        QTRY_COMPARE(server.requests.size(), 2);
        QTRY_COMPARE(server.requests.at(1), first);
        QTRY_VERIFY(server.connections.at(0).isNull()
                    || server.connections.at(0)->state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QCOMPARE(s.text("Label25"), QString()); // "Timeout" was cleared by the new Send
        s.window->Command1_Click();
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void timeoutCountsFromTheLastArrival()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.window->setTimeoutInterval(400);
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n\r\n");
        QTRY_COMPARE(s.window->buttonCaption(), QStringLiteral("Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 2, 5000);
        // The retry shows the timeout in the status line field only until
        // the new Send empties it.
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QCOMPARE(s.text("Text10"), QString());
        s.window->Command1_Click();
    }

    void timerFiringWhenIdleOnlyDisablesItself()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.window->setTimeoutInterval(150);
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        s.window->Command1_Click(); // Stop leaves the timer running
        QTest::qWait(400);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.window->statusLabelText(), QString());
        auto *timer = s.window->findChild<QTimer *>(QStringLiteral("Timer1"));
        QVERIFY(!timer->isActive());
    }

    void refusedConnectionShowsReasonAndRetries()
    {
        SeiteSetup s;
        s.set("Text1", QStringLiteral("127.0.0.1"));
        s.set("Text2", QString::number(unusedPort()));
        s.window->setTimeoutInterval(400);
        s.window->Command1_Click();
        QTRY_COMPARE(s.window->statusLabelText(), QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));

        // The retry writes "Timeout" into the status line field, sends
        // again at once and fails the same way.
        QObject context;
        const QStringList *seen = recordRueckgabe(s, &context);
        QTRY_VERIFY(seen->contains(QStringLiteral("Timeout")));
        QCOMPARE(seen->last(), QString());
        QTRY_COMPARE(s.window->statusLabelText(), QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(s.window->requestState(), 1);

        s.window->Command1_Click();
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void connectionThatCannotBeAttempted_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty server") << QString() << QStringLiteral("80")
                                      << QStringLiteral("Kein Server angegeben");
        QTest::newRow("empty port") << QStringLiteral("127.0.0.1") << QString()
                                    << QStringLiteral("Ungültiger Port");
        QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << QStringLiteral("0")
                                << QStringLiteral("Ungültiger Port");
        QTest::newRow("port too big") << QStringLiteral("127.0.0.1") << QStringLiteral("70000")
                                      << QStringLiteral("Ungültiger Port");
        QTest::newRow("port text") << QStringLiteral("127.0.0.1") << QStringLiteral("http")
                                   << QStringLiteral("Ungültiger Port");
    }
    void connectionThatCannotBeAttempted()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(QString, reason);
        SeiteSetup s;
        s.set("Text1", server);
        s.set("Text2", port);
        s.window->setTimeoutInterval(200);
        s.window->Command1_Click();
        QCOMPARE(s.window->statusLabelText(), reason);
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        QObject context;
        const QStringList *seen = recordRueckgabe(s, &context);
        QTRY_COMPARE(seen->size(), 2);
        QCOMPARE(*seen, QStringList({QStringLiteral("Timeout"), QString()}));
        QCOMPARE(s.window->statusLabelText(), reason);
        QCOMPARE(s.window->requestState(), 1);
        s.window->Command1_Click();
        QCOMPARE(s.window->requestState(), 0);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
    }

    void binaryBodyRoundTrip()
    {
        SeiteSetup s;
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        QByteArray body;
        for (int round = 0; round < 4; ++round)
            for (int b = 0; b < 256; ++b)
                body += char((b * 7 + round) & 0xFF);
        body += QByteArray("\r\n\r\n\0\r", 6);
        server.send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
        QTRY_COMPARE(s.window->buttonCaption(), QStringLiteral("Stop"));
        server.send(body.left(300));
        QTRY_COMPARE(s.text("Text10").size(), 300);
        server.send(body.mid(300));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        const QString text = s.get(u"SeiteFenster(1).Text");
        QCOMPARE(text.size(), body.size());
        QCOMPARE(encodeCp1252(text), body);
        // On screen every control character is a visible symbol.
        OutputView *out = s.window->outputView();
        QVERIFY(out->shownLine(0).contains(QChar(0x2400)));
        QVERIFY(!out->shownLine(0).contains(QChar(0)));
    }

    void bodyTyped_requestCarriesIt()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.engine.Evaluate(u"SeiteFenster(1).Input.Anhang(Text(a=1&b=2))", {});
        s.engine.Evaluate(u"SeiteFenster(1).Input.Befehl(Text(POST /f HTTP/1.0))", {});
        QCOMPARE(s.text("Text9"), QStringLiteral("a=1&b=2"));
        sendTo(s, server);
        QTRY_VERIFY(server.received.endsWith("a=1&b=2"));
        QVERIFY(server.received.startsWith("POST /f HTTP/1.0\r\n"));
        QVERIFY(server.received.contains("\r\nContent-Length: 7\r\n"));
        s.window->Command1_Click();
    }

    void closingMidRequestEndsEverything()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.window->setTimeoutInterval(200);
        QList<int> closedIndices;
        connect(s.window.get(), &SeiteWindow::closed, this, [&](int i) { closedIndices << i; });
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n");
        QTRY_COMPARE(s.status(), QStringLiteral("2"));

        const std::weak_ptr<TextModel> output = s.window->model(u"Text10");
        QVERIFY(s.window->close());
        QCOMPARE(closedIndices, QList<int>{1});
        QTRY_VERIFY(server.clientGone());
        // The node is gone; nothing of the window answers any more.
        QCOMPARE(s.get(u"SeiteFenster(1).Status"), QString());
        s.window->Command1_Click();
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QTest::qWait(400); // past the timeout: no retry
        QCOMPARE(server.requests.size(), 1);
        s.window->close();
        QCOMPARE(closedIndices.size(), 1);
        s.window.reset();
        QVERIFY(output.expired());
    }

    void receptionWatchNamesTheOpenConnection()
    {
        // A script that waits in a loop asks the watch whether answer bytes
        // are waiting, without running the event loop.
        const auto watch = std::make_shared<ReceptionWatch>();
        SeiteSetup s;
        s.window->setReceptionWatch(watch);
        ScriptedServer server;
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        QVERIFY(!watch->empty());
        QVERIFY(!watch->dataWaiting());
        server.send("HTTP/1.1 200 OK\r\n\r\nda");
        QElapsedTimer t;
        t.start();
        while (!watch->dataWaiting() && t.elapsed() < 5000)
            QThread::msleep(2);
        QVERIFY(watch->dataWaiting());
        QTRY_COMPARE(s.text("Text10"), QStringLiteral("da"));
        QVERIFY(!watch->dataWaiting());
        // Stopped or closed, the connection is no longer watched.
        s.window->Command1_Click();
        QVERIFY(watch->empty());
        sendTo(s, server);
        QTRY_VERIFY(!watch->empty());
        s.window->close();
        QVERIFY(watch->empty());
    }

    void destroyedWhileConnectingIsQuiet()
    {
        ScriptedServer server;
        {
            SeiteSetup s;
            sendTo(s, server);
            s.window.reset();
        }
        QTest::qWait(50);
        QTRY_VERIFY(server.connections.isEmpty() || server.clientGone());
    }

    void selectionReadout()
    {
        SeiteSetup s;
        s.set("Text10", QStringLiteral("abcdef\r\nzweite Zeile"));
        OutputView *out = s.window->outputView();
        QCOMPARE(out->toolTip(), QStringLiteral("SelStart: 1; SelEnd: 1"));
        QTest::mouseClick(out->viewport(), Qt::LeftButton, {}, out->pointOf(0) + QPoint(1, 3));
        QCOMPARE(out->toolTip(), QStringLiteral("SelStart: 1; SelEnd: 1"));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(out, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(out->toolTip(), QStringLiteral("SelStart: 1; SelEnd: 4"));
        // Down to the second line: the line break counts two characters.
        QTest::keyClick(out, Qt::Key_Down);
        QCOMPARE(out->toolTip(), QStringLiteral("SelStart: 12; SelEnd: 12"));
        QTest::mouseDClick(out->viewport(), Qt::LeftButton, {}, out->pointOf(9) + QPoint(1, 3));
        QCOMPARE(out->toolTip(), QStringLiteral("SelStart: 9; SelEnd: 15"));
    }
};

QTEST_MAIN(TestSeiteWindow)
#include "tst_seitewindow.moc"
