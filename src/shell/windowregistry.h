// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two tables that give every open child window its index 1..100, one
// table per window kind. A slot remembers the window that last took it; the
// reference is weak, so a window that is already gone reads as null.

#include "common/limits.h"

#include <QObject>
#include <QPointer>
#include <array>

namespace varnok {

class WindowSlots
{
public:
    static constexpr int kSlots = limits::kWindowsPerKind;

    // The lowest free index, or 0 when every index is in use.
    int lowestFree() const;
    // Marks `index` as used by `window`; false (and no change) when the index
    // is outside 1..100 or already in use.
    bool take(int index, QObject *window);
    // Marks `index` free again; the window reference stays as it was.
    void release(int index);
    // True when 1 <= index <= 100 and the slot is in use.
    bool isOpen(int index) const;
    // The window that last took `index` (null outside 1..100 or when gone).
    QObject *window(int index) const;
    int openCount() const;
    void clear();

private:
    struct Slot
    {
        bool free = true;
        QPointer<QObject> window;
    };
    static bool inRange(int index) { return index >= 1 && index <= kSlots; }
    std::array<Slot, kSlots + 1> m_slots{}; // element 0 is never used
};

// Request windows and script windows are counted separately.
struct WindowRegistry
{
    WindowSlots seite;
    WindowSlots skript;
    void clear()
    {
        seite.clear();
        skript.clear();
    }
};

} // namespace varnok
