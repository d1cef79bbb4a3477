// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the multi-document frame, its menu, the window registry
// and the application side of the interpreter (the Host seam).

#include "editor/runcontrol.h"
#include "interpreter/engine.h"
#include "interpreter/host.h"
#include "widgets/dialogs.h"
#include "shell/windowregistry.h"
#include "request/receptionwatch.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <chrono>
#include <memory>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace varnok {

class RequestSession;
class Skript;

class MainForm : public QMainWindow, public Host
{
    Q_OBJECT
public:
    // Never: the windows exist and behave as on screen, but nothing of them
    // is ever seen (varnok-run). Such a form has no menu bar and no window
    // icon, and none of its windows is painted.
    enum class Showing { OnScreen, Never };

    explicit MainForm(Dialogs &dialogs, QWidget *parent = nullptr);
    MainForm(Dialogs &dialogs, Showing showing, QWidget *parent = nullptr);
    ~MainForm() override;

    Engine &engine() { return m_engine; }
    Dialogs &dialogs() { return m_dialogs; }
    QMdiArea *mdiArea() const { return m_mdi; }
    const WindowRegistry &registry() const { return m_registry; }
    const ActiveRuns &activeRuns() const { return m_activeRuns; }

    int OpenSeiteWindow();
    int OpenSkriptWindow();
    bool IsSeiteWindowOpen(int index) const { return m_registry.seite.isOpen(index); }
    bool IsSkriptWindowOpen(int index) const { return m_registry.skript.isOpen(index); }
    // The open window of that index, or null.
    Skript *skriptWindow(int index) const;
    QWidget *seiteWindow(int index) const;
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
    bool anyScriptBusy() const;
    // Presses Stopp on every script window that runs or waits.
    void stopAllScripts();

    // Host
    void yield() override;
    void showScriptError(int number, const QString &message) override;
    void showLocatedScriptError(int number, const QString &message,
                                const ScriptErrorDetail &detail) override;
    int createSeiteWindow() override { return OpenSeiteWindow(); }
    int createSkriptWindow() override { return OpenSkriptWindow(); }
    bool hasSeiteWindow(int index) const override { return IsSeiteWindowOpen(index); }
    bool hasSkriptWindow(int index) const override { return IsSkriptWindowOpen(index); }
    void seiteSenden(int index) override;
    void seiteClose(int index) override;
    void skriptNeu(int index) override;
    bool skriptLaden(int index, const QString &fileName) override;
    bool skriptSpeichern(int index, const QString &fileName) override;
    void skriptAusfuehren(int index) override;
    void skriptClose(int index) override;

signals:
    // A script window became idle (its run ended, by any cause).
    void skriptIdle(int index);
    // Request window `index` is open and registered; its request engine.
    void seiteWindowOpened(int index, varnok::RequestSession *session);

protected:
    void closeEvent(QCloseEvent *event) override;
    // Script files dropped on the window open as `varnok FILE` opens them.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showMenuFor(QMdiSubWindow *sub);
    void onSubWindowActivated(QMdiSubWindow *sub);
    void onSkriptRunStateChanged(int index);
    void closeSubWindowOf(QWidget *window);
    // Gives a new child window its place and size inside the workspace.
    void placeNewSubWindow(QMdiSubWindow *sub, QSize size);
    void showLimitMessage();
    void openSideWindow(QPointer<QWidget> &slot, bool help);
    QWidget *dialogParent();

    Dialogs &m_dialogs;
    const Showing m_showing;
    WindowRegistry m_registry;
    Engine m_engine;
    QMdiArea *m_mdi = nullptr;
    QAction *m_neuesFenster = nullptr;
    QAction *m_neuerSkript = nullptr;
    QMenu *m_hilfeMenu = nullptr;
    QList<QAction *> m_shownActions;
    QIcon m_icon;
    QPointer<QWidget> m_hilfe;
    QPointer<QWidget> m_ueber;
    int m_cascadeStep = 0;

    // The script windows' runs that are executing: an error box belongs to
    // the innermost one.
    ActiveRuns m_activeRuns;
    bool m_closeWhenIdle = false;
    bool m_windowClosed = false; // since the last yield
    std::chrono::steady_clock::time_point m_lastEvents{};
    std::chrono::steady_clock::time_point m_lastClockRead{};
    int m_yieldsSinceClock = 0;
    int m_clockStep = 8; // statements from one clock read to the next
    int m_receptionChecks = 0; // statements since the last question
    // Sockets of request windows with an open connection (shared with them).
    std::shared_ptr<ReceptionWatch> m_receptions = std::make_shared<ReceptionWatch>();
};

} // namespace varnok
