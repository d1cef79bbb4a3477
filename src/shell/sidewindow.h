// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the help window "Anleitung" and the About window "Über" share: a
// top-level window of fixed size given in twips that keeps the main window
// disabled while it is open, its links handed to the system shell, and the
// "Tahoma" font of their texts.

#include "mainwindowlock.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace varnok {

// Hands a link (a web address or a "mailto:" link) to the system shell;
// the main window passes `MainForm::OpenWithShell`.
using ShellOpen = std::function<void(const QString &)>;

namespace sidewindow {

// "Tahoma" at `pointSize` where it exists, otherwise a sans font of about
// its width.
QFont tahoma(qreal pointSize);
// Makes a one-line label's font smaller until its text fits `width`.
void shrinkToWidth(QLabel *label, int width);

// Base for both windows: fixed client size given in twips, centred on the
// screen, no minimize or maximize button, main window locked while shown.
class SideWindow : public QWidget
{
    Q_OBJECT
public:
    SideWindow(const QString &title, int clientWidthTwips, int clientHeightTwips,
               QWidget *mainWindow, ShellOpen linkOpener);
    ~SideWindow() override;

    // Pixels for twips on this window's screen (1440 twips per inch).
    int twipsX(double twips) const;
    int twipsY(double twips) const;
    QRect twipsRect(int left, int top, int width, int height) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void openLink(const QString &text) const;
    // A label sized to its text, centred where the design box was.
    void placeSizedToText(QLabel *label, const QRect &designBox) const;

private:
    QPointer<QWidget> m_mainWindow;
    ShellOpen m_linkOpener;
    std::optional<MainWindowLock> m_lock;
    qreal m_dpiX = 96;
    qreal m_dpiY = 96;
};

} // namespace sidewindow

} // namespace varnok
