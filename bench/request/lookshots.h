// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request windows' screenshot programs: let a window settle, then save
// what it shows.

#include <QCoreApplication>
#include <QElapsedTimer>
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

} // namespace varnok::bench
