// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/files.h"
#include "editor/scriptfile.h"

#include "common/fileaccess.h"
#include "common/limits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

using namespace varnok;
using namespace varnok::test;

class TestScriptFile : public QObject
{
    Q_OBJECT
private slots:
    void decodeLineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\r\nb");
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringLiteral("a\r\nb");
        QTest::newRow("lone cr splits") << QByteArray("a\rb\r") << QStringLiteral("a\r\nb");
        QTest::newRow("lone lf stays") << QByteArray("a\nb\nc\r\n") << QStringLiteral("a\nb\nc");
        QTest::newRow("lf only file is one line") << QByteArray("x\ny\n") << QStringLiteral("x\ny\n");
        QTest::newRow("leading empty lines lost") << QByteArray("\r\n\r\n\ra\r\n") << QStringLiteral("a");
        QTest::newRow("inner empty lines kept") << QByteArray("a\r\n\r\n\r\nb\r\n")
                                                << QStringLiteral("a\r\n\r\n\r\nb");
        QTest::newRow("trailing empty line kept once") << QByteArray("a\r\n\r\n")
                                                       << QStringLiteral("a\r\n");
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << QString();
        QTest::newRow("cr then crlf") << QByteArray("a\r\r\nb") << QStringLiteral("a\r\n\r\nb");
        QTest::newRow("lf then cr") << QByteArray("a\n\rb") << QStringLiteral("a\n\r\nb");
        QTest::newRow("tab and nul kept") << QByteArray("\ta\0b", 4) << QStringLiteral("\ta") + QChar(0) + u'b';
    }
    void decodeLineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeScriptFile(bytes), text);
    }

    void windows1252BothWays()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            if (b != '\r')
                all.append(char(b));
        const QString text = decodeScriptFile(all);
        QCOMPARE(text.size(), all.size());
        QCOMPARE(text.at(0x80 - 1), QChar(0x20AC)); // 0x80 is the euro sign ('\r' skipped)
        QCOMPARE(encodeScriptFile(text), all + "\r\n");
        QCOMPARE(encodeScriptFile(u"ä€\x0081"), QByteArray("\xe4\x80\x81\r\n"));
    }

    void charactersOutsideTheSetSaveAsQuestionMark()
    {
        QCOMPARE(encodeScriptFile(u"a\u4e2db"), QByteArray("a?b\r\n"));
    }

    void saveThenLoadReturnsTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("plain") << QStringLiteral("EXEC x\r\nQUIT") << QStringLiteral("EXEC x\r\nQUIT");
        QTest::newRow("ends with line break") << QStringLiteral("a\r\n") << QStringLiteral("a\r\n");
        QTest::newRow("two empty lines at end") << QStringLiteral("a\r\n\r\n") << QStringLiteral("a\r\n\r\n");
        QTest::newRow("leading empty lines go") << QStringLiteral("\r\n\r\nb") << QStringLiteral("b");
        QTest::newRow("lone lf survives") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
        QTest::newRow("lone cr becomes a line break") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("umlauts") << QStringLiteral("Größe ÄÖÜ ß €") << QStringLiteral("Größe ÄÖÜ ß €");
    }
    void saveThenLoadReturnsTheText()
    {
        QFETCH(QString, text);
        QFETCH(QString, loaded);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.varnok-skript"));
        QVERIFY(writeScriptFile(path, text));
        QCOMPARE(readAll(path), encodeScriptFile(text));
        QString back = QStringLiteral("old");
        QVERIFY(readScriptFile(path, back));
        QCOMPARE(back, loaded);
    }

    void missingFileDoesNotRead()
    {
        QTemporaryDir dir;
        QString text = QStringLiteral("old");
        QVERIFY(!readScriptFile(dir.filePath(QStringLiteral("nope")), text));
        QVERIFY(text.isEmpty());
        QVERIFY(!readScriptFile(dir.path(), text)); // a folder is no script
    }

    void readOnlyTargetIsOverwrittenAndLeftWritable()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ro.varnok-skript"));
        writeRaw(path, "old\r\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        QVERIFY(writeScriptFile(path, u"new"));
        QCOMPARE(readAll(path), QByteArray("new\r\n"));
        QVERIFY(QFile::permissions(path) & QFileDevice::WriteOwner);
    }

    void failedSaveLeavesTheOldFileIntact()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.varnok-skript"));
        writeRaw(path, "keep me\r\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));

        // A file size limit makes writing the new content fail half-way,
        // as a full disk would.
        bool ok = true;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.active());
            ok = writeScriptFile(path, QString(100000, u'x'));
        }

        QVERIFY(!ok);
        QCOMPARE(readAll(path), QByteArray("keep me\r\n"));
        // The read-only file stays read-only, and no half-written file is left.
        QVERIFY(!(QFile::permissions(path) & QFileDevice::WriteOwner));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void nulInNameLoadsAndSavesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.varnok-skript"));
        writeRaw(path, "EXEC Main.Timer()\r\n");
        const QString cut = path + QChar(u'\0') + QStringLiteral(".bak");
        QString text = QStringLiteral("old");
        QVERIFY(!readScriptFile(cut, text));
        QVERIFY(text.isEmpty());
        QVERIFY(!writeScriptFile(cut, u"new"));
        QCOMPARE(readAll(path), QByteArray("EXEC Main.Timer()\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
    }

    void onlyRegularFilesAreLoadedOrReplaced()
    {
        // Guards against a FIFO nobody writes to, whose open would block.
        alarm(10);
        QTemporaryDir dir;
        QStringList odd;
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        odd << fifo;
        // Private device nodes, when this test may make them: a null device
        // that swallows writes and a zero device that never ends.
        for (auto [name, minor] : {std::pair{"null", 3u}, std::pair{"zero", 5u}}) {
            const QString node = dir.filePath(QString::fromLatin1(name));
            if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600, makedev(1, minor)) == 0)
                odd << node;
        }
        for (const QString &path : std::as_const(odd)) {
            struct stat before;
            QCOMPARE(::lstat(QFile::encodeName(path).constData(), &before), 0);
            QString text;
            QVERIFY2(!readScriptFile(path, text), qPrintable(path));
            QVERIFY2(!writeScriptFile(path, u"EXEC Main.Timer()"), qPrintable(path));
            struct stat after;
            QCOMPARE(::lstat(QFile::encodeName(path).constData(), &after), 0);
            QCOMPARE(after.st_mode, before.st_mode);
            QCOMPARE(after.st_ino, before.st_ino);
        }
        // A link to such a file stands for it.
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(fifo, link));
        QVERIFY(!writeScriptFile(link, u"x"));
        QVERIFY(QFileInfo(link).isSymLink());
        alarm(0);
        // Nothing was left behind beside them.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                 odd.size() + 1);
    }

    void oversizedFileIsNotLoaded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.varnok-skript"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(limits::kScriptFileSize + 1)); // sparse: costs no disk
        }
        QString text;
        QVERIFY(!readScriptFile(path, text));
        QVERIFY(text.isEmpty());
        // The largest allowed file still loads.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.resize(limits::kScriptFileSize));
        }
        QVERIFY(readScriptFile(path, text));
        QCOMPARE(text.size(), limits::kScriptFileSize);
    }

    void saveIntoMissingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY(!writeScriptFile(dir.filePath(QStringLiteral("no/such/dir/x.varnok-skript")), u"a"));
        QVERIFY(!writeScriptFile(dir.path(), u"a"));
        QVERIFY(!writeScriptFile(QString(), u"a"));
    }
};

QTEST_GUILESS_MAIN(TestScriptFile)
#include "tst_scriptfile.moc"
