// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindowlock.h"

#include <QVariant>

namespace varnok::sidewindow {

namespace {
// How many side windows hold a window disabled; kept on that window.
constexpr const char *kLockCount = "varnokSideWindowLocks";
} // namespace

MainWindowLock::MainWindowLock(QWidget *window) : m_window(window)
{
    if (!m_window)
        return;
    m_window->setProperty(kLockCount, m_window->property(kLockCount).toInt() + 1);
    m_window->setEnabled(false);
}

MainWindowLock::~MainWindowLock()
{
    if (!m_window)
        return;
    const int left = m_window->property(kLockCount).toInt() - 1;
    m_window->setProperty(kLockCount, left);
    if (left <= 0)
        m_window->setEnabled(true);
}

} // namespace varnok::sidewindow
