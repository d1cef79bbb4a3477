// SPDX-License-Identifier: GPL-3.0-or-later
#include "receptionwatch.h"

#include <algorithm>
#include <array>
#include <poll.h>

namespace varnok {

void ReceptionWatch::add(qintptr socketDescriptor)
{
    const int fd = int(socketDescriptor);
    if (fd >= 0 && std::find(m_descriptors.begin(), m_descriptors.end(), fd) == m_descriptors.end())
        m_descriptors.push_back(fd);
}

void ReceptionWatch::remove(qintptr socketDescriptor)
{
    std::erase(m_descriptors, int(socketDescriptor));
}

bool ReceptionWatch::dataWaiting() const
{
    if (m_descriptors.empty())
        return false;
    // At most 100 request windows; asked in small groups, so the question
    // needs no memory.
    constexpr size_t kGroup = 16;
    std::array<pollfd, kGroup> fds{};
    for (size_t from = 0; from < m_descriptors.size(); from += kGroup) {
        const size_t n = std::min(kGroup, m_descriptors.size() - from);
        for (size_t i = 0; i < n; ++i)
            fds[i] = pollfd{m_descriptors[from + i], POLLIN, 0};
        if (::poll(fds.data(), nfds_t(n), 0) > 0)
            return true;
    }
    return false;
}

} // namespace varnok
