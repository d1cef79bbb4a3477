// SPDX-License-Identifier: GPL-3.0-or-later
#include "application.h"

#include "shell/buildinfo.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace varnok {

namespace {

QIcon paintedIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x4e, 0x8c));
        p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 6.0, size / 6.0);
        QPainterPath v;
        v.moveTo(size * 0.22, size * 0.22);
        v.lineTo(size * 0.50, size * 0.80);
        v.lineTo(size * 0.78, size * 0.22);
        QPen pen(Qt::white, size / 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.strokePath(v, pen);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon varnokIcon()
{
    return QIcon::fromTheme(QString::fromLatin1(buildinfo::appId), paintedIcon());
}

} // namespace varnok
