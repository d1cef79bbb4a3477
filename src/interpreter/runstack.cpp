// SPDX-License-Identifier: GPL-3.0-or-later
#include "runstack.h"

#include "common/limits.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define VARNOK_FIBER_ANNOTATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNOK_FIBER_ANNOTATIONS 1
#endif
#endif
#ifdef VARNOK_FIBER_ANNOTATIONS
#include <sanitizer/common_interface_defs.h>

#include <dlfcn.h>
#endif

namespace varnok {

namespace {

#ifdef VARNOK_FIBER_ANNOTATIONS
// AddressSanitizer's own swapcontext leaves a stack this large as it is and
// only prints a warning, on standard error, which belongs to the scripts'
// boxes. The switches are announced below, so the C library's own
// swapcontext is called.
int switchContext(ucontext_t *from, const ucontext_t *to)
{
    using Swap = int (*)(ucontext_t *, const ucontext_t *);
    static const Swap libcSwap = [] {
        void *libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
        void *symbol = libc ? dlsym(libc, "swapcontext") : nullptr;
        return symbol ? reinterpret_cast<Swap>(symbol) : &::swapcontext;
    }();
    return libcSwap(from, to);
}
#else
int switchContext(ucontext_t *from, const ucontext_t *to)
{
    return ::swapcontext(from, to);
}
#endif

} // namespace

// AddressSanitizer keeps its own idea of the current stack; without being
// told of each switch it takes frames on the reserved stack for overflows.
struct RunStack::Contexts
{
    ucontext_t caller{};
    ucontext_t callee{};
#ifdef VARNOK_FIBER_ANNOTATIONS
    void *fakeStack = nullptr;
    const void *callerBottom = nullptr;
    std::size_t callerSize = 0;
#endif
};

RunStack::RunStack() = default;

RunStack::~RunStack()
{
    if (m_mapping)
        munmap(m_mapping, m_mapped);
}

bool RunStack::reserve()
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t page = pageSize > 0 ? std::size_t(pageSize) : 4096;
    const std::size_t guard = (limits::kRunStackGuard + page - 1) / page * page;
    for (const std::size_t size : limits::kRunStackSizes) {
        void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (p == MAP_FAILED)
            continue;
        if (mprotect(p, guard, PROT_NONE) != 0) {
            munmap(p, size);
            continue;
        }
        m_contexts = std::make_unique<Contexts>();
        m_mapping = p;
        m_mapped = size;
        m_low = reinterpret_cast<quintptr>(p) + guard;
        m_usable = size - guard;
        return true;
    }
    m_failed = true;
    return false;
}

void RunStack::enter(void (*body)(void *), void *arg)
{
    if (m_failed || (!m_mapping && !reserve())) {
        body(arg);
        return;
    }
    Contexts &c = *m_contexts;
    m_body = body;
    m_arg = arg;
    if (getcontext(&c.callee) != 0) {
        body(arg);
        return;
    }
    c.callee.uc_stack.ss_sp = reinterpret_cast<void *>(m_low);
    c.callee.uc_stack.ss_size = m_usable;
    c.callee.uc_link = &c.caller;
    // makecontext passes int arguments only: the object in two halves.
    const quint64 self = reinterpret_cast<quintptr>(this);
    makecontext(&c.callee, reinterpret_cast<void (*)()>(&RunStack::start), 2, unsigned(self >> 32),
                unsigned(self & 0xffffffffu));
    m_active = true;
#ifdef VARNOK_FIBER_ANNOTATIONS
    __sanitizer_start_switch_fiber(&c.fakeStack, reinterpret_cast<const void *>(m_low), m_usable);
#endif
    switchContext(&c.caller, &c.callee);
#ifdef VARNOK_FIBER_ANNOTATIONS
    __sanitizer_finish_switch_fiber(c.fakeStack, nullptr, nullptr);
#endif
    m_active = false;
    // A deep run leaves its pages committed; they go back to the system,
    // all but the top few every run uses.
    if (m_usable > limits::kRunStackKept)
        madvise(reinterpret_cast<void *>(m_low), m_usable - limits::kRunStackKept, MADV_DONTNEED);
    if (m_exception)
        std::rethrow_exception(std::exchange(m_exception, nullptr));
}

void RunStack::start(unsigned hi, unsigned lo)
{
    reinterpret_cast<RunStack *>(quintptr((quint64(hi) << 32) | lo))->startHere();
}

void RunStack::startHere()
{
#ifdef VARNOK_FIBER_ANNOTATIONS
    Contexts &c = *m_contexts;
    __sanitizer_finish_switch_fiber(nullptr, &c.callerBottom, &c.callerSize);
#endif
    // Nothing may unwind past the first frame of this stack.
    try {
        m_body(m_arg);
    } catch (...) {
        m_exception = std::current_exception();
    }
#ifdef VARNOK_FIBER_ANNOTATIONS
    // This stack's frames end here; back to the caller's.
    __sanitizer_start_switch_fiber(nullptr, c.callerBottom, c.callerSize);
#endif
}

} // namespace varnok
