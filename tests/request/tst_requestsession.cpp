// SPDX-License-Identifier: GPL-3.0-or-later
// The request engine without a window, against servers on 127.0.0.1: what
// it sends, how Status, caption and status label move, the events it
// reports, stopping, the peer's close, the timeout retry on a clock the
// test moves, failed connections and shutting down mid-request.
#include "sessionfixture.h"

#include "common/conventions.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace varnok;
using namespace varnok::test;

namespace {

// Every text the status line field is given, in order.
QStringList *recordRueckgabe(SessionSetup &s, QObject *context)
{
    auto *seen = new QStringList;
    TextModel *model = s.models[SeiteField::Rueckgabe].get();
    QObject::connect(model, &TextModel::textReset, context, [seen, model] { *seen << model->text(); });
    QObject::connect(context, &QObject::destroyed, [seen] { delete seen; });
    return seen;
}

// The session's events as words, in the order they were reported.
struct EventLog
{
    QObject context;
    QStringList events;
    QStringList labels;
    QStringList captions;
    explicit EventLog(RequestSession &s)
    {
        QObject::connect(&s, &RequestSession::started, &context, [this] { events << QStringLiteral("started"); });
        QObject::connect(&s, &RequestSession::connected, &context, [this] { events << QStringLiteral("connected"); });
        QObject::connect(&s, &RequestSession::requestWritten, &context,
                         [this](qint64 n) { events << QStringLiteral("written %1").arg(n); });
        QObject::connect(&s, &RequestSession::arrived, &context, [this](qint64) {
            if (events.isEmpty() || events.last() != u"arrived")
                events << QStringLiteral("arrived");
        });
        QObject::connect(&s, &RequestSession::headerEnded, &context, [this] { events << QStringLiteral("header"); });
        QObject::connect(&s, &RequestSession::ended, &context, [this](RequestEnd how) {
            events << (how == RequestEnd::Closed    ? QStringLiteral("closed")
                       : how == RequestEnd::Stopped ? QStringLiteral("stopped")
                                                    : QStringLiteral("timeout"));
        });
        QObject::connect(&s, &RequestSession::failed, &context,
                         [this](const QString &r) { events << QStringLiteral("failed ") + r; });
        QObject::connect(&s, &RequestSession::statusLabelChanged, &context, [this](const QString &t) { labels << t; });
        QObject::connect(&s, &RequestSession::captionChanged, &context, [this](const QString &c) { captions << c; });
    }
};

} // namespace

