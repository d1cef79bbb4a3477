// SPDX-License-Identifier: GPL-3.0-or-later
#include "guard.h"

#include <algorithm>
#include <pthread.h>
#include <sys/resource.h>

namespace varnok {

StackGuard::StackGuard()
{
    // The thread's real stack: its lowest address and size. For the main
    // thread this is what the stack limit lets it grow to, however small
    // the limit was set. Evaluations outside a run (a window's Status, a
    // caller of the engine's own) run on it.
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void *low = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &low, &size) == 0 && low && size > 0) {
            m_stack.end = reinterpret_cast<quintptr>(low);
            m_stack.size = size;
        }
        pthread_attr_destroy(&attr);
    }
    if (m_stack.end == 0) {
        // Measured from the outermost evaluation instead.
        rlimit limit{};
        m_stack.size = 8u << 20;
        if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            m_stack.size = limit.rlim_cur;
    }
    // A quarter of a small stack is kept free for the error box, the event
    // loop and whatever runs at a yield; up to the full reserve on a large one.
    m_stack.reserve = std::min(limits::kStackReserve, m_stack.size / 4);
}

} // namespace varnok
