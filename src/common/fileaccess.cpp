// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileaccess.h"
#include "common/limits.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varnok {

namespace {

constexpr qint64 kChunk = 64 * 1024;

// An owned file descriptor.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now and tells whether the close reported an error (a delayed
    // write error of a network file system shows here).
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

QByteArray systemName(const QString &name)
{
    return QFile::encodeName(name);
}

// Opens a regular file. Anything else of that name is refused before it is
// opened (opening a device may already act on it), and once more after the
// open, which does not wait, in case the name was swapped in between.
Fd openRegular(const QByteArray &path, int flags, mode_t mode, struct stat &st)
{
    struct stat before;
    if (::stat(path.constData(), &before) == 0 && !S_ISREG(before.st_mode))
        return {};
    int fd;
    do
        fd = ::open(path.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    while (fd < 0 && errno == EINTR);
    Fd file(fd);
    if (!file || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return {};
    return file;
}

// Reads up to `size` bytes at `offset` (or from the current position when
// `offset` is negative); fewer only at the end of the file.
qint64 readUpTo(int fd, char *out, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const size_t want = size_t(std::min(size - done, kChunk));
        const ssize_t n = offset < 0 ? ::read(fd, out + done, want)
                                     : ::pread(fd, out + done, want, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool writeAll(int fd, const char *data, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const size_t want = size_t(std::min(size - done, kChunk));
        const ssize_t n = offset < 0 ? ::write(fd, data + done, want)
                                     : ::pwrite(fd, data + done, want, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// The file a name finally stands for: symbolic links are followed, also
// dangling ones (a new file is then created where the link points). False
// for a loop of links.
bool followLinks(QByteArray &path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size())
            return false;
        target.truncate(n);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    return false;
}

// The temporary file of the replacement being written, for a signal
// handler that ends the process (removeReplacementInProgress). A signal
// handler reaches only a plain static; the name itself lives in the
// replacing call's frame, and the pointer is published before the file is
// created and withdrawn only once it has been renamed or removed, so there
// is no moment at which the file exists unnamed here. Replacements happen on
// one thread, one at a time.
std::atomic<const char *> g_replacementInProgress{nullptr};
static_assert(std::atomic<const char *>::is_always_lock_free,
              "a signal handler may only read a lock-free atomic");

// Names the temporary file of a replacement for as long as it exists.
class TemporaryName
{
public:
    TemporaryName() = default;
    ~TemporaryName() { withdraw(); }
    TemporaryName(const TemporaryName &) = delete;
    TemporaryName &operator=(const TemporaryName &) = delete;

    const QByteArray &path() const { return m_path; }
    void publish(QByteArray path)
    {
        withdraw();
        m_path = std::move(path);
        g_replacementInProgress.store(m_path.constData());
    }
    void withdraw()
    {
        if (!m_path.isEmpty())
            g_replacementInProgress.store(nullptr);
        m_path.clear();
    }

private:
    QByteArray m_path;
};

// A new, empty, uniquely named file beside `path`, whose folder decides
// where a replacement can be renamed from in one step.
Fd createTemporaryBeside(const QByteArray &path, mode_t mode, TemporaryName &temp)
{
    const QByteArray folder = folderOf(path);
    for (int attempt = 0; attempt < limits::kTemporaryNameAttempts; ++attempt) {
        const quint64 tag = QRandomGenerator::global()->generate64();
        temp.publish(folder + "/.varnok-" + QByteArray::number(tag, 36) + ".tmp");
        int fd;
        do
            fd = ::open(temp.path().constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                        mode);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0)
            return Fd(fd);
        // Someone else's file of that name: not ours to remove.
        temp.withdraw();
        if (errno != EEXIST)
            break;
    }
    return {};
}

// Where a replacement of `name` goes, and what the replacement's mode is.
// False when the name may not be replaced: a loop of links, or something
// other than a regular file in the way.
bool replacementTarget(const QString &name, QByteArray &path, bool &exists, struct stat &st)
{
    if (!usableFileName(name))
        return false;
    path = systemName(name);
    if (!followLinks(path))
        return false;
    if (::lstat(path.constData(), &st) == 0) {
        exists = true;
        return S_ISREG(st.st_mode);
    }
    exists = false;
    return errno == ENOENT;
}

// Writes what `fill` produces into a temporary file beside `path` and puts
// it in `path`'s place. `existing` (when given) is the file being replaced,
// whose permissions and owner the new one takes; otherwise the new file is
// created with `newMode`, less the file-creation mask. `sync` has the data
// reach the disk before the rename, so not even a crash loses both files.
template<typename Fill>
bool replaceWith(const QByteArray &path, const struct stat *existing, mode_t newMode, bool sync,
                 Fill fill)
{
    TemporaryName tempName;
    Fd temp = createTemporaryBeside(path, existing ? S_IRUSR | S_IWUSR : newMode, tempName);
    if (!temp)
        return false;
    const QByteArray &tempPath = tempName.path();
    bool ok = fill(temp.get());
    if (ok && existing) {
        ok = ::fchmod(temp.get(), existing->st_mode & 07777) == 0;
        // Only root can give a file away; anyone else keeps the file as
        // their own, as a new file would be.
        if (ok && (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid())
            && ::fchown(temp.get(), existing->st_uid, existing->st_gid) != 0) {
            // Not allowed: the new file stays the caller's own.
        }
    }
    ok = ok && (!sync || ::fsync(temp.get()) == 0);
    ok = temp.close() && ok;
    ok = ok && ::rename(tempPath.constData(), path.constData()) == 0;
    if (!ok)
        ::unlink(tempPath.constData());
    return ok;
}

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

enum class Removal { Removed, NotAFile, Failed };

Removal removeIfFile(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return Removal::Failed;
    if (S_ISLNK(st.st_mode)) {
        // The link goes, not what it leads to; a link to a folder or a
        // device stands for that, not for a file.
        struct stat target;
        if (::stat(path.constData(), &target) == 0 && !S_ISREG(target.st_mode))
            return Removal::NotAFile;
    } else if (!S_ISREG(st.st_mode)) {
        return Removal::NotAFile;
    }
    return ::unlink(path.constData()) == 0 ? Removal::Removed : Removal::Failed;
}

} // namespace

void removeReplacementInProgress() noexcept
{
    if (const char *temp = g_replacementInProgress.load())
        ::unlink(temp);
}

bool usableFileName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QChar(u'\0'));
}

namespace {

// Reads `fd` to its end; `sizeHint` is the size it claims. False past
// `maxBytes`.
bool readToEnd(int fd, qint64 sizeHint, qint64 maxBytes, QByteArray &bytes)
{
    // The size a file claims is only a first guess: files of /proc claim 0,
    // and a file may grow while it is read. One byte more than allowed is
    // asked for, to see whether the file ends within the limit.
    QByteArray data;
    qint64 size = 0;
    qint64 capacity = std::min<qint64>(std::max<qint64>(sizeHint, 0) + 1, maxBytes + 1);
    for (;;) {
        data.resize(capacity);
        const qint64 n = readUpTo(fd, data.data() + size, capacity - size, -1);
        if (n < 0)
            return false;
        size += n;
        if (size < capacity)
            break;
        if (capacity > maxBytes)
            return false;
        capacity = std::min(std::max(capacity * 2, kChunk), maxBytes + 1);
    }
    data.truncate(size);
    bytes = std::move(data);
    return true;
}

} // namespace

bool readRegularFile(const QString &name, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    if (!usableFileName(name))
        return false;
    struct stat st;
    const Fd file = openRegular(systemName(name), O_RDONLY, 0, st);
    return file && st.st_size <= maxBytes && readToEnd(file.get(), st.st_size, maxBytes, bytes);
}

bool readStream(int fd, qint64 maxBytes, QByteArray &bytes)
{
    bytes.clear();
    return readToEnd(fd, 0, maxBytes, bytes);
}

bool replaceRegularFile(const QString &name, QByteArrayView bytes)
{
    QByteArray path;
    bool exists = false;
    struct stat st;
    if (!replacementTarget(name, path, exists, st))
        return false;
    if (exists)
        st.st_mode |= S_IWUSR;
    return replaceWith(path, exists ? &st : nullptr, 0666, true, [&](int fd) {
        return writeAll(fd, bytes.data(), bytes.size(), -1);
    });
}

bool readFileAt(const QString &name, qint64 offset, qint64 length, QByteArray &bytes)
{
    bytes.clear();
    if (!usableFileName(name) || offset < 0 || length < 0)
        return false;
    struct stat st;
    const Fd file = openRegular(systemName(name), O_RDWR | O_CREAT, 0666, st);
    if (!file)
        return false;
    const qint64 wanted = std::min(length, std::max<qint64>(0, qint64(st.st_size) - offset));
    QByteArray data(wanted, Qt::Uninitialized);
    if (readUpTo(file.get(), data.data(), wanted, offset) != wanted)
        return false;
    bytes = std::move(data);
    return true;
}

bool writeFileAt(const QString &name, qint64 offset, QByteArrayView bytes)
{
    if (!usableFileName(name) || offset < 0)
        return false;
    struct stat st;
    Fd file = openRegular(systemName(name), O_RDWR | O_CREAT, 0666, st);
    return file && writeAll(file.get(), bytes.data(), bytes.size(), offset) && file.close();
}

bool createEmptyFile(const QString &name)
{
    if (!usableFileName(name))
        return false;
    struct stat st;
    // Emptied only once it is known to be a regular file: O_TRUNC would act
    // on whatever the name stands for.
    Fd file = openRegular(systemName(name), O_WRONLY | O_CREAT, 0666, st);
    return file && ::ftruncate(file.get(), 0) == 0 && file.close();
}

bool copyRegularFile(const QString &source, const QString &target)
{
    if (!usableFileName(source))
        return false;
    struct stat from;
    const Fd in = openRegular(systemName(source), O_RDONLY, 0, from);
    if (!in)
        return false;
    QByteArray path;
    bool exists = false;
    struct stat to;
    if (!replacementTarget(target, path, exists, to))
        return false;
    if (exists && to.st_dev == from.st_dev && to.st_ino == from.st_ino)
        return false;
    // Not synced, as a plain copy is not: a script may copy many files.
    return replaceWith(path, exists ? &to : nullptr, from.st_mode & 0777, false, [&](int fd) {
        // Read to the end: the size a file claims (0 for files of /proc)
        // says nothing about what it holds.
        QByteArray buffer(kChunk, Qt::Uninitialized);
        for (;;) {
            const qint64 n = readUpTo(in.get(), buffer.data(), kChunk, -1);
            if (n < 0 || !writeAll(fd, buffer.constData(), n, -1))
                return false;
            if (n < kChunk)
                return true;
        }
    });
}

bool deleteFiles(const QString &name)
{
    if (!usableFileName(name))
        return false;
    const qsizetype slash = name.lastIndexOf(u'/');
    const QString filePart = slash >= 0 ? name.mid(slash + 1) : name;
    if (!filePart.contains(u'*') && !filePart.contains(u'?'))
        return removeIfFile(systemName(name)) == Removal::Removed;
    const QString folder = slash >= 0 ? name.left(slash + 1) : QStringLiteral("./");
    const QDir dir(folder);
    if (!dir.exists())
        return false;
    const QRegularExpression rx = wildcardPattern(filePart);
    bool any = false;
    bool ok = true;
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (!rx.match(entry).hasMatch())
            continue;
        switch (removeIfFile(systemName(folder + entry))) {
        case Removal::Removed:
            any = true;
            break;
        case Removal::Failed:
            any = true;
            ok = false;
            break;
        case Removal::NotAFile:
            break;
        }
    }
    return any && ok;
}

} // namespace varnok
