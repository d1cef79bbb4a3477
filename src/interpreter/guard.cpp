#include "guard.h"

#include <algorithm>
#include <sys/resource.h>

namespace varnok {

StackGuard::StackGuard()
{
    rlimit limit{};
    m_stackSize = 8u << 20;
    if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        m_stackSize = std::max<size_t>(limit.rlim_cur, 2u << 20);
}

} // namespace varnok
