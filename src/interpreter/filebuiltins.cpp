// The file built-ins Main.File.*: read and write at a position, create,
// delete (with wildcards) and copy. Every failure is error 8.

#include "builtinfunctions.h"

#include "common/conventions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>

namespace varnok::builtin {

namespace {

// Matches "*" and "?" only; every other character stands for itself.
QRegularExpression wildcardPattern(const QString &pattern)
{
    QString rx;
    for (const QChar c : pattern) {
        if (c == u'*')
            rx += QStringLiteral(".*");
        else if (c == u'?')
            rx += u'.';
        else
            rx += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx));
}

bool deleteFiles(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    const QString filePart = slash >= 0 ? name.mid(slash + 1) : name;
    if (!filePart.contains(u'*') && !filePart.contains(u'?'))
        return QFileInfo(name).isFile() || QFileInfo(name).isSymLink() ? QFile::remove(name) : false;
    const QString dirPart = slash >= 0 ? name.left(slash + 1) : QStringLiteral(".");
    QDir dir(dirPart.isEmpty() ? QStringLiteral("/") : dirPart);
    if (!dir.exists())
        return false;
    const QRegularExpression rx = wildcardPattern(filePart);
    bool any = false;
    bool ok = true;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : entries) {
        if (!rx.match(fi.fileName()).hasMatch())
            continue;
        any = true;
        ok = QFile::remove(fi.filePath()) && ok;
    }
    return any && ok;
}

// Main.File.Read and Main.File.Write share opening and positioning.
QString readOrWrite(Engine &engine, Params &p, const EvalContext &ctx, bool write)
{
    qint32 pos, len = 0;
    if (!int32(numericValue(p[2]), pos) || pos < 1
        || (!write && (!int32(numericValue(p[3]), len) || len < 0)))
        return engine.fail(8, ctx);
    QFile file(p[1]);
    if (p[1].isEmpty() || !file.open(QIODevice::ReadWrite) || !file.seek(qint64(pos) - 1))
        return engine.fail(8, ctx);
    if (write) {
        const QByteArray bytes = encodeCp1252(p[3]);
        if (file.write(bytes) != bytes.size())
            return engine.fail(8, ctx);
        return {};
    }
    // Past the end of the file only the bytes that exist are returned.
    const qint64 available = std::max<qint64>(0, file.size() - (qint64(pos) - 1));
    const QByteArray bytes = file.read(std::min<qint64>(len, available));
    if (bytes.size() < std::min<qint64>(len, available))
        return engine.fail(8, ctx);
    return decodeCp1252(bytes);
}

} // namespace

QString fileRead(Engine &engine, Params &p, const EvalContext &ctx)
{
    return readOrWrite(engine, p, ctx, false);
}

QString fileWrite(Engine &engine, Params &p, const EvalContext &ctx)
{
    return readOrWrite(engine, p, ctx, true);
}

QString fileCreate(Engine &engine, Params &p, const EvalContext &ctx)
{
    QFile file(p[1]);
    if (p[1].isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return engine.fail(8, ctx);
    return {};
}

QString fileDelete(Engine &engine, Params &p, const EvalContext &ctx)
{
    if (p[1].isEmpty() || !deleteFiles(p[1]))
        return engine.fail(8, ctx);
    return {};
}

QString fileCopy(Engine &engine, Params &p, const EvalContext &ctx)
{
    std::error_code ec;
    const std::filesystem::path from(QFile::encodeName(p[1]).toStdString());
    const std::filesystem::path to(QFile::encodeName(p[2]).toStdString());
    if (p[1].isEmpty() || p[2].isEmpty() || !std::filesystem::is_regular_file(from, ec)
        || !std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec))
        return engine.fail(8, ctx);
    return {};
}

} // namespace varnok::builtin
