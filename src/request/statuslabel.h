// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request window's status label: one line that shows as much of its
// text as fits, ending in "…" when it is cut, with the whole text as its
// tooltip then (a TLS reason is longer than the label in a window of
// normal size).

#include <QLabel>

namespace varnok {

class StatusLabel : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    const QString &fullText() const { return m_full; }
    bool isElided() const { return text() != m_full; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();

    QString m_full;
};

} // namespace varnok
