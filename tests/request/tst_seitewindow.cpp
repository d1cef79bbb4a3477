// SPDX-License-Identifier: GPL-3.0-or-later
// The request window itself: its defaults, captions and kinds of controls,
// the button and the status label following its request engine against a
// local server, the script functions reaching it, closing it mid-request
// and the output box's selection read-out. What the engine does on its own
// is tested in tst_requestsession.
#include "seitefixture.h"

#include "common/conventions.h"
#include "request/outputview.h"
#include "request/statuslabel.h"
#include "widgets/textbox.h"

#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QApplication>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace varnok;
using namespace varnok::test;

namespace {

// Starts a request to `server`.
void sendTo(SeiteSetup &s, ScriptedServer &server)
{
    s.set(SeiteField::Port, server.portText());
    s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
    s.window->Command1_Click();
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

        for (const SeiteField field : {SeiteField::Rueckgabe, SeiteField::ETag, SeiteField::Location}) {
            auto *box = qobject_cast<TextBox *>(s.window->widget(field));
            QVERIFY(box);
            QVERIFY(box->isUserReadOnly());
            QCOMPARE(box->mode(), TextBox::Mode::SingleLine);
        }
        auto *text13 = qobject_cast<TextBox *>(s.window->widget(SeiteField::Weiteres));
        QVERIFY(!text13->isUserReadOnly());
        QCOMPARE(text13->mode(), TextBox::Mode::MultiLine);
        auto *text9 = qobject_cast<TextBox *>(s.window->widget(SeiteField::Anhang));
        QCOMPARE(text9->mode(), TextBox::Mode::MultiLine);
        QVERIFY(!text9->isUserReadOnly());
        // The answer fields wear the button face; the request fields do not.
        const QWidget *face = qobject_cast<TextBox *>(s.window->widget(SeiteField::AnswerServer))->lineEdit();
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
        for (const SeiteField field : {SeiteField::Anhang, SeiteField::Weiteres}) {
            s.set(field, text);
            QWidget *edit = qobject_cast<TextBox *>(s.window->widget(field))->plainTextEdit();
            edit->setFocus();
            QTest::keySequence(edit, QKeySequence::SelectAll);
            QTest::keySequence(edit, QKeySequence::Copy);
            QTest::keySequence(edit, QKeySequence::MoveToEndOfDocument);
            QTest::keySequence(edit, QKeySequence::Paste);
            QCOMPARE(s.text(field), text + text);
        }
    }

