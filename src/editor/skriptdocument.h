// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A script window without its screen: the script's text, its run control
// and the 100 ms timer of its waits, and the document (file, modified flag,
// caption) with the commands of the window's menu. varnok-run opens script
// windows as nothing but this; the desktop's window (Skript) is a view of
// one, showing its text in an editor and its state in captions.
//
// What needs a screen is asked for through signals: to come forward, to be
// disabled while a Laden or Neu waits for a run to stop, to show where an
// error happened. Nobody listening is fine.

#include "common/dialogs.h"
#include "common/textmodel.h"
#include "editor/runcontrol.h"
#include "interpreter/engine.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace varnok {

class SkriptDocument : public QObject, public std::enable_shared_from_this<SkriptDocument>
{
    Q_OBJECT
public:
    using RunState = RunControl::State;

    SkriptDocument(Engine &engine, ActiveRuns &activeRuns, Dialogs &dialogs);
    ~SkriptDocument() override;

    // The window's index 1..100; also sets the caption "Skript N - Neu".
    void setIndex(int index);
    int index() const { return m_index; }

    const std::shared_ptr<TextModel> &text1() const { return m_text1; }

    // Boxes and dialogs of this window are modal to what this gives (its
    // view's top-level window); none without.
    void setDialogParent(std::function<QObject *()> parent) { m_dialogParent = std::move(parent); }

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
    // "Skript N - NAME", as SetFormCaption made it.
    const QString &caption() const { return m_caption; }
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

    // An error box is about the statement at [start, start + length).
    void showErrorPlace(qsizetype start, qsizetype length);

    // Unload: refused (false) while a run is active or one of this window's
    // own dialogs is open, or when the save prompt says so; otherwise the
    // window is closed for good and closed() is emitted. True at once for
    // a window that is closed already.
    bool requestClose();
    bool isClosed() const { return m_closed; }

    // What a box says when something must wait for the run to end.
    static QString runningRefusedText();

signals:
    // Emitted once, when the window has agreed to close.
    void closed(int index);
    // After every change of the run's state.
    void runStateChanged(varnok::RunControl::State from, varnok::RunControl::State to);
    // Idle -> running/waiting and back (after runStateChanged).
    void busyChanged(int index);
    void captionChanged(const QString &caption);
    void modifiedChanged(bool modified);
    // The window should be seen: a question or an error is about it.
    void forwardRequested();
    // A Laden or Neu waits for the run to stop; nothing else may be done
    // with the window meanwhile.
    void exitingChanged(bool exiting);
    void errorPlaceShown(qsizetype start, qsizetype length);

private:
    void onRunStateChanged(RunState from, RunState to);
    void refuseWhileRunning();
    bool savePromptAllowsGoingOn();
    bool mayReplaceDocument();
    void setModified(bool modified);
    QObject *dialogParent() const { return m_dialogParent ? m_dialogParent() : nullptr; }

    Dialogs &m_dialogs;
    std::function<QObject *()> m_dialogParent;
    int m_index = 0;
    std::shared_ptr<TextModel> m_text1;
    RunControl m_run;
    QTimer m_timer1;
    bool m_closed = false;
    int m_openDialogs = 0; // own dialogs open right now

    bool m_modified = false;
    QString m_caption;
    QString m_currentFile;
    FileDialogSettings m_loadDialog;
    FileDialogSettings m_saveDialog;
};

} // namespace varnok
