// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The native stack script runs execute on. User functions nest a runner, an
// evaluation and a call on the native stack for every call level, and
// nested parameters an evaluation for every parenthesis, so the language's
// own limits (32767 call levels, nesting without a limit of its own) need
// far more stack than a thread gets. The program reserves it itself: one
// large mapping whose pages the kernel commits only where a run touches
// them, with an inaccessible page at its low end. The outermost run enters
// it; everything that happens inside (nested runs, the events handled at a
// yield, error boxes) stays on it until that run returns or waits.

#include <QtGlobal>
#include <cstddef>
#include <exception>
#include <memory>
#include <type_traits>

namespace varnok {

class RunStack
{
public:
    RunStack();
    ~RunStack();
    RunStack(const RunStack &) = delete;
    RunStack &operator=(const RunStack &) = delete;

    // Runs `body` on the reserved stack, or directly when already on it or
    // when no stack could be reserved. An exception leaves `body` on the
    // reserved stack and is thrown again on the caller's.
    template <typename F>
    void run(F &&body)
    {
        if (m_active) {
            body();
            return;
        }
        using Body = std::remove_reference_t<F>;
        enter([](void *p) { (*static_cast<Body *>(p))(); }, &body);
    }

    bool active() const { return m_active; }
    // The lowest address a frame may use (above the guard page) and the
    // usable size; 0 without a reservation.
    quintptr low() const { return m_low; }
    std::size_t size() const { return m_usable; }

private:
    void enter(void (*body)(void *), void *arg);
    bool reserve();
    static void start(unsigned hi, unsigned lo);
    void startHere();

    struct Contexts;
    std::unique_ptr<Contexts> m_contexts;
    void *m_mapping = nullptr;
    std::size_t m_mapped = 0;
    quintptr m_low = 0;
    std::size_t m_usable = 0;
    bool m_active = false;
    bool m_failed = false; // no reservation could be made; runs stay where they are
    void (*m_body)(void *) = nullptr;
    void *m_arg = nullptr;
    std::exception_ptr m_exception;
};

} // namespace varnok
