// SPDX-License-Identifier: GPL-3.0-or-later
// What varnok-run tells about requests, on an engine whose clock the test
// moves: a failure line once per Senden and reason, and a Mitschnitt file
// for every request that ends.
#include "request/sessionfixture.h"
#include "shell/requestreport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

class TestRequestReport : public QObject
{
    Q_OBJECT
private slots:
    void aFailureLineOncePerSendenAndReason()
    {
        SessionSetup s;
        QStringList lines;
        RequestReport report([&](const QString &line) { lines << line; }, QString());
        report.watch(1, s.session.get());
        const quint16 port = unusedPort();
        s.sendTo(QStringLiteral("http://127.0.0.1"), port);
        const QString line =
            QStringLiteral("varnok-run: Seite 1: Verbindung abgelehnt (127.0.0.1:%1)\n").arg(port);
        QTRY_COMPARE(lines, QStringList{line});
        // Each retry is a new Senden: one line a minute, not a flood.
        for (int minute = 2; minute <= 4; ++minute) {
            s.clock->advance(60000);
            QTRY_COMPARE(lines.size(), minute);
            QCOMPARE(lines.last(), line);
        }
        QTest::qWait(30);
        QCOMPARE(lines.size(), 4);
        s.session->toggle();
        // A connection that cannot even be attempted says so as well.
        s.set(SeiteField::Server, QString());
        s.session->toggle();
        QCOMPARE(lines.last(), QStringLiteral("varnok-run: Seite 1: Kein Server angegeben (:%1)\n").arg(port));
        s.session->toggle();
    }

    void everyRequestThatEndsIsWritten()
    {
        QTemporaryDir dir;
        SessionSetup s;
        QStringList lines;
        RequestReport report([&](const QString &line) { lines << line; }, dir.path());
        report.watch(7, s.session.get());
        ScriptedServer server;
        s.sendTo(QStringLiteral("127.0.0.1"), server.port());
        QTRY_VERIFY(server.requestComplete());
        server.send("HTTP/1.1 200 OK\r\nA: 1\r\n\r\nKörper");
        server.closeClient();
        QTRY_COMPARE(s.status(), QStringLiteral("0"));
        // A second request, stopped, and a third that times out.
        s.session->toggle();
        QTRY_COMPARE(server.requests.size(), 2);
        s.session->toggle();
        s.session->toggle();
        QTRY_COMPARE(server.requests.size(), 3);
        s.clock->advance(60000);
        s.session->toggle();
        QCOMPARE(lines, QStringList());

        QFile first(report.fileName(7, 1));
        QVERIFY(first.open(QIODevice::ReadOnly));
        const QByteArray text = first.readAll();
        QVERIFY(text.startsWith("== Info: Seite 7, Anfrage 1\n== Info: 127.0.0.1:"));
        QVERIFY(text.contains("=> Send data, " + QByteArray::number(server.requests.at(0).size()) + " bytes"));
        QVERIFY(text.contains("0000: GET / HTTP/1.1\n"));
        QVERIFY(text.contains("<= Recv data"));
        QVERIFY(text.contains("0000: HTTP/1.1 200 OK\n0011: A: 1\n0017: \n0019: K..rper\n"));
        QVERIFY(text.contains(" == Info: geschlossen\n"));
        for (int k : {2, 3, 4}) {
            QFile f(report.fileName(7, k));
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
            const QByteArray t = f.readAll();
            QVERIFY(t.contains(k == 3 ? " == Info: timeout\n" : " == Info: gestoppt\n"));
        }
        QVERIFY(!QFile::exists(report.fileName(7, 5)));
    }
};

QTEST_MAIN(TestRequestReport)
#include "tst_requestreport.moc"
