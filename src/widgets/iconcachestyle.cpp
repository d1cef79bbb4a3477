// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/iconcachestyle.h"

#include <QApplication>
#include <QStyleOption>
#include <QWidget>

namespace varnok {

QIcon IconCacheStyle::standardIcon(StandardPixmap icon, const QStyleOption *option, const QWidget *widget) const
{
    // An option may carry a state or a palette the icon is drawn for; only
    // the plain question, which the frames ask, is answered from the cache.
    if (option)
        return QProxyStyle::standardIcon(icon, option, widget);
    const Qt::LayoutDirection direction = widget ? widget->layoutDirection() : QGuiApplication::layoutDirection();
    const std::pair<int, int> key{int(icon), int(direction)};
    const auto found = m_icons.constFind(key);
    if (found != m_icons.cend())
        return *found;
    QIcon made = QProxyStyle::standardIcon(icon, option, widget);
    m_icons.insert(key, made);
    return made;
}

void installIconCacheStyle(QApplication &app)
{
    app.setStyle(new IconCacheStyle);
}

} // namespace varnok
