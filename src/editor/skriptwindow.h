// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The script window: a view of one SkriptDocument (the script, its run
// control and its document), with the script in an editor, the find bar,
// the window's menu and the captions of its state (Ausführen / Stopp, the
// document's name, "*" while modified).

#include "common/dialogs.h"
#include "common/textmodel.h"
#include "editor/skriptdocument.h"

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

    explicit Skript(std::shared_ptr<SkriptDocument> document, QWidget *parent = nullptr);
    ~Skript() override;

    SkriptDocument &document() const { return *m_document; }
    int index() const { return m_document->index(); }

    const std::shared_ptr<TextModel> &text1() const { return m_document->text1(); }
    TextBox *editor() const { return m_editor; }

    // The entries of this window's menu bar, shown in place of the main
    // window's while this window is active.
    QList<QAction *> menuBarActions() const;
    QAction *ausfuehrenAction() const { return m_ausfuehren; }

    // The document's commands, as the window's menu and keys give them.
    void Ausfuehren_Click() { m_document->Ausfuehren_Click(); }
    RunState runState() const { return m_document->runState(); }
    bool isIdle() const { return m_document->isIdle(); }
    bool stopRequested() const { return m_document->stopRequested(); }
    bool lastRunEndedByError() const { return m_document->lastRunEndedByError(); }
    bool LoadDatei(const QString &fileName) { return m_document->LoadDatei(fileName); }
    bool SaveDatei(const QString &fileName) { return m_document->SaveDatei(fileName); }
    bool isModified() const { return m_document->isModified(); }
    QString caption() const { return m_document->caption(); }
    QString currentFile() const { return m_document->currentFile(); }
    FindBar *findBar() const { return m_findBar; }

signals:
    // Entries that run the main window's handlers.
    void neuesFensterRequested();
    void neuerSkriptRequested();
    void anleitungRequested();
    void ueberRequested();

protected:
    // Asks the document; once it has agreed, the window closes whenever
    // asked.
    void closeEvent(QCloseEvent *event) override;

private:
    void showRunState(RunState from, RunState to);
    void showErrorPlace(qsizetype start, qsizetype length);
    // Shows and activates this window in its workspace.
    void bringForward();
    void findAgain(bool backward);

    std::shared_ptr<SkriptDocument> m_document;
    TextBox *m_editor = nullptr;
    FindBar *m_findBar = nullptr;   // child widget
    QLabel *m_refusal = nullptr;    // child widget
    QTimer m_refusalTimer;
    qsizetype m_errorStart = -1;
    qsizetype m_errorLength = 0;

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
