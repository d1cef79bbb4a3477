// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A request window over a real engine, and a server on 127.0.0.1 that
// records what it is sent and answers in pieces the test chooses.

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "objects/windowobjects.h"
#include "request/seitewindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace varnok::test {

// The application side the engine needs: one request window at index 1.
class SeiteHost : public NullHost
{
public:
    QPointer<SeiteWindow> window;
    int index = 1;

    void yield() override { QCoreApplication::processEvents(); }
    bool hasSeiteWindow(int i) const override { return i == index && window; }
    void seiteSenden(int i) override
    {
        if (hasSeiteWindow(i) && window->sendEnabled())
            window->Command1_Click();
    }
    void seiteClose(int i) override
    {
        if (hasSeiteWindow(i))
            window->close();
    }
};

// Opens the window as the main window does: index, node, Status "0".
struct SeiteSetup
{
    SeiteHost host;
    Engine engine{host};
    std::unique_ptr<SeiteWindow> window;

    SeiteSetup()
    {
        window = std::make_unique<SeiteWindow>(engine);
        host.window = window.get();
        QObject::connect(window.get(), &SeiteWindow::closed, [this](int i) {
            UnregisterSeiteFenster(engine.root(), qint16(i));
        });
        window->resize(700, 620);
        window->show();
        window->setIndex(1);
        RegisterSeiteFenster(engine.root(), 1, window->fields());
        engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    }

    QString get(QStringView path) { return engine.GetValueByPath(path, {}, 0); }
    QString status() { return get(u"SeiteFenster(1).Status"); }
    QString text(const char *control) { return window->model(QLatin1StringView(control))->text(); }
    void set(const char *control, const QString &t) { window->model(QLatin1StringView(control))->setText(t); }
};

class ScriptedServer : public QObject
{
public:
    QTcpServer server;
    QList<QPointer<QTcpSocket>> connections;
    QByteArray received; // of the latest connection
    QList<QByteArray> requests; // every connection's bytes, in order

    ScriptedServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connections << s;
                received.clear();
                requests << QByteArray();
                const qsizetype slot = requests.size() - 1;
                connect(s, &QTcpSocket::readyRead, this, [this, s, slot] {
                    const QByteArray b = s->readAll();
                    requests[slot] += b;
                    if (slot == requests.size() - 1)
                        received += b;
                });
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString portText() const { return QString::number(port()); }
    bool requestComplete() const { return received.contains("\r\n\r\n"); }
    QTcpSocket *client() const { return connections.isEmpty() ? nullptr : connections.last().data(); }
    void send(const QByteArray &bytes)
    {
        client()->write(bytes);
        client()->flush();
    }
    void closeClient() { client()->disconnectFromHost(); }
    bool clientGone() const
    {
        return client() && client()->state() == QAbstractSocket::UnconnectedState;
    }
};

} // namespace varnok::test
