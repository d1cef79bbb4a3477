// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A request window over a real engine, opened as the main window opens it;
// the servers of the request tests beside it.

#include "common/textmodel.h"
#include "interpreter/engine.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"
#include "request/seitewindow.h"
#include "support/manualrequestclock.h"
#include "support/requestservers.h"

#include <QCoreApplication>
#include <QPointer>

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
    ManualRequestClock *clock = nullptr; // owned by the window's session

    SeiteSetup()
    {
        auto manual = std::make_unique<ManualRequestClock>();
        clock = manual.get();
        window = std::make_unique<SeiteWindow>(engine, nullptr, std::move(manual));
        host.window = window.get();
        QObject::connect(window.get(), &SeiteWindow::closed, [this](int i) {
            UnregisterSeiteFenster(engine.root(), qint16(i));
        });
        window->resize(700, 620);
        window->show();
        window->setIndex(1);
        RegisterSeiteFenster(engine.root(), 1, window->fields(), builtinSites(),
                             window->session().mitschnittFields(), window->session().verbindungFields());
        engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    }

    QString get(QStringView path) { return engine.GetValueByPath(path, {}, 0); }
    QString status() { return get(u"SeiteFenster(1).Status"); }
    QString text(SeiteField f) { return window->model(f)->text(); }
    void set(SeiteField f, const QString &t) { window->model(f)->setText(t); }
};

} // namespace varnok::test
