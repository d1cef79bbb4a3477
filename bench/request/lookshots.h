// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request windows' screenshot programs: let a window settle, then save
// what it shows.

#include "interpreter/engine.h"
#include "objects/builtintree.h"
#include "objects/windowobjects.h"
#include "request/requestsession.h"
#include "request/seitewindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <QWidget>

#include <cstdio>

namespace varnok::bench {

inline void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

inline void save(QWidget *w, const QString &path)
{
    settle(300);
    if (!w->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

// A main window of `width` x 900 with request window 1 in its workspace,
// registered as a script sees it.
struct LookWindow
{
    LookWindow(Engine &engine, int width)
    {
        main.setWindowTitle(QStringLiteral("Varnok"));
        area = new QMdiArea;
        main.setCentralWidget(area);
        main.resize(width, 900);
        main.show();
        seite = new SeiteWindow(engine);
        frame = area->addSubWindow(seite);
        frame->show();
        seite->setIndex(1);
        seite->setWindowTitle(QStringLiteral("Seite 1"));
        RegisterSeiteFenster(engine.root(), 1, seite->fields(), builtinSites(),
                             seite->session().mitschnittFields());
        engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    }

    QMainWindow main;
    QMdiArea *area = nullptr;      // child of main
    SeiteWindow *seite = nullptr;  // child of area
    QMdiSubWindow *frame = nullptr; // seite's frame
};

} // namespace varnok::bench
