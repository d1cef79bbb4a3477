// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A request engine without a window: the models a window would own, the
// node SeiteFenster(1) bound to them, a real engine and a clock the test
// moves by hand.

#include "common/textmodel.h"
#include "interpreter/builtins.h"
#include "interpreter/engine.h"
#include "objects/windowobjects.h"
#include "request/requestsession.h"
#include "support/manualrequestclock.h"
#include "support/requestservers.h"

#include <QCoreApplication>

#include <memory>

namespace varnok::test {

// The application side the engine needs: request window 1 is the session.
class SessionHost : public NullHost
{
public:
    RequestSession *session = nullptr;

    void yield() override { QCoreApplication::processEvents(); }
    bool hasSeiteWindow(int i) const override { return i == 1 && session && !session->isShutDown(); }
    void seiteSenden(int i) override
    {
        if (hasSeiteWindow(i))
            session->toggle();
    }
};

struct SessionSetup
{
    SessionHost host;
    Engine engine{host};
    SeiteModels models;
    ManualRequestClock *clock = nullptr; // owned by the session
    std::unique_ptr<RequestSession> session;

    SessionSetup()
    {
        SeiteFields fields;
        for (const SeiteFieldRow &row : kSeiteFields) {
            models[row.field] = std::make_shared<TextModel>(row.defaultText.toString());
            fields[row.field] = models[row.field];
        }
        auto manual = std::make_unique<ManualRequestClock>();
        clock = manual.get();
        session = std::make_unique<RequestSession>(engine, models, std::move(manual));
        host.session = session.get();
        session->setIndex(1);
        RegisterSeiteFenster(engine.root(), 1, fields, builtinSites(), session->mitschnittFields(),
                             session->verbindungFields());
        engine.setWindowStatus(u"SeiteFenster", 1, u"0");
    }

    QString get(QStringView path) { return engine.GetValueByPath(path, {}, 0); }
    QString status() { return get(u"SeiteFenster(1).Status"); }
    QString text(SeiteField f) const { return models[f]->text(); }
    void set(SeiteField f, const QString &t) { models[f]->setText(t); }
    // Fills Server and Port and presses the toggle.
    void sendTo(const QString &server, quint16 port)
    {
        set(SeiteField::Server, server);
        set(SeiteField::Port, QString::number(port));
        session->toggle();
    }
};

} // namespace varnok::test
