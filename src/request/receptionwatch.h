// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sockets of request windows with an open connection, for a script run
// that yields to the user interface only now and then: it asks here whether
// answer bytes are waiting and, if so, lets them in at once instead of at
// its next regular turn.

#include <QtGlobal>

#include <vector>

namespace varnok {

class ReceptionWatch
{
public:
    void add(qintptr socketDescriptor);
    void remove(qintptr socketDescriptor);
    bool empty() const { return m_descriptors.empty(); }
    // True when one of the sockets has bytes to read (or was closed by its
    // peer). Asks the system without waiting; costs nothing when no socket
    // is watched.
    bool dataWaiting() const;

private:
    std::vector<int> m_descriptors;
};

} // namespace varnok
