// Golden scripts: every tests/scripts/*.varnok-skript file runs in script
// window 1 of the headless host, writing what it computes into script window
// 2. Its comment lines say what must come out:
//   ' ausgabe: TEXT   the text of window 2 (all such lines joined)
//   ' box: TITLE: TEXT  one message box, in order
//   ' antwort: ja|nein  the answer to the next question (optional)

#include "support/testhost.h"

#include "common/conventions.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace varnok;
using namespace varnok::test;

class TestScripts : public QObject
{
    Q_OBJECT
private slots:
    void scripts_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QString::fromLocal8Bit(qgetenv("VARNOK_SOURCE_DIR")) + QStringLiteral("/tests/scripts"));
        const auto files = dir.entryList({QStringLiteral("*.varnok-skript")}, QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), qPrintable(dir.path()));
        for (const QString &f : files)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }
    void scripts()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString script = decodeCp1252(file.readAll());

        QString expectedOutput;
        QStringList expectedBoxes;
        TestHost host;
        for (QStringView line : QStringView(script).split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.startsWith(u"' ausgabe: "))
                expectedOutput += line.mid(11);
            else if (line.startsWith(u"' box: "))
                expectedBoxes << line.mid(7).toString();
            else if (line.startsWith(u"' antwort: "))
                host.answers.push_back(line.mid(11) == u"ja");
        }
        QCOMPARE(host.openSkriptWindow(), 1);
        QCOMPARE(host.openSkriptWindow(), 2);
        const QStringList boxes = host.runScript(script);
        QCOMPARE(host.skript(2) ? host.skript(2)->text->text() : QStringLiteral("<geschlossen>"), expectedOutput);
        QCOMPARE(boxes, expectedBoxes);
        // Whatever happened, the run is over and its object released.
        if (host.skript(1)) {
            QVERIFY(!host.skript(1)->running);
            QCOMPARE(host.engine().GetValueByPath(u"SkriptFenster(1).Status", {}, 0), QStringLiteral("0"));
        }
        QVERIFY(!host.engine().SkriptObjectAlive(1));
    }
};

QTEST_GUILESS_MAIN(TestScripts)
#include "tst_scripts.moc"
