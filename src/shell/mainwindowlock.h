// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lock that keeps the main window disabled while the help or the About
// window is open.

#include <QPointer>
#include <QWidget>

namespace varnok::sidewindow {

// Disables a window for as long as at least one lock on it exists. Counted
// on the window itself, so the help and the About window may overlap.
class MainWindowLock
{
public:
    explicit MainWindowLock(QWidget *window);
    ~MainWindowLock();
    MainWindowLock(const MainWindowLock &) = delete;
    MainWindowLock &operator=(const MainWindowLock &) = delete;

private:
    QPointer<QWidget> m_window;
};

} // namespace varnok::sidewindow