    void outputBoxIsReadOnlyForTheUser()
    {
        SeiteSetup s;
        s.set(SeiteField::Text, QStringLiteral("abc"));
        OutputView *out = s.window->outputView();
        out->setFocus();
        QTest::keyClicks(out, QStringLiteral("xyz"));
        QTest::keyClick(out, Qt::Key_Backspace);
        QTest::keyClick(out, Qt::Key_Delete);
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("abc"));
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
        QTRY_COMPARE(s.text(SeiteField::Text), QStringLiteral("Kopf"));
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
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("Kopf-Rumpf"));
        QCOMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("Test"));
    }

    void stopThroughTheScriptFunction()
    {
        SeiteSetup s;
        ScriptedServer server;
        s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        s.set(SeiteField::Port, server.portText());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QTRY_VERIFY(server.requestComplete());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void refusedConnectionShowsReasonAndRetries()
    {
        SeiteSetup s;
        s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        s.set(SeiteField::Port, QString::number(unusedPort()));
        s.window->Command1_Click();
        QTRY_COMPARE(s.window->statusLabelText(), QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(s.window->requestState(), 1);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        // The retry shows "Timeout" only until the new Send's label.
        s.clock->advance(60000);
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        QTRY_COMPARE(s.window->statusLabelText(), QStringLiteral("Verbindung abgelehnt"));
        s.window->Command1_Click();
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Senden"));
        QCOMPARE(s.window->statusLabelText(), QString());
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void statusLabelElidesWhatDoesNotFitAndShowsItAsTooltip()
    {
        SeiteSetup s;
        auto *label = qobject_cast<StatusLabel *>(s.window->control(u"Label10"));
        QVERIFY(label);
        const QString reason = QStringLiteral(
            "Zertifikat nicht vertrauenswürdig: selbst signiert, für einen anderen Namen ausgestellt");
        label->setFullText(reason);
        QVERIFY(label->isElided());
        QVERIFY(label->text().endsWith(QChar(0x2026)));
        QCOMPARE(label->toolTip(), reason);
        QCOMPARE(label->fullText(), reason);
        // Wide enough, the whole text and no tooltip.
        s.window->resize(3000, 620);
        QVERIFY(!label->isElided());
        QCOMPARE(label->text(), reason);
        QCOMPARE(label->toolTip(), QString());
        label->setFullText(QStringLiteral("Verbinde..."));
        QCOMPARE(label->toolTip(), QString());
    }

    void binaryBodyIsShownAsSymbols()
    {
        SeiteSetup s;
        QByteArray body;
        for (int b = 0; b < 256; ++b)
            body += char(b);
        s.set(SeiteField::Text, decodeCp1252(body));
        // On screen every control character is a visible symbol.
        OutputView *out = s.window->outputView();
        QVERIFY(out->shownLine(0).contains(QChar(0x2400)));
        QVERIFY(!out->shownLine(0).contains(QChar(0)));
    }

    void closingMidRequestEndsEverything()
    {
        SeiteSetup s;
        ScriptedServer server;
        QList<int> closedIndices;
        connect(s.window.get(), &SeiteWindow::closed, this, [&](int i) { closedIndices << i; });
        sendTo(s, server);
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n");
        QTRY_COMPARE(s.status(), QStringLiteral("2"));

        const std::weak_ptr<TextModel> output = s.window->model(SeiteField::Text);
        QVERIFY(s.window->close());
        QCOMPARE(closedIndices, QList<int>{1});
        QTRY_VERIFY(server.clientGone());
        // The node is gone; nothing of the window answers any more.
        QCOMPARE(s.get(u"SeiteFenster(1).Status"), QString());
        s.window->Command1_Click();
        QCOMPARE(s.window->buttonCaption(), QStringLiteral("Stopp"));
        s.clock->advance(60000); // past the timeout: no retry
        QTest::qWait(20);
        QCOMPARE(server.requests.size(), 1);
        s.window->close();
        QCOMPARE(closedIndices.size(), 1);
        s.window.reset();
        QVERIFY(output.expired());
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
        s.set(SeiteField::Text, QStringLiteral("abcdef\r\nzweite Zeile"));
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

    void verbindungDialogEditsWhatScriptsSee()
    {
        SeiteSetup s;
        s.engine.Evaluate(u"SeiteFenster(1).Verbindung.Adresse(Text(127.0.0.1))", {});
        s.engine.Evaluate(u"SeiteFenster(1).Verbindung.IP(6)", {});
        QApplication::setActiveWindow(s.window.get());
        QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
        s.window->widget(SeiteField::Server)->setFocus();
        QTRY_VERIFY(QApplication::focusWidget());
        // The shortcut from any box of the window.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(s.window->verbindungDialog());
        VerbindungDialog *d = s.window->verbindungDialog();
        QCOMPARE(d->windowTitle(), QStringLiteral("Verbindung - Seite 1"));
        QCOMPARE(d->value(VerbindungValue::Adresse), QStringLiteral("127.0.0.1"));
        QCOMPARE(d->value(VerbindungValue::Ip), QStringLiteral("6"));
        QCOMPARE(d->tlsDetailsText(), QStringLiteral("Noch keine TLS-Verbindung."));
        // Once more brings the same dialog forward.
        s.window->openVerbindungDialog();
        QCOMPARE(s.window->verbindungDialog(), d);

        d->findChild<QLineEdit *>(QStringLiteral("CA"))->setText(QStringLiteral("/etc/eigene ca.pem"));
        d->setValue(VerbindungValue::Ip, QString());
        // Nothing changes before OK.
        QCOMPARE(s.get(u"SeiteFenster(1).Verbindung.CA"), QString());
        QTest::keyClick(d, Qt::Key_Return);
        QTRY_VERIFY(!s.window->verbindungDialog());
        QCOMPARE(s.get(u"SeiteFenster(1).Verbindung.CA"), QStringLiteral("/etc/eigene ca.pem"));
        QCOMPARE(s.get(u"SeiteFenster(1).Verbindung.IP"), QString());
        QCOMPARE(s.get(u"SeiteFenster(1).Verbindung.Adresse"), QStringLiteral("127.0.0.1"));

        // A text a script wrote that is no choice of the list is kept as it is.
        s.engine.Evaluate(u"SeiteFenster(1).Verbindung.IP(Text(vier))", {});
        s.window->openVerbindungDialog();
        QTRY_VERIFY(s.window->verbindungDialog());
        QCOMPARE(s.window->verbindungDialog()->value(VerbindungValue::Ip), QStringLiteral("vier"));
        s.window->verbindungDialog()->apply();
        QCOMPARE(s.get(u"SeiteFenster(1).Verbindung.IP"), QStringLiteral("vier"));
        // The dialog goes with its window.
        QPointer<VerbindungDialog> open = s.window->verbindungDialog();
        s.window->close();
        QTRY_VERIFY(!open);
    }
};

QTEST_MAIN(TestSeiteWindow)
#include "tst_seitewindow.moc"
