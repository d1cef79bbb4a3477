// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Large buffers that are about to be written whole (a decoded answer, a
// piece copied out of a TLS socket) lie in memory never touched before. In
// this program's typical place, a container that accounts every page, a
// fault per 4 KiB page cost the kernel more than the copying or decoding
// itself; making all pages in one call is about twice as cheap.

#include <cstddef>

namespace varnok {

// Makes the pages of [data, data + bytes) present and writable now, where
// the kernel can (Linux 5.14 and later); elsewhere, or for a buffer under
// 64 KiB, nothing happens and the pages come one fault at a time.
void populatePages(void *data, std::size_t bytes);

} // namespace varnok
