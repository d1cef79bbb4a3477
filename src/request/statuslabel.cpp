// SPDX-License-Identifier: GPL-3.0-or-later
#include "statuslabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace varnok {

StatusLabel::StatusLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // The label never asks for more room than the layout gives it.
    setMinimumWidth(0);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusLabel::setFullText(const QString &text)
{
    // Every arriving piece says "Empfange Daten..." again; eliding means
    // shaping the text, which over TLS's small pieces took a third of the time.
    if (text == m_full)
        return;
    m_full = text;
    elide();
}

void StatusLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void StatusLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void StatusLabel::elide()
{
    const int room = contentsRect().width() - std::max(0, indent()) - 2 * margin();
    const QString shown = fontMetrics().elidedText(m_full, Qt::ElideRight, std::max(0, room));
    setText(shown);
    setToolTip(shown == m_full ? QString() : m_full);
}

} // namespace varnok
