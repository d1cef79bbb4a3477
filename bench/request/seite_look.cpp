// SPDX-License-Identifier: GPL-3.0-or-later
// Shows a request window in a multi-document area and saves pictures of it:
// before sending, after a real answer from a local python3 http.server, and
// narrowed below its minimum size.
//
//   xvfb-run -s "-screen 0 1280x1024x24" seite_look OUTDIR

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"
#include "request/seitewindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include "lookshots.h"

using namespace varnok;
using namespace varnok::bench;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    // A small site for the real server.
    QTemporaryDir site;
    QFile page(site.filePath(QStringLiteral("index.html")));
    page.open(QIODevice::WriteOnly);
    page.write("<!DOCTYPE html>\r\n<html><head><title>Varnok</title></head>\r\n"
               "<body>\r\n<p>Hallo aus dem lokalen Server.</p>\r\n"
               "<p>Umlaute: \xe4\xf6\xfc\xdf, Steuerzeichen: \x01\x02\t|</p>\r\n</body></html>\r\n");
    page.close();
    const quint16 port = freePort();
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral("python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(port),
                  QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                  site.path()});
    server.waitForStarted();

    NullHost host;
    Engine engine(host);
    LookWindow look(engine, 1100);
    QMainWindow &main = look.main;
    SeiteWindow *w = look.seite;
    QMdiSubWindow *sub = look.frame;
    save(&main, out + QStringLiteral("/seite-vorher.png"));

    w->model(SeiteField::Server)->setText(QStringLiteral("127.0.0.1"));
    w->model(SeiteField::Port)->setText(QString::number(port));
    w->model(SeiteField::Befehl)->setText(QStringLiteral("GET /index.html HTTP/1.0"));
    QElapsedTimer t;
    t.start();
    // The server may still be starting: try until an answer came.
    for (;;) {
        w->Command1_Click();
        while (w->requestState() != 0 && t.elapsed() < 4000)
            settle(50);
        if (!w->model(SeiteField::Rueckgabe)->text().isEmpty() || t.elapsed() > 8000)
            break;
        if (w->requestState() != 0)
            w->Command1_Click();
        settle(200);
    }
    save(&main, out + QStringLiteral("/seite.png"));

    sub->resize(w->twipsToPixelsX(3000), w->twipsToPixelsY(4500));
    save(&main, out + QStringLiteral("/seite-schmal.png"));

    server.terminate();
    server.waitForFinished();
    return 0;
}
