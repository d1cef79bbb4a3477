// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The per-run objects Skript(n): each run owns one while it lasts. A serial
// per index tells a run's object from a later one that reuses the index.

#include "objects/objecttree.h"

#include <vector>

namespace varnok {

// The run a context belongs to: the index of its per-run object Skript(n)
// and a serial that tells this run's object from a later one with the same
// index. A run whose object was released has a stale serial.
struct RunRef
{
    qint16 index = 0;
    quint64 serial = 0;
};

// Frame nodes of finished user-function calls, kept to serve later calls,
// and the empty elements they replaced, to put back when those calls end:
// a call then builds and discards no node. At most limits::kKeptFrames of
// each.
struct FramePool
{
    std::vector<NodePtr> used;
    std::vector<NodePtr> empty;
};

class RunObjects
{
public:
    explicit RunObjects(ObjectArrayPtr skriptArray);

    // A fresh object at the lowest free index; index 0 when all are in use.
    RunRef create();
    void release(qint16 index);
    bool alive(qint16 index) const;
    // True while `run` still owns its per-run object (always for index 0).
    bool isCurrent(const RunRef &run) const
    {
        return run.index == 0
            || (run.index > 0 && size_t(run.index) < m_serials.size()
                && m_serials[size_t(run.index)] == run.serial);
    }
    // The object of a current run other than 0, else null.
    NodePtr node(const RunRef &run) const;
    FramePool &framePool() { return m_framePool; }

private:
    FramePool m_framePool;
    ObjectArrayPtr m_skriptArray;
    quint64 m_nextSerial = 0;
    std::vector<quint64> m_serials; // by run index; 0 = free
};

} // namespace varnok
