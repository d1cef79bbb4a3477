#include "scriptfile.h"

#include "common/conventions.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace varnok {

QString decodeScriptFile(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    // A lone CR grows into CR LF, so the text is at most one character per
    // CR longer than the file.
    QString text(size + bytes.count('\r'), Qt::Uninitialized);
    QChar *out = text.data();
    qsizetype n = 0;
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\r')
            ++end;
        if (n > 0) {
            out[n++] = u'\r';
            out[n++] = u'\n';
        }
        for (qsizetype k = start; k < end; ++k)
            out[n++] = cp1252ToChar(static_cast<unsigned char>(data[k]));
        // Step over the separator: CR LF counts as one, a lone CR as well.
        start = end + 1;
        if (end < size && start < size && data[start] == '\n')
            ++start;
    }
    text.truncate(n);
    return text;
}

QByteArray encodeScriptFile(QStringView text)
{
    QByteArray bytes = encodeCp1252(text);
    bytes.append("\r\n", 2);
    return bytes;
}

bool readScriptFile(const QString &path, QString &text)
{
    text.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    text = decodeScriptFile(bytes);
    return true;
}

bool writeScriptFile(const QString &path, QStringView text)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    const bool existed = info.exists();
    if (existed && info.isDir())
        return false;

    // A named target is overwritten even when it is read-only: give it the
    // owner's write permission so the replacement is allowed. The new file
    // takes over these permissions.
    // The "User" flags describe the caller's access, not the file's mode:
    // keep only the mode bits.
    const QFileDevice::Permissions before =
        QFile::permissions(path)
        & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    bool madeWritable = false;
    if (existed && !(before & QFileDevice::WriteOwner))
        madeWritable = QFile::setPermissions(path, before | QFileDevice::WriteOwner);

    auto fail = [&] {
        if (madeWritable)
            QFile::setPermissions(path, before);
        return false;
    };

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    const QByteArray bytes = encodeScriptFile(text);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return fail();
    }
    if (!file.commit())
        return fail();
    return true;
}

} // namespace varnok
