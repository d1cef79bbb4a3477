// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a request window and its Mitschnitt window in a multi-document area
// after a real answer from a local server that answers gzip-compressed and
// chunked, and saves pictures of the timeline, the hex view and the
// decoded body.
//
//   Xvfb + openbox, then: mitschnitt_look OUTDIR

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"
#include "request/mitschnittwindow.h"
#include "request/seitewindow.h"
#include "common/headlessdialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <cstdio>

#include "lookshots.h"

using namespace varnok;
using namespace varnok::bench;

namespace {

// Answers every connection with a gzip-compressed page in three chunks.
constexpr const char *kServer = R"(
import gzip, socket
page = ('<!DOCTYPE html>\r\n<html><body>\r\n' + ''.join(
    '<p>Zeile %d: Hallo aus dem lokalen Server, gzip und chunked.</p>\r\n' % i for i in range(40))
    + '</body></html>\r\n').encode()
body = gzip.compress(page)
parts = [body[:40], body[40:200], body[200:]]
chunked = b''.join(b'%x\r\n' % len(p) + p + b'\r\n' for p in parts) + b'0\r\n\r\n'
answer = (b'HTTP/1.1 200 OK\r\nServer: lokal\r\nContent-Type: text/html\r\n'
          b'Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n' + chunked)
s = socket.socket()
s.bind(('127.0.0.1', 0))
s.listen(4)
print(s.getsockname()[1], flush=True)
while True:
    c, _ = s.accept()
    request = b''
    while b'\r\n\r\n' not in request:
        more = c.recv(65536)
        if not more:
            break
        request += more
    c.sendall(answer)
    c.close()
)";

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kServer)});
    if (!server.waitForReadyRead(10000))
        return 1;
    const quint16 port = quint16(server.readLine().trimmed().toUInt());

    NullHost host;
    Engine engine(host);
    HeadlessDialogs dialogs;
    LookWindow look(engine, 1200);
    QMainWindow &main = look.main;
    QMdiArea *area = look.area;
    SeiteWindow *w = look.seite;
    w->model(SeiteField::Server)->setText(QStringLiteral("127.0.0.1"));
    w->model(SeiteField::Port)->setText(QString::number(port));

    auto *view = new MitschnittWindow(dialogs, 1);
    view->follow(w->session());
    QMdiSubWindow *frame = area->addSubWindow(view);
    frame->show();
    frame->move(80, 60);
    frame->resize(1000, 700);

    w->Command1_Click();
    QElapsedTimer t;
    t.start();
    while (w->requestState() != 0 && t.elapsed() < 5000)
        settle(50);
    view->refresh();
    area->setActiveSubWindow(frame);
    save(&main, out + QStringLiteral("/mitschnitt-zeitablauf.png"));
    view->showTab(MitschnittWindow::EmpfangenTab);
    save(&main, out + QStringLiteral("/mitschnitt-hex.png"));
    view->findChild<QComboBox *>()->setCurrentIndex(0); // "Darstellung: Text"
    save(&main, out + QStringLiteral("/mitschnitt-text.png"));
    view->showTab(MitschnittWindow::DekodiertTab);
    save(&main, out + QStringLiteral("/mitschnitt-dekodiert.png"));

    server.kill();
    server.waitForFinished();
    return 0;
}
