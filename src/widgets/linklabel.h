// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLabel>

class QMouseEvent;

namespace varnok {

// A label that acts as a hyperlink: a 32 x 32 pointing hand with its hot
// spot at the finger tip (5, 0), and clicked() on a left click released
// over it.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace varnok
