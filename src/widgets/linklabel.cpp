// SPDX-License-Identifier: GPL-3.0-or-later
#include "linklabel.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPixmap>

namespace varnok {

namespace {

// The hand of the old link labels: 32 x 32 pixels, the tip of the pointing
// finger at (5, 0), rather than the theme's hand with its own size and spot.
QCursor pointingHand()
{
    const QPixmap hand(QStringLiteral(":/varnok/pointinghand.png"));
    if (hand.isNull())
        return QCursor(Qt::PointingHandCursor);
    return QCursor(hand, 5, 0);
}

} // namespace

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(pointingHand());
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(p);
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

} // namespace varnok
