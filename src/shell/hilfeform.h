// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help window "Anleitung" and the pieces it shares with the About
// window: a link label, the lock that keeps the main window disabled while
// such a window is open, and twips-to-pixel conversion.
//
// Use from the main window's menu entry:
//   HilfeForm::open(this, [](const QString &t) { MainForm::OpenWithShell(t); });
// The form is a top-level window of its own (no parent), deletes itself
// when closed, disables `mainWindow` while it is open and enables it again
// when it closes or is destroyed. Keep a QPointer to it to raise an open one
// instead of opening a second.

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace varnok {

class TextModel;
class TextBox;

using ShellOpen = std::function<void(const QString &)>;

namespace sidewindow {

// Disables a window for as long as at least one lock on it exists. Counted
// on the window itself, so the help and the About window may overlap.
class MainWindowLock
{
public:
    explicit MainWindowLock(QWidget *window);
    ~MainWindowLock();
    MainWindowLock(const MainWindowLock &) = delete;
    MainWindowLock &operator=(const MainWindowLock &) = delete;

private:
    QPointer<QWidget> m_window;
};

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
               QWidget *mainWindow, ShellOpen openWithShell);
    ~SideWindow() override;

    // Pixels for twips on this window's screen (1440 twips per inch).
    int twipsX(double twips) const;
    int twipsY(double twips) const;
    QRect twipsRect(int left, int top, int width, int height) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void shellOpen(const QString &text) const;
    // A label sized to its text, centred where the design box was.
    void placeSizedToText(QLabel *label, const QRect &designBox) const;

private:
    QPointer<QWidget> m_mainWindow;
    ShellOpen m_openWithShell;
    std::optional<MainWindowLock> m_lock;
    qreal m_dpiX = 96;
    qreal m_dpiY = 96;
};

} // namespace sidewindow

class HilfeForm : public sidewindow::SideWindow
{
    Q_OBJECT
public:
    HilfeForm(QWidget *mainWindow, ShellOpen openWithShell);
    ~HilfeForm() override;

    // Creates, shows and activates a help window; it deletes itself on close.
    static HilfeForm *open(QWidget *mainWindow, ShellOpen openWithShell);

    // The whole help text: the introduction followed by the reference list,
    // lines ending in CR LF.
    static QString helpText();
    static QString introduction();
    static QString referenceList();

    TextBox *textBox() const { return m_text; }

private:
    std::shared_ptr<TextModel> m_model;
    TextBox *m_text = nullptr;
};

} // namespace varnok
