// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `python3 -m http.server` on 127.0.0.1 and a free port, serving one folder,
// for end-to-end tests. It stops when the object goes.

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace varnok::test {

class LocalHttpServer
{
public:
    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty(); }

    // Starts serving `folder`; true once the server accepts connections.
    bool start(const QString &folder)
    {
        {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return false;
            m_port = probe.serverPort();
        }
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                         QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                         folder});
        if (!m_process.waitForStarted())
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    quint16 port() const { return m_port; }

    ~LocalHttpServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
        }
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace varnok::test
