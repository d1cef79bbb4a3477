// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's style, with its standard icons made once per process.
//
// Every MDI frame asks the style for its title-bar icons when it is built,
// and Qt's styles make each anew by reading and decoding the image files
// (loading the image plugins on the first). A hundred request windows spent
// a tenth of their opening there. The icons are the same for every window,
// so the first answer for each icon and layout direction is kept.

#include <QHash>
#include <QIcon>
#include <QProxyStyle>

#include <utility>

class QApplication;

namespace varnok {

class IconCacheStyle : public QProxyStyle
{
public:
    // Wraps the style the application would have had.
    IconCacheStyle() = default;

    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

private:
    mutable QHash<std::pair<int, int>, QIcon> m_icons;
};

// Puts the style on `app` (it takes ownership); before any window exists.
void installIconCacheStyle(QApplication &app);

} // namespace varnok
