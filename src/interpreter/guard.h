// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What keeps the native stack safe while scripts nest evaluations, calls and
// runs: the stack script runs execute on, and a watch on the stack in use.

#include "common/limits.h"
#include "runstack.h"

#include <QtGlobal>
#include <cstddef>

namespace varnok {

// Bounds on shortcut rewrites within one evaluation; past one of them the
// evaluation reports error 2 and yields the empty text.
struct EngineLimits
{
    int shortcutExpansions = limits::kShortcutExpansions;
    qsizetype shortcutText = limits::kShortcutText;
};

// Nesting has no count of its own: an evaluation, a user-function call or
// an error handler is refused (error 2, or the box instead of the handler)
// only while less than a reserve for the event loop and dialogs is left of
// the stack it would run on.
class StackGuard
{
public:
    StackGuard(); // measures the calling thread's stack

    EngineLimits limits;
    int recordingError = 0; // > 0 while an error is written to or read from the run object

    // True when the frame at `frame` leaves less than the reserve free.
    bool exhausted(const void *frame) const
    {
        const quintptr here = reinterpret_cast<quintptr>(frame);
        if (m_stack.end != 0)
            return here < m_stack.end || here - m_stack.end < m_stack.reserve;
        const size_t used = m_stackBase > here ? m_stackBase - here : 0;
        return used + m_stack.reserve > m_stack.size;
    }

    // Runs `body` on the run stack: entered by the outermost run, kept by
    // everything nested inside it.
    template <typename F>
    void onRunStack(F &&body)
    {
        if (m_runStack.active()) {
            body();
            return;
        }
        m_runStack.run([this, &body] {
            const Bounds thread = m_stack;
            if (m_runStack.active())
                m_stack = Bounds{m_runStack.low(), m_runStack.size(), limits::kStackReserve};
            struct Restore
            {
                StackGuard &guard;
                Bounds bounds;
                ~Restore() { guard.m_stack = bounds; }
            } restore{*this, thread};
            body();
        });
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
    struct Bounds
    {
        quintptr end = 0;   // the stack's lowest usable address; 0 when unknown
        size_t size = 0;    // its size
        size_t reserve = 0; // what is kept free of it
    };
    Bounds m_stack;           // the stack in use
    int m_nesting = 0;        // active Evaluate and RunScript frames
    quintptr m_stackBase = 0; // frame address of the outermost one
    RunStack m_runStack;
};

} // namespace varnok
