// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A request window without its screen: the text model of every field of
// the table, made with its default text, and the request engine that works
// on them. varnok-run opens request windows as nothing but this; the
// desktop's window (SeiteWindow) is a view of one.

#include "objects/windowobjects.h"
#include "request/requestsession.h"

#include <QObject>
#include <memory>

namespace varnok {

class Engine;

class SeiteDocument : public QObject
{
    Q_OBJECT
public:
    // Without a clock the session uses the system's.
    explicit SeiteDocument(Engine &engine, std::unique_ptr<RequestClock> clock = nullptr);
    ~SeiteDocument() override;

    // The Tag, 1..100.
    void setIndex(int index);
    int index() const { return m_index; }

    const std::shared_ptr<TextModel> &model(SeiteField field) const { return m_models[field]; }
    // The models as the script variables bind them (RegisterSeiteFenster).
    SeiteFields fields() const;
    RequestSession &session() const { return *m_session; }

    // The Send/Stop toggle; nothing once the window is closed.
    void Command1_Click();

    // Unload: the request ends with the window (no more socket or timer
    // events, no more Status), and closed() is emitted. Only the first call
    // does anything.
    void close();
    bool isClosed() const { return m_closed; }

signals:
    void closed(int index);

private:
    int m_index = 0;
    bool m_closed = false;
    SeiteModels m_models;
    std::unique_ptr<RequestSession> m_session;
};

} // namespace varnok
