// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What keeps the native stack safe while scripts nest evaluations, calls and
// runs: counters with limits, and a watch on the stack itself.

#include "common/limits.h"

#include <QtGlobal>
#include <cstddef>

namespace varnok {

// Limits that keep the native stack safe; past one of them an evaluation
// reports error 2 and yields the empty text. Besides the counters, the engine
// watches the stack itself and stops with the same error while a reserve for
// the event loop and dialogs is still free (sanitizer builds use far bigger
// frames than release builds).
struct EngineLimits
{
    int evaluationDepth = limits::kEvaluationDepth;
    int shortcutExpansions = limits::kShortcutExpansions;
    qsizetype shortcutText = limits::kShortcutText;
    int callDepth = limits::kCallDepth;
    size_t stackReserve = limits::kStackReserve;
};

class StackGuard
{
public:
    StackGuard(); // measures the calling thread's stack

    EngineLimits limits;
    int evalDepth = 0;      // active evaluations
    int callDepth = 0;      // active user-function calls and error handlers
    int recordingError = 0; // > 0 while an error is written to or read from the run object

    // True when the frame at `frame` leaves less than the reserve free.
    bool exhausted(const void *frame) const
    {
        const quintptr here = reinterpret_cast<quintptr>(frame);
        if (m_stackEnd != 0)
            return here < m_stackEnd || here - m_stackEnd < limits.stackReserve;
        const size_t used = m_stackBase > here ? m_stackBase - here : 0;
        return used + limits.stackReserve > m_stackSize;
    }

    // Marks one Evaluate or RunScript frame; the outermost one fixes the
    // stack base against which the depth is measured.
    class Nesting
    {
    public:
        Nesting(StackGuard &g, const void *frame) : m_guard(g)
        {
            if (m_guard.m_nesting++ == 0)
                m_guard.m_stackBase = reinterpret_cast<quintptr>(frame);
        }
        ~Nesting() { --m_guard.m_nesting; }
        Nesting(const Nesting &) = delete;
        Nesting &operator=(const Nesting &) = delete;

    private:
        StackGuard &m_guard;
    };

private:
    int m_nesting = 0;        // active Evaluate and RunScript frames
    quintptr m_stackBase = 0; // frame address of the outermost one
    size_t m_stackSize = 0;   // the thread's stack limit
    quintptr m_stackEnd = 0;  // the stack's lowest address; 0 when unknown
};

// Counts one level of native nesting for as long as it lives.
class DepthGuard
{
public:
    DepthGuard(int &depth, int limit) : m_depth(depth), m_ok(++depth <= limit) {}
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard &) = delete;
    DepthGuard &operator=(const DepthGuard &) = delete;
    bool ok() const { return m_ok; }

private:
    int &m_depth;
    bool m_ok;
};

} // namespace varnok
