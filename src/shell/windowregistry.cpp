// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowregistry.h"

namespace varnok {

int WindowSlots::lowestFree() const
{
    for (int i = 1; i <= kSlots; ++i)
        if (m_slots[size_t(i)].free)
            return i;
    return 0;
}

bool WindowSlots::take(int index, QObject *window)
{
    if (!inRange(index) || !m_slots[size_t(index)].free)
        return false;
    m_slots[size_t(index)].free = false;
    m_slots[size_t(index)].window = window;
    return true;
}

void WindowSlots::release(int index)
{
    if (inRange(index))
        m_slots[size_t(index)].free = true;
}

bool WindowSlots::isOpen(int index) const
{
    return inRange(index) && !m_slots[size_t(index)].free;
}

QObject *WindowSlots::window(int index) const
{
    return inRange(index) ? m_slots[size_t(index)].window.data() : nullptr;
}

int WindowSlots::openCount() const
{
    int n = 0;
    for (int i = 1; i <= kSlots; ++i)
        n += m_slots[size_t(i)].free ? 0 : 1;
    return n;
}

void WindowSlots::clear()
{
    for (Slot &s : m_slots)
        s.free = true;
}

} // namespace varnok
