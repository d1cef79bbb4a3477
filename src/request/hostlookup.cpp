// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostlookup.h"

#include <QHostInfo>

namespace varnok {

namespace {

class SystemHostLookup : public HostLookup
{
public:
    void lookUp(const QString &name, QObject *context, Done done) override
    {
        QHostInfo::lookupHost(name, context, [done = std::move(done)](const QHostInfo &info) {
            done(info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>{});
        });
    }
};

} // namespace

std::unique_ptr<HostLookup> makeSystemHostLookup()
{
    return std::make_unique<SystemHostLookup>();
}

} // namespace varnok
