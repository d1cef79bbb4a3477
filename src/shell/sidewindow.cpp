// SPDX-License-Identifier: GPL-3.0-or-later
#include "sidewindow.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace varnok {

namespace sidewindow {

QFont tahoma(qreal pointSize)
{
    QFont font;
    // Where Tahoma is missing, a narrow sans of similar width keeps the
    // captions inside the boxes they were laid out for.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

void shrinkToWidth(QLabel *label, int width)
{
    // Last resort for a substitute font that is still too wide: a slightly
    // smaller caption beats a cut-off one.
    QFont font = label->font();
    while (font.pointSizeF() > 6
           && QFontMetrics(font).horizontalAdvance(label->text()) > width) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    label->setFont(font);
}

SideWindow::SideWindow(const QString &title, int clientWidthTwips, int clientHeightTwips,
                       QWidget *mainWindow, ShellOpen linkOpener)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint),
      m_mainWindow(mainWindow), m_linkOpener(std::move(linkOpener))
{
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    QScreen *screen = mainWindow && mainWindow->screen() ? mainWindow->screen()
                                                         : QGuiApplication::primaryScreen();
    if (screen) {
        m_dpiX = screen->logicalDotsPerInchX();
        m_dpiY = screen->logicalDotsPerInchY();
    }
    const QSize client(twipsX(clientWidthTwips), twipsY(clientHeightTwips));
    setFixedSize(client);
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(client.width() / 2, client.height() / 2));
    }
    // A window the main window was closed under has nothing left to help with.
    if (mainWindow)
        connect(mainWindow, &QObject::destroyed, this, &QWidget::close);
    // Its own top-level window, yet transient for the main window: the
    // window manager keeps it above the disabled main window, so a click on
    // that cannot bury it. (A Qt parent would be disabled with the main
    // window; a plain Qt::Window is never made transient on X11, a dialog
    // window is.)
    if (mainWindow && mainWindow->window()->windowHandle()) {
        create();
        windowHandle()->setTransientParent(mainWindow->window()->windowHandle());
    }
}

SideWindow::~SideWindow() = default;

int SideWindow::twipsX(double twips) const { return qRound(twips * m_dpiX / 1440.0); }
int SideWindow::twipsY(double twips) const { return qRound(twips * m_dpiY / 1440.0); }

QRect SideWindow::twipsRect(int left, int top, int width, int height) const
{
    const int x = twipsX(left);
    const int y = twipsY(top);
    return {x, y, twipsX(left + width) - x, twipsY(top + height) - y};
}

void SideWindow::showEvent(QShowEvent *event)
{
    if (!m_lock)
        m_lock.emplace(m_mainWindow.data());
    QWidget::showEvent(event);
}

void SideWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        m_lock.reset();
}

void SideWindow::openLink(const QString &text) const
{
    if (m_linkOpener)
        m_linkOpener(text);
}

void SideWindow::placeSizedToText(QLabel *label, const QRect &designBox) const
{
    label->adjustSize();
    QRect r(QPoint(0, 0), label->sizeHint());
    r.moveCenter(designBox.center());
    r.moveTop(designBox.top());
    label->setGeometry(r);
}

} // namespace sidewindow

} // namespace varnok
