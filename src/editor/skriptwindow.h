// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The script window: one script in an editor, the timer and the captions of
// its run control (Ausführen / Stopp; the control itself is RunControl) and
// its document (file, modified flag, caption).

#include "common/textmodel.h"
#include "editor/runcontrol.h"
#include "interpreter/engine.h"
#include "widgets/dialogs.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace varnok {

class FindBar;
class TextBox;

class Skript : public QWidget
{
    Q_OBJECT
public:
    using RunState = RunControl::State;

    Skript(Engine &engine, ActiveRuns &activeRuns, Dialogs &dialogs, QWidget *parent = nullptr);
    ~Skript() override;

    // The window's index 1..100; also sets the caption "Skript N - Neu".
    void setIndex(int index);
    int index() const { return m_index; }

    const std::shared_ptr<TextModel> &text1() const { return m_text1; }
    TextBox *editor() const { return m_editor; }

    // The entries of this window's menu bar, shown in place of the main
    // window's while this window is active.
    QList<QAction *> menuBarActions() const;
    QAction *ausfuehrenAction() const { return m_ausfuehren; }

    // Run control.
    void Ausfuehren_Click() { m_run.ausfuehren(); }
    RunState runState() const { return m_run.state(); }
    bool isIdle() const { return m_run.isIdle(); }
    bool stopRequested() const { return m_run.stopRequested(); }
    // Stops a waiting run and lets events run until the window is idle.
    // False when a run of this window is in progress further down the call
    // stack: it can only end after the caller has returned.
    bool ExitScript();
    // True when the last run ended with an error box (no ONERROR handler).
    bool lastRunEndedByError() const { return m_run.endedByError(); }

    // Document.
    bool LoadDatei(const QString &fileName);
    // Takes a text read elsewhere (varnok-run's standard input, a file with
    // LF line ends) as the loaded document: unmodified, bound to `fileName`,
    // or to no file when that is empty.
    void loadDocument(const QString &text, const QString &fileName);
    bool SaveDatei(const QString &fileName);
    void SetFormCaption(const QString &name);
    bool isModified() const { return m_modified; }
    // The caption as SetFormCaption made it (the window title less Qt's
    // "[*]" placeholder, which shows the modified state).
    QString caption() const;
    // An error box is about the statement at [start, start + length) of
    // this window's text: the window comes forward with it on screen and
    // marked (in the gutter too) until the next edit or run.
    void showErrorPlace(qsizetype start, qsizetype length);
    FindBar *findBar() const { return m_findBar; }
    QString currentFile() const { return m_currentFile; }
    const FileDialogSettings &loadDialog() const { return m_loadDialog; }
    const FileDialogSettings &saveDialog() const { return m_saveDialog; }

    // Menu commands.
    void neu_Click();
    void Laden_Click();
    void Speichern_Click();
    void Speichern_unter_Click();
    // SkriptFenster(i).Neu: empties the text, nothing else.
    void scriptNeu();

signals:
    // Emitted once, when the window has agreed to close.
    void closed(int index);
    // Idle -> running/waiting and back.
    void runStateChanged(int index);
    // Entries that run the main window's handlers.
    void neuesFensterRequested();
    void neuerSkriptRequested();
    void anleitungRequested();
    void ueberRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showRunState(RunState from, RunState to);
    void refuseWhileRunning();
    bool savePromptAllowsGoingOn();
    // Shows and activates this window in its workspace.
    void bringForward();
    bool mayReplaceDocument();
    void onTextChanged();
    void setModified(bool modified);
    void findAgain(bool backward);

    Dialogs &m_dialogs;
    int m_index = 0;
    std::shared_ptr<TextModel> m_text1;
    RunControl m_run;
    TextBox *m_editor = nullptr;
    FindBar *m_findBar = nullptr;   // child widget
    QLabel *m_refusal = nullptr;    // child widget
    QTimer m_refusalTimer;
    qsizetype m_errorStart = -1;
    qsizetype m_errorLength = 0;
    QTimer m_timer1;
    bool m_closed = false;
    int m_openDialogs = 0; // own dialogs open right now

    bool m_modified = false;
    QString m_currentFile;
    FileDialogSettings m_loadDialog;
    FileDialogSettings m_saveDialog;

    QAction *m_neuesFenster = nullptr;
    QAction *m_neuerSkript = nullptr;
    QAction *m_neu = nullptr;
    QAction *m_laden = nullptr;
    QAction *m_speichern = nullptr;
    QAction *m_speichernUnter = nullptr;
    QAction *m_ausfuehren = nullptr;
    QMenu *m_hilfeMenu = nullptr;
};

} // namespace varnok
