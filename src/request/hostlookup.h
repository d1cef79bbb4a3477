// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Looking up the addresses of a host name, for a request window whose
// connection is limited to one address family (SeiteFenster(i).Verbindung.IP).
// A seam: tests hand a session a lookup that knows names no hosts file has.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace varnok {

class HostLookup
{
public:
    using Done = std::function<void(const QList<QHostAddress> &addresses)>;
    virtual ~HostLookup() = default;
    // Looks `name` up and calls `done` once with its addresses (none: not
    // found), on this thread and never from inside this call; not at all
    // once `context` is gone.
    virtual void lookUp(const QString &name, QObject *context, Done done) = 0;
};

// The system's resolver (QHostInfo).
std::unique_ptr<HostLookup> makeSystemHostLookup();

} // namespace varnok
