// SPDX-License-Identifier: GPL-3.0-or-later
#include "freshmemory.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace varnok {

void populatePages(void *data, std::size_t bytes)
{
#if defined(MADV_POPULATE_WRITE)
    constexpr std::size_t kPage = 4096;
    if (bytes < (std::size_t(64) << 10))
        return;
    // Whole pages only: the partial ones at either end may hold other data,
    // which the call would not harm, but they need no help either.
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kPage - 1);
    // An older kernel refuses; the pages then come one fault at a time.
    // (Large pages were no help: after a pause their faults took longer.)
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace varnok
