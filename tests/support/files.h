// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small file helpers the tests of file access share.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace varnok::test {

// The file's bytes, or a marker no test writes when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<fehlt>");
}

inline void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// While it lives, files this process writes cannot grow past `bytes`: a
// write fails half-way, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit small = m_old;
        small.rlim_cur = bytes;
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        m_active = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previous);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_previous)(int) = nullptr;
    bool m_active = false;
};

} // namespace varnok::test
