// SPDX-License-Identifier: GPL-3.0-or-later
// The file built-ins with names and files a careless or hostile script may
// hand them: names with a NUL, FIFOs and device nodes, files of /proc, and
// writes that fail half-way. Every failure is error 8 and leaves every file
// as it was; nothing blocks.

#include "support/files.h"
#include "evalfixture.h"

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

using namespace varnok;
using namespace varnok::test;

namespace {

QByteArray sys(const QString &path)
{
    return QFile::encodeName(path);
}

// The kind and identity of a directory entry, to see that it was left alone.
struct Entry
{
    mode_t mode = 0;
    ino_t inode = 0;
    bool operator==(const Entry &) const = default;
};

Entry entry(const QString &path)
{
    struct stat st;
    if (::lstat(sys(path).constData(), &st) != 0)
        return {};
    return {st.st_mode, st.st_ino};
}

int entries(const QTemporaryDir &dir)
{
    return int(QDir(dir.path())
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace

class TestFileSafety : public QObject
{
    Q_OBJECT

    // Names are handed to the built-ins through variables, so they can hold
    // any character.
    void name(EvalFixture &f, const char *variable, const QString &value)
    {
        f.host.engine().Evaluate(QStringLiteral("Skript.User.NewVariable(Text(%1))")
                                     .arg(QLatin1StringView(variable)),
                                 f.ctx);
        f.host.engine().SetValueByPath(QStringLiteral("Skript.User.%1").arg(QLatin1StringView(variable)),
                                       value, f.ctx.run, 0);
    }

private slots:
    void init()
    {
        // A FIFO whose open blocks would hang the test; end it instead.
        alarm(20);
    }
    void cleanup() { alarm(0); }

    void nulInNameActsOnNoFile()
    {
        QTemporaryDir dir;
        EvalFixture f;
        const QString keep = dir.filePath(QStringLiteral("keep.txt"));
        writeRaw(keep, "wichtig");
        const QString source = dir.filePath(QStringLiteral("quelle.txt"));
        writeRaw(source, "anderes");
        const QString cut = keep + QChar(u'\0') + QStringLiteral(".bak");
        name(f, "Cut", cut);
        name(f, "Quelle", source);
        name(f, "Wild", dir.filePath(QStringLiteral("k*")) + QChar(u'\0'));
        for (const char *call : {"Main.File.Copy(Skript.User.Quelle Skript.User.Cut)",
                                 "Main.File.Copy(Skript.User.Cut Skript.User.Quelle)",
                                 "Main.File.Create(Skript.User.Cut)",
                                 "Main.File.Write(Skript.User.Cut 1 Text(x))",
                                 "Main.File.Read(Skript.User.Cut 1 3)",
                                 "Main.File.Delete(Skript.User.Cut)",
                                 "Main.File.Delete(Skript.User.Wild)"}) {
            QCOMPARE(f.errors(QString::fromLatin1(call)), QStringLiteral("8"));
            QCOMPARE(readAll(keep), QByteArray("wichtig"));
            QCOMPARE(readAll(source), QByteArray("anderes"));
            QCOMPARE(entries(dir), 2);
        }
    }

    void copyIsExactOrLeavesTheTargetAsItWas()
    {
        QTemporaryDir dir;
        EvalFixture f;
        const QString target = dir.filePath(QStringLiteral("ziel.txt"));
        writeRaw(target, "wichtig");
        name(f, "Ziel", target);

        // Files of /proc claim to be empty; their content is what reading
        // to the end gives. This process's command line stays the same.
        name(f, "Proc", QStringLiteral("/proc/self/cmdline"));
        QCOMPARE(f.errors(u"Main.File.Copy(Skript.User.Proc Skript.User.Ziel)"), QString());
        const QByteArray cmdline = readAll(QStringLiteral("/proc/self/cmdline"));
        QVERIFY(!cmdline.isEmpty());
        QCOMPARE(readAll(target), cmdline);
        // The target stays the writable file it was.
        QVERIFY(QFileInfo(target).permissions() & QFileDevice::WriteOwner);

        // A copy whose writing fails half-way (a file size limit, as a full
        // disk would) is error 8, and the target keeps its old content.
        writeRaw(target, "wichtig");
        const QString big = dir.filePath(QStringLiteral("gross.bin"));
        writeRaw(big, QByteArray(100000, 'x'));
        name(f, "Gross", big);
        QString errors;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.active());
            errors = f.errors(u"Main.File.Copy(Skript.User.Gross Skript.User.Ziel)");
        }
        QCOMPARE(errors, QStringLiteral("8"));
        QCOMPARE(readAll(target), QByteArray("wichtig"));
        QCOMPARE(entries(dir), 2); // no half-written file is left

        // A copy onto itself changes nothing.
        QCOMPARE(f.errors(u"Main.File.Copy(Skript.User.Ziel Skript.User.Ziel)"), QStringLiteral("8"));
        QCOMPARE(readAll(target), QByteArray("wichtig"));
    }

    void onlyRegularFilesAreCreatedWrittenReplacedOrDeleted()
    {
        QTemporaryDir dir;
        EvalFixture f;
        const QString fifo = dir.filePath(QStringLiteral("f.tmp"));
        QCOMPARE(::mkfifo(sys(fifo).constData(), 0600), 0);
        QStringList odd{fifo};
        // A private null device, when this test may make one.
        const QString node = dir.filePath(QStringLiteral("n.tmp"));
        if (::mknod(sys(node).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
            odd << node;
        const QString plain = dir.filePath(QStringLiteral("a.tmp"));
        writeRaw(plain, "inhalt");
        name(f, "Plain", plain);
        // A link to the FIFO stands for it.
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(fifo, link));
        odd << link;

        for (const QString &path : std::as_const(odd)) {
            const Entry before = entry(path);
            name(f, "Odd", path);
            for (const char *call : {"Main.File.Create(Skript.User.Odd)",
                                     "Main.File.Write(Skript.User.Odd 1 Text(x))",
                                     "Main.File.Read(Skript.User.Odd 1 10)",
                                     "Main.File.Copy(Skript.User.Plain Skript.User.Odd)",
                                     "Main.File.Copy(Skript.User.Odd Skript.User.Plain)"}) {
                QVERIFY2(f.errors(QString::fromLatin1(call)) == QStringLiteral("8"),
                         qPrintable(path + u' ' + QLatin1StringView(call)));
                QCOMPARE(entry(path), before);
            }
            if (path != link) {
                QCOMPARE(f.errors(u"Main.File.Delete(Skript.User.Odd)"), QStringLiteral("8"));
                QCOMPARE(entry(path), before);
            }
        }
        QCOMPARE(readAll(plain), QByteArray("inhalt"));

        // A wildcard deletes the regular files it matches and nothing else.
        const Entry fifoEntry = entry(fifo);
        const Entry nodeEntry = entry(node);
        name(f, "Wild", dir.filePath(QStringLiteral("*.tmp")));
        QCOMPARE(f.errors(u"Main.File.Delete(Skript.User.Wild)"), QString());
        QVERIFY(!QFile::exists(plain));
        QCOMPARE(entry(fifo), fifoEntry);
        QCOMPARE(entry(node), nodeEntry);
        // Only those are left: no match is error 8.
        QCOMPARE(f.errors(u"Main.File.Delete(Skript.User.Wild)"), QStringLiteral("8"));
        QCOMPARE(entry(fifo), fifoEntry);
        QCOMPARE(entries(dir), int(odd.size()));
    }
};

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
