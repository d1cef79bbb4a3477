// SPDX-License-Identifier: GPL-3.0-or-later
// A request engine against a real HTTP server process (python3 -m
// http.server on 127.0.0.1), driven through its window object: by single
// evaluations and by a script that waits for the answer.
#include "sessionfixture.h"

#include "common/conventions.h"
#include "editor/runcontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include "support/localhttpserver.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <random>

using namespace varnok;
using namespace varnok::test;

namespace {

// Runs a script in the run control of a script window 1 that has no window:
// to its end, the control's ticks continuing its waits as the timer would.
void runScript(Engine &engine, const QString &script)
{
    ActiveRuns activeRuns;
    RunControl control(engine, std::make_shared<TextModel>(script), activeRuns, {});
    control.setWindowIndex(1);
    control.ausfuehren();
    QElapsedTimer t;
    t.start();
    while (control.state() == RunControl::State::Waiting && t.elapsed() < 20000) {
        QTest::qWait(20);
        control.tick();
    }
}

} // namespace

class TestSeiteHttp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_site;
    varnok::test::LocalHttpServer m_server;
    quint16 m_port = 0;
    QByteArray m_binary;
    QByteArray m_page;

private slots:
    void initTestCase()
    {
        if (!varnok::test::LocalHttpServer::available())
            QSKIP("python3 is not installed");
        std::mt19937 rng(7);
        for (int i = 0; i < 300000; ++i)
            m_binary += char(rng() & 0xFF);
        for (int b = 0; b < 256; ++b)
            m_binary += char(b);
        m_page = "<html>\r\n<body>Gr\xfc\xdf" "e\r\n</body>\r\n</html>\r\n";
        for (const auto &[name, bytes] : {std::pair{"datei.bin", &m_binary}, std::pair{"index.html", &m_page}}) {
            QFile f(m_site.filePath(QLatin1StringView(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(*bytes);
        }
        QVERIFY2(m_server.start(m_site.path()), "http.server did not start");
        m_port = m_server.port();
    }

    void binaryFileThroughEvaluations()
    {
        SessionSetup s;
        const EvalContext ctx;
        s.engine.Evaluate(u"SeiteFenster(1).Input.Server(Text(127.0.0.1))", ctx);
        s.engine.Evaluate(QStringLiteral("SeiteFenster(1).Input.Port(%1)").arg(m_port), ctx);
        s.engine.Evaluate(u"SeiteFenster(1).Input.Befehl(Text(GET /datei.bin HTTP/1.0))", ctx);
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", ctx);
        QCOMPARE(s.status(), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 20000);

        QVERIFY(s.get(u"SeiteFenster(1).Output.Rueckgabe").startsWith(u"HTTP/1.0 200"));
        QVERIFY(s.get(u"SeiteFenster(1).Output.Server").startsWith(u"SimpleHTTP"));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Content-Length"), QString::number(m_binary.size()));
        QCOMPARE(s.get(u"SeiteFenster(1).Output.Content-Type"), QStringLiteral("application/octet-stream"));
        QVERIFY(!s.get(u"SeiteFenster(1).Output.Date").isEmpty());
        const QString body = s.get(u"SeiteFenster(1).Text");
        QCOMPARE(body.size(), m_binary.size());
        QVERIFY(encodeCp1252(body) == m_binary);
    }

    void scriptWaitsForTheAnswer()
    {
        SessionSetup s;
        const QString script = QStringLiteral(
            "EXEC SeiteFenster(1).Input.Server(Text(127.0.0.1))\r\n"
            "EXEC SeiteFenster(1).Input.Port(%1)\r\n"
            "EXEC SeiteFenster(1).Input.Befehl(Text(GET /index.html HTTP/1.0))\r\n"
            "EXEC SeiteFenster(1).Senden()\r\n"
            "WAITTILL Main.Bedingung.Text.Gleich(SeiteFenster(1).Status Text(0))\r\n"
            "EXEC SeiteFenster(1).Input.Referer(SeiteFenster(1).Output.Content-Type)\r\n"
            "QUIT\r\n")
                                   .arg(m_port);
        runScript(s.engine, script);
        QCOMPARE(s.status(), QStringLiteral("0"));
        QCOMPARE(s.text(SeiteField::Referer), QStringLiteral("text/html"));
        QCOMPARE(encodeCp1252(s.text(SeiteField::Text)), m_page);
        QCOMPARE(s.text(SeiteField::ContentLength), QString::number(m_page.size()));
    }

    void missingFileShowsTheServersAnswer()
    {
        SessionSetup s;
        s.set(SeiteField::Server, QStringLiteral("127.0.0.1"));
        s.set(SeiteField::Port, QString::number(m_port));
        s.set(SeiteField::Befehl, QStringLiteral("GET /fehlt.html HTTP/1.0"));
        s.engine.Evaluate(u"SeiteFenster(1).Senden()", {});
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), QStringLiteral("0"), 20000);
        QVERIFY(s.text(SeiteField::Rueckgabe).startsWith(u"HTTP/1.0 404"));
        QVERIFY(!s.text(SeiteField::Text).isEmpty());
    }
};

QTEST_MAIN(TestSeiteHttp)
#include "tst_seitehttp.moc"
