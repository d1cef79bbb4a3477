#pragma once
// The script window: one script in an editor, its run control (Ausführen /
// Stopp, the wait timer) and its document (file, modified flag, caption).

#include "common/scripttext.h"
#include "interpreter/engine.h"
#include "common/textmodel.h"
#include "widgets/dialogs.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class QAction;
class QMenu;

namespace varnok {

class TextBox;

// The stop request of one script window, read by the runner after every
// statement.
class StopFlag : public RunCommand
{
public:
    bool stopRequested() const override { return m_stop; }
    void set(bool stop) { m_stop = stop; }

private:
    bool m_stop = false;
};

class Skript : public QWidget
{
    Q_OBJECT
public:
    enum class RunState { Idle, Running, Waiting };

    Skript(Engine &engine, Dialogs &dialogs, QWidget *parent = nullptr);
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
    void Ausfuehren_Click();
    RunState runState() const { return m_state; }
    bool isIdle() const { return m_state == RunState::Idle; }
    bool stopRequested() const { return m_stop->stopRequested(); }
    // Stops a waiting run and lets events run until the window is idle.
    // False when a run of this window is in progress further down the call
    // stack: it can only end after the caller has returned.
    bool ExitScript();
    // True when the last run ended with an error box (no ONERROR handler).
    bool lastRunEndedByError() const { return m_errorBoxInRun; }
    // The main window tells a run of this window that it showed an error box.
    void noteErrorBox() { m_errorBoxInRun = true; }

    // Document.
    bool LoadDatei(const QString &fileName);
    bool SaveDatei(const QString &fileName);
    void SetFormCaption(const QString &name);
    bool isModified() const { return m_modified; }
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
    // A run of this window starts or stops executing (also for each tick
    // that evaluates the wait condition). Lets the main window know whose
    // statement an error box belongs to.
    void runEntered(int index);
    void runLeft(int index);
    // Entries that run the main window's handlers.
    void neuesFensterRequested();
    void neuerSkriptRequested();
    void anleitungRequested();
    void ueberRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Timer1_Timer();
    void runFrom(RunRef run, qint32 startPosition);
    void afterRun();
    void finishRun();
    void setState(RunState state);
    void setStatus(QStringView value);
    void refuseWhileRunning();
    bool savePromptAllowsGoingOn();
    bool mayReplaceDocument();
    void onTextChanged();

    Engine &m_engine;
    Dialogs &m_dialogs;
    int m_index = 0;
    std::shared_ptr<TextModel> m_text1;
    std::shared_ptr<StopFlag> m_stop;
    TextBox *m_editor = nullptr;
    QTimer m_timer1;
    RunState m_state = RunState::Idle;
    bool m_ticking = false;
    bool m_errorBoxInRun = false;
    bool m_closed = false;

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