class TestRequestSession : public QObject
{
    Q_OBJECT
private slots:
    void startsIdle()
    {
        SessionSetup s;
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.session->statusLabel(), QString());
        QCOMPARE(s.session->timeoutInterval(), 60000);
        QVERIFY(!s.clock->timerActive());
    }

    void fullRequestCycle()
    {
        SessionSetup s;
        ScriptedServer server;
        EventLog log(*s.session);
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QVERIFY(s.clock->timerActive());

        QTRY_VERIFY(server.requestComplete());
        const QByteArray request = composeRequest(s.session->requestFields());
        QCOMPARE(server.received, request);
        QVERIFY(server.received.contains("\r\nHost: 127.0.0.1:" + server.portText().toLatin1() + "\r\n"));
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Befehl gesendet"));
        QCOMPARE(s.status(), QStringLiteral("1"));

        server.send("HTTP/1.1 200 OK\r\nServer: Te");
        QTRY_COMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.session->requestState(), 2);
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Empfange Header..."));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Rueckgabe"), QStringLiteral("HTTP/1.1 200 OK"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QString());

        // The arrival that ends the header still reports the header.
        server.send("st\r\nX-Eins: 1\r\n\r\nKopf");
        QTRY_COMPARE(s.text(SeiteField::Text), QStringLiteral("Kopf"));
        QCOMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stop"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Server"), QStringLiteral("Test"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Weiteres"), QStringLiteral("X-Eins: 1"));

        server.send("-Rumpf");
        QTRY_COMPARE(s.status(), QStringLiteral("3"));
        QCOMPARE(s.session->requestState(), 3);
        QCOMPARE(s.session->statusLabel(), QStringLiteral("Empfange Daten..."));
        QTRY_COMPARE(s.get(u"SeiteFenster(1).Text"), QStringLiteral("Kopf-Rumpf"));

        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.session->statusLabel(), QString());
        // The answer stays.
        QCOMPARE(s.text(SeiteField::Text), QStringLiteral("Kopf-Rumpf"));
        QCOMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("Test"));

        // What listeners heard, in order.
        QCOMPARE(log.events, QStringList({QStringLiteral("started"), QStringLiteral("connected"),
                                          QStringLiteral("written %1").arg(request.size()),
                                          QStringLiteral("arrived"), QStringLiteral("header"),
                                          QStringLiteral("arrived"), QStringLiteral("closed")}));
        QStringList labels = log.labels;
        labels.removeDuplicates();
        QCOMPARE(labels, QStringList({QStringLiteral("Verbinde..."), QStringLiteral("Verbunden"),
                                      QStringLiteral("Befehl gesendet"), QStringLiteral("Empfange Header..."),
                                      QStringLiteral("Empfange Daten..."), QString()}));
        QCOMPARE(log.captions, QStringList({QStringLiteral("Stopp"), QStringLiteral("Stop"),
                                            QStringLiteral("Senden")}));
    }

    void sendingAgainClearsTheAnswerFields()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nDate: d\r\nA: b\r\n\r\nrest");
        QTRY_COMPARE(s.text(SeiteField::Text), QStringLiteral("rest"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));

        s.session->toggle();
        for (SeiteField f : {SeiteField::Text, SeiteField::Weiteres, SeiteField::Rueckgabe, SeiteField::Date})
            QCOMPARE(s.text(f), QString());
        QTRY_COMPARE(server.requests.size(), 2);
        s.session->toggle();
    }

    void oneWholeAnswerNeverReportsData()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.0 404 Not Found\nServer: lf\n\nnur LF\n");
        QTRY_COMPARE(s.text(SeiteField::Text), QStringLiteral("nur LF\n"));
        QCOMPARE(s.status(), QStringLiteral("2"));
        QCOMPARE(s.text(SeiteField::Rueckgabe), QStringLiteral("HTTP/1.0 404 Not Found"));
        QCOMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("lf"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
    }

    void stopWhileRunning()
    {
        SessionSetup s;
        ScriptedServer server;
        EventLog log(*s.session);
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nServer: s\r\n");
        QTRY_COMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("s"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));

        s.session->toggle();
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.session->statusLabel(), QString());
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.text(SeiteField::AnswerServer), QStringLiteral("s")); // kept
        QCOMPARE(log.events.last(), QStringLiteral("stopped"));
        QTRY_VERIFY(server.clientGone());

        // Whatever the server still sends is not read any more.
        QTest::qWait(50);
        QCOMPARE(s.text(SeiteField::Text), QString());
    }

    void largeBodyInBurstsArrivesWhole()
    {
        // Past the header Qt's buffer is small and the engine reads the rest
        // itself; a buffer that fills must not silence the socket, so every
        // later burst still arrives, and the close still ends the request.
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        const QByteArray burst(3 << 20, 'b');
        server.send("HTTP/1.1 200 OK\r\n\r\n" + burst);
        for (int more = 1; more <= 3; ++more) {
            QTRY_COMPARE(s.models[SeiteField::Text]->size(), more * burst.size());
            server.send(burst);
        }
        QTRY_COMPARE(s.models[SeiteField::Text]->size(), 4 * burst.size());
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.models[SeiteField::Text]->size(), 4 * burst.size());
    }

    void stopReachesAServerThatNeverPauses()
    {
        // A writer on its own thread outruns the reader, so the socket is
        // never empty: the engine must still let the event loop, and with it
        // Stopp, in long before the whole answer is read.
        constexpr qint64 total = qint64(64) << 20;
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
        QVERIFY(::listen(listener, 1) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        std::thread writer([listener] {
            const int client = ::accept(listener, nullptr, nullptr);
            const QByteArray head("HTTP/1.1 200 OK\r\n\r\n");
            ::send(client, head.constData(), std::size_t(head.size()), MSG_NOSIGNAL);
            const QByteArray block(1 << 20, 'x');
            for (qint64 sent = 0; sent < total; sent += block.size())
                if (::send(client, block.constData(), std::size_t(block.size()), MSG_NOSIGNAL) <= 0)
                    break;
            ::close(client);
        });
        SessionSetup s;
        QObject context;
        bool pressed = false;
        QObject::connect(s.session.get(), &RequestSession::arrived, &context, [&s, &pressed] {
            if (pressed || s.models[SeiteField::Text]->size() == 0)
                return;
            pressed = true;
            QTimer::singleShot(0, s.session.get(), [&s] {
                if (s.session->requestState() != 0)
                    s.session->toggle();
            });
        });
        s.sendTo(QStringLiteral("127.0.0.1"), ntohs(address.sin_port));
        QTRY_COMPARE(s.session->requestState(), 0);
        QVERIFY2(s.models[SeiteField::Text]->size() < total / 2,
                 qPrintable(QString::number(s.models[SeiteField::Text]->size())));
        writer.join();
        ::close(listener);
    }

    void peerClosingBeforeAnyAnswer()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.text(SeiteField::Rueckgabe), QString());
    }

    void lastHeaderLineWithoutLineEndIsNotShown()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nServer: halb");
        QTRY_COMPARE(s.text(SeiteField::Rueckgabe), QStringLiteral("HTTP/1.1 200 OK"));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::AnswerServer), QString());
        QCOMPARE(s.text(SeiteField::Weiteres), QString());
    }

    void timeoutSendsTheSameRequestAgain()
    {
        SessionSetup s;
        ScriptedServer server;
        EventLog log(*s.session);
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        const QByteArray first = server.received;
        QObject context;
        const QStringList *seen = recordRueckgabe(s, &context);
        // No answer: one second short of the interval nothing happens.
        s.clock->advance(59000);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(s.session->requestState(), 1);
        // At the interval the engine stops and sends again at once.
        s.clock->advance(1000);
        QCOMPARE(*seen, QStringList({QStringLiteral("Timeout"), QString()}));
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QVERIFY(s.session->statusLabel() == QStringLiteral("Verbinde...")
                || s.session->statusLabel() == QStringLiteral("Befehl gesendet"));
        QVERIFY(log.labels.contains(QStringLiteral("Timeout")));
        QVERIFY(log.events.contains(QStringLiteral("timeout")));
        QVERIFY(!log.events.contains(QStringLiteral("stopped")));
        QTRY_COMPARE(server.requests.size(), 2);
        QTRY_COMPARE(server.requests.at(1), first);
        QTRY_VERIFY(server.connections.at(0).isNull()
                    || server.connections.at(0)->state() == QAbstractSocket::UnconnectedState);
        s.session->toggle();
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void timeoutCountsFromTheLastArrival()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        s.clock->advance(50000);
        server.send("HTTP/1.1 200 OK\r\n\r\n");
        QTRY_COMPARE(s.session->caption(), QStringLiteral("Stop"));
        // 50 s after the request plus 50 s after the arrival: no retry.
        s.clock->advance(50000);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(s.session->caption(), QStringLiteral("Stop"));
        s.clock->advance(10000);
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QCOMPARE(s.text(SeiteField::Text), QString());
        QTRY_COMPARE(server.requests.size(), 2);
        s.session->toggle();
    }

    void timerFiringWhenIdleOnlyDisablesItself()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        s.session->toggle(); // Stop leaves the timer running
        QVERIFY(s.clock->timerActive());
        s.clock->advance(60000);
        QVERIFY(!s.clock->timerActive());
        QTest::qWait(20);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.session->statusLabel(), QString());
    }

    void refusedConnectionShowsReasonAndRetries()
    {
        SessionSetup s;
        EventLog log(*s.session);
        s.sendTo(QStringLiteral("127.0.0.1"), unusedPort());
        QTRY_COMPARE(s.session->statusLabel(), QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QCOMPARE(log.events.filter(QStringLiteral("failed")),
                 QStringList{QStringLiteral("failed Verbindung abgelehnt")});

        // The retry writes "Timeout" into the status line field, sends
        // again at once and fails the same way.
        QObject context;
        const QStringList *seen = recordRueckgabe(s, &context);
        s.clock->advance(60000);
        QCOMPARE(*seen, QStringList({QStringLiteral("Timeout"), QString()}));
        QTRY_COMPARE(s.session->statusLabel(), QStringLiteral("Verbindung abgelehnt"));
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(log.events.filter(QStringLiteral("failed")).size(), 2);

        s.session->toggle();
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
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
        SessionSetup s;
        EventLog log(*s.session);
        s.set(SeiteField::Server, server);
        s.set(SeiteField::Port, port);
        s.session->toggle();
        QCOMPARE(s.session->statusLabel(), reason);
        QCOMPARE(s.session->requestState(), 1);
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QCOMPARE(s.status(), QStringLiteral("1"));
        QCOMPARE(log.events, QStringList({QStringLiteral("started"), QStringLiteral("failed ") + reason}));
        QObject context;
        const QStringList *seen = recordRueckgabe(s, &context);
        s.clock->advance(60000);
        QCOMPARE(*seen, QStringList({QStringLiteral("Timeout"), QString()}));
        QCOMPARE(s.session->statusLabel(), reason);
        QCOMPARE(s.session->requestState(), 1);
        s.session->toggle();
        QCOMPARE(s.session->requestState(), 0);
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
    }

    void binaryBodyRoundTrip()
    {
        SessionSetup s;
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        QByteArray body;
        for (int round = 0; round < 4; ++round)
            for (int b = 0; b < 256; ++b)
                body += char((b * 7 + round) & 0xFF);
        body += QByteArray("\r\n\r\n\0\r", 6);
        server.send("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n");
        QTRY_COMPARE(s.session->caption(), QStringLiteral("Stop"));
        server.send(body.left(300));
        QTRY_COMPARE(s.text(SeiteField::Text).size(), 300);
        server.send(body.mid(300));
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        const QString text = s.get(u"SeiteFenster(1).Text");
        QCOMPARE(text.size(), body.size());
        QCOMPARE(encodeCp1252(text), body);
    }

    void bodyTyped_requestCarriesIt()
    {
        SessionSetup s;
        ScriptedServer server;
        s.engine.Evaluate(u"SeiteFenster(1).Input.Anhang(Text(a=1&b=2))", {});
        s.engine.Evaluate(u"SeiteFenster(1).Input.Befehl(Text(POST /f HTTP/1.0))", {});
        QCOMPARE(s.text(SeiteField::Anhang), QStringLiteral("a=1&b=2"));
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.received.endsWith("a=1&b=2"));
        QVERIFY(server.received.startsWith("POST /f HTTP/1.0\r\n"));
        QVERIFY(server.received.contains("\r\nContent-Length: 7\r\n"));
        s.session->toggle();
    }

    void sendAndStopThroughTheScriptFunction()
    {
        SessionSetup s;
        ScriptedServer server;
        s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        s.set(SeiteField::Port, server.portText());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QTRY_VERIFY(server.requestComplete());
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QCOMPARE(s.session->caption(), QStringLiteral("Senden"));
        QCOMPARE(s.status(), QStringLiteral("0"));
    }

    void shutDownMidRequestEndsEverything()
    {
        SessionSetup s;
        ScriptedServer server;
        EventLog log(*s.session);
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\n");
        QTRY_COMPARE(s.status(), QStringLiteral("2"));
        const qsizetype heard = log.events.size();

        s.session->shutDown();
        QVERIFY(!s.clock->timerActive());
        QTRY_VERIFY(server.clientGone());
        // Nothing is published or reported any more; the toggle is ignored.
        s.session->toggle();
        QCOMPARE(s.session->caption(), QStringLiteral("Stopp"));
        QCOMPARE(s.status(), QStringLiteral("2"));
        s.clock->advance(60000);
        QTest::qWait(20);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(log.events.size(), heard);
    }

    void receptionWatchNamesTheOpenConnection()
    {
        // A script that waits in a loop asks the watch whether answer bytes
        // are waiting, without running the event loop.
        const auto watch = std::make_shared<ReceptionWatch>();
        SessionSetup s;
        s.session->setReceptionWatch(watch);
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        QVERIFY(!watch->empty());
        QVERIFY(!watch->dataWaiting());
        server.send("HTTP/1.1 200 OK\r\n\r\nda");
        QElapsedTimer t;
        t.start();
        while (!watch->dataWaiting() && t.elapsed() < 5000)
            QThread::msleep(2);
        QVERIFY(watch->dataWaiting());
        QTRY_COMPARE(s.text(SeiteField::Text), QStringLiteral("da"));
        QVERIFY(!watch->dataWaiting());
        // Stopped or shut down, the connection is no longer watched.
        s.session->toggle();
        QVERIFY(watch->empty());
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(!watch->empty());
        s.session->shutDown();
        QVERIFY(watch->empty());
    }

    void destroyedWhileConnectingIsQuiet()
    {
        ScriptedServer server;
        {
            SessionSetup s;
            s.sendTo(QStringLiteral("127.0.0.1"), server.port());
            s.session.reset();
        }
        QTest::qWait(50);
        QTRY_VERIFY(server.connections.isEmpty() || server.clientGone());
    }
};

QTEST_MAIN(TestRequestSession)
#include "tst_requestsession.moc"
