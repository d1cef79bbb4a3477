// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the multi-document frame and its menu, and a view of
// every window its WindowHost opens (the engine, the registry, the Host
// seam): a script window's Skript, a request window's SeiteWindow, each in
// a frame of the workspace.

#include "common/dialogs.h"
#include "shell/windowhost.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <array>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace varnok {

class RequestSession;
class SeiteWindow;
class Skript;

class MainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainForm(Dialogs &dialogs, QWidget *parent = nullptr);
    ~MainForm() override;

    WindowHost &host() { return m_host; }
    Engine &engine() { return m_host.engine(); }
    Dialogs &dialogs() { return m_host.dialogs(); }
    QMdiArea *mdiArea() const { return m_mdi; }
    const WindowRegistry &registry() const { return m_host.registry(); }
    const ActiveRuns &activeRuns() const { return m_host.activeRuns(); }

    int OpenSeiteWindow() { return m_host.OpenSeiteWindow(); }
    int OpenSkriptWindow() { return m_host.OpenSkriptWindow(); }
    bool IsSeiteWindowOpen(int index) const { return m_host.IsSeiteWindowOpen(index); }
    bool IsSkriptWindowOpen(int index) const { return m_host.IsSkriptWindowOpen(index); }
    // The open window of that index, or null.
    Skript *skriptWindow(int index) const;
    SeiteWindow *seiteWindow(int index) const;
    static void OpenWithShell(const QString &text);

    // varnok FILE…: each file in a new script window, loaded as Laden loads
    // it. A file that cannot be loaded is named in a box and its window
    // closed again; when all 100 script windows are open, the menu's limit
    // message ends the opening.
    void openScriptFiles(const QStringList &fileNames);

    // Menu handlers; the script windows' entries of the same names call them.
    void Fenster_NeuesFenster_Click();
    void Skript_NeuerSkript_Click();
    void H_Anleitung_Click();
    void H_Ueber_Click();

    // The main menu's entries (what the menu bar shows while no script
    // window is active).
    QList<QAction *> mainMenuActions() const;

    // True while a script window runs or waits.
    bool anyScriptBusy() const { return m_host.anyScriptBusy(); }
    // Presses Stopp on every script window that runs or waits.
    void stopAllScripts() { m_host.stopAllScripts(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    // Script files dropped on the window open as `varnok FILE` opens them.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showSeiteWindow(int index);
    void showSkriptWindow(int index);
    void showMenuFor(QMdiSubWindow *sub);
    void onSubWindowActivated(QMdiSubWindow *sub);
    void onSkriptBusyChanged();
    void closeSubWindowOf(QWidget *window);
    // Gives a new child window its place and size inside the workspace.
    void placeNewSubWindow(QMdiSubWindow *sub, QSize size);
    void showLimitMessage();
    void openSideWindow(QPointer<QWidget> &slot, bool help);

    WindowHost m_host;
    std::array<QPointer<Skript>, WindowSlots::kSlots + 1> m_skriptViews;
    std::array<QPointer<SeiteWindow>, WindowSlots::kSlots + 1> m_seiteViews;
    QMdiArea *m_mdi = nullptr;
    QAction *m_neuesFenster = nullptr;
    QAction *m_neuerSkript = nullptr;
    QMenu *m_hilfeMenu = nullptr;
    QIcon m_icon;
    QPointer<QWidget> m_hilfe;
    QPointer<QWidget> m_ueber;
    int m_cascadeStep = 0;
    bool m_closeWhenIdle = false;
};

} // namespace varnok
