// SPDX-License-Identifier: GPL-3.0-or-later
#include "skriptwindow.h"

#include "editor/findbar.h"
#include "editor/scriptfile.h"
#include "interpreter/engine.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

namespace varnok {

namespace {

const QString kRunningRefused = QStringLiteral("Nicht möglich während der Skript ausgeführt wird.");
const QString kSaveQuestion = QStringLiteral("Wollen sie den aktuellen Skript vorher noch speichern?");
const QString kOverwriteQuestion = QStringLiteral(
    "Die ausgewählte Datei ist bereits vorhanden. Wollen sie die Datei überschreiben?");
const QString kLoadFailed = QStringLiteral("Fehler beim Laden.");
const QString kSaveFailed = QStringLiteral("Fehler beim Speichern.");
const QString kFilter = QStringLiteral("Skripte (*.varnok-skript);;alle Dateien (*)");
const QString kPreset = QStringLiteral("*.varnok-skript");
const QString kCaptionRun = QStringLiteral("Ausführen");
const QString kCaptionStop = QStringLiteral("Stopp");

// Counts the window's own dialogs while they are open: their event loop may
// deliver a close of this very window, which must wait until they return.
class DialogScope
{
public:
    explicit DialogScope(int &open) : m_open(open) { ++m_open; }
    ~DialogScope() { --m_open; }
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;

private:
    int &m_open;
};

} // namespace

Skript::Skript(Engine &engine, ActiveRuns &activeRuns, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent),
      m_dialogs(dialogs),
      m_text1(std::make_shared<TextModel>()),
      m_run(engine, m_text1, activeRuns,
            [this](RunState from, RunState to) { showRunState(from, to); }),
      m_loadDialog{QStringLiteral("Skript laden"), kFilter, QString(), kPreset},
      m_saveDialog{QStringLiteral("Skript speichern"), kFilter, QStringLiteral("varnok-skript"), kPreset}
{
    m_editor = new TextBox(m_text1, TextBox::Mode::MultiLine, this);
    m_editor->setFixedFont(QStringLiteral("Courier"), 9.75);
    m_editor->setWordWrap(false);
    m_editor->setLineNumbersShown(true);
    m_editor->setScriptHighlighting(true);
    m_findBar = new FindBar(m_editor, this);
    m_refusal = new QLabel(kRunningRefused, this);
    m_refusal->setContentsMargins(6, 2, 6, 2);
    m_refusal->hide();
    m_refusalTimer.setSingleShot(true);
    m_refusalTimer.setInterval(3000);
    connect(&m_refusalTimer, &QTimer::timeout, m_refusal, &QWidget::hide);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_editor, 1);
    layout->addWidget(m_findBar);
    layout->addWidget(m_refusal);
    setFocusProxy(m_editor);
    // Typing into a running script's text does nothing; a line below the
    // editor says why for a moment.
    connect(m_editor, &TextBox::editRefused, this, [this] {
        m_refusal->show();
        m_refusalTimer.start();
    });

    // Find, replace and go to a line: keys of the window itself, not menu
    // entries (the menu bar stays as it is).
    const auto key = [this](const QKeySequence &seq, auto &&slot) {
        auto *a = new QAction(this);
        a->setShortcut(seq);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { m_findBar->open(FindBar::Mode::Find); });
    key(QKeySequence(Qt::CTRL | Qt::Key_H), [this] { m_findBar->open(FindBar::Mode::Replace); });
    key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { m_findBar->open(FindBar::Mode::GoToLine); });
    key(QKeySequence(Qt::Key_F3), [this] { findAgain(false); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { findAgain(true); });

    connect(m_text1.get(), &TextModel::changed, this, &Skript::onTextChanged);

    // A coarse timer may fire up to 5 % early; a wait lasts the full interval.
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(RunControl::kTickInterval);
    connect(&m_timer1, &QTimer::timeout, this, [this] { m_run.tick(); });

    m_neuesFenster = new QAction(QStringLiteral("neues Fenster"), this);
    m_neuerSkript = new QAction(QStringLiteral("neuer Skript"), this);
    m_neu = new QAction(QStringLiteral("Neu"), this);
    m_laden = new QAction(QStringLiteral("Laden"), this);
    m_speichern = new QAction(QStringLiteral("Speichern"), this);
    m_speichernUnter = new QAction(QStringLiteral("Speichern unter"), this);
    m_ausfuehren = new QAction(kCaptionRun, this);
    m_hilfeMenu = new QMenu(QStringLiteral("?"), this);
    QAction *anleitung = m_hilfeMenu->addAction(QStringLiteral("Anleitung"));
    m_hilfeMenu->addSeparator();
    QAction *ueber = m_hilfeMenu->addAction(QStringLiteral("Über"));

    // The keys people expect; they act while this window's menu is in the
    // main window's menu bar, that is while this window is active. Fixed
    // keys rather than the platform's standard ones, which lack "Save as"
    // on some platforms.
    m_laden->setShortcut(Qt::CTRL | Qt::Key_O);
    m_speichern->setShortcut(Qt::CTRL | Qt::Key_S);
    m_speichernUnter->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    m_ausfuehren->setShortcut(Qt::Key_F5); // "Stopp" while a run is active
    anleitung->setShortcut(Qt::Key_F1);

    connect(m_neuesFenster, &QAction::triggered, this, &Skript::neuesFensterRequested);
    connect(m_neuerSkript, &QAction::triggered, this, &Skript::neuerSkriptRequested);
    connect(anleitung, &QAction::triggered, this, &Skript::anleitungRequested);
    connect(ueber, &QAction::triggered, this, &Skript::ueberRequested);
    connect(m_neu, &QAction::triggered, this, &Skript::neu_Click);
    connect(m_laden, &QAction::triggered, this, &Skript::Laden_Click);
    connect(m_speichern, &QAction::triggered, this, &Skript::Speichern_Click);
    connect(m_speichernUnter, &QAction::triggered, this, &Skript::Speichern_unter_Click);
    connect(m_ausfuehren, &QAction::triggered, this, &Skript::Ausfuehren_Click);

    resize(560, 380);
}

Skript::~Skript() = default;

void Skript::setIndex(int index)
{
    m_index = index;
    m_run.setWindowIndex(index);
    SetFormCaption(QStringLiteral("Neu"));
}

QList<QAction *> Skript::menuBarActions() const
{
    return {m_neuesFenster, m_neuerSkript, m_neu,        m_laden,
            m_speichern,    m_speichernUnter, m_ausfuehren, m_hilfeMenu->menuAction()};
}

// ---------------------------------------------------------------- run control

void Skript::findAgain(bool backward)
{
    if (m_findBar->findField()->text().isEmpty() || m_findBar->mode() == FindBar::Mode::GoToLine)
        m_findBar->open(FindBar::Mode::Find);
    if (!m_findBar->findField()->text().isEmpty())
        m_findBar->findNext(backward);
}

void Skript::showErrorPlace(qsizetype start, qsizetype length)
{
    if (start < 0)
        return;
    bringForward();
    m_errorStart = start;
    m_errorLength = length;
    m_editor->setMarkedRange(start, length);
    m_editor->ensureModelRangeVisible(start, length);
}

void Skript::showRunState(RunState from, RunState to)
{
    // A new run forgets the last error's mark; a run that ended after its
    // error box keeps the failing statement on screen.
    if (from == RunState::Idle && to != RunState::Idle)
        m_editor->clearMark();
    // The timer runs exactly while the run waits; entering the state again
    // (a continued run that reaches its next wait) starts a fresh interval.
    if (to == RunState::Waiting)
        m_timer1.start();
    else
        m_timer1.stop();
    m_ausfuehren->setText(to == RunState::Idle ? kCaptionRun : kCaptionStop);
    if ((from == RunState::Idle) != (to == RunState::Idle))
        emit runStateChanged(m_index);
    // The screen follows the selection at its own rate; a run that waits or
    // ends shows where it stands at once.
    if (to != RunState::Running)
        m_editor->syncSelectionNow();
    if (to == RunState::Idle && m_editor->markedLine() >= 0)
        m_editor->ensureModelRangeVisible(m_errorStart, m_errorLength);
    if (to == RunState::Idle)
        m_refusal->hide();
}

bool Skript::ExitScript()
{
    if (isIdle())
        return true;
    if (runState() == RunState::Running)
        return false;
    Ausfuehren_Click();
    QPointer<Skript> self(this);
    setEnabled(false);
    while (self && !isIdle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (self)
        setEnabled(true);
    return true;
}

// ------------------------------------------------------------------ document

void Skript::onTextChanged()
{
    setModified(true);
}

void Skript::setModified(bool modified)
{
    m_modified = modified;
    // Shown as "*" in the caption, by Qt's placeholder; the caption text
    // is otherwise the one SetFormCaption gives.
    setWindowModified(modified);
}

QString Skript::caption() const
{
    QString t = windowTitle();
    t.replace(QStringLiteral("[*]"), QString());
    return t;
}

void Skript::SetFormCaption(const QString &name)
{
    const QString shown = name.contains(QLatin1Char(' '))
                              ? QLatin1Char('"') + name + QLatin1Char('"')
                              : name;
    setWindowTitle(QStringLiteral("Skript ") + QString::number(m_index) + QStringLiteral(" - ")
                   + shown + QStringLiteral("[*]"));
}

bool Skript::LoadDatei(const QString &fileName)
{
    const DialogScope scope(m_openDialogs);
    const bool asked = fileName.isEmpty();
    QString name = fileName;
    if (asked) {
        const std::optional<QString> chosen = m_dialogs.openFile(window(), m_loadDialog);
        if (!chosen)
            return false;
        name = *chosen;
    }
    m_loadDialog.fileName = name;

    QString text;
    const bool ok = readScriptFile(name, text);
    // The editor is emptied first; a failed load leaves it empty, and counts
    // as a change only when there was text before.
    const bool hadText = !m_text1->scriptText().isEmpty();
    const bool wasModified = m_modified;
    m_text1->setText(text);
    if (!ok) {
        if (!hadText)
            setModified(wasModified);
        if (asked)
            m_dialogs.message(window(), QStringLiteral("Fehler"), kLoadFailed);
        return false;
    }
    setModified(false);
    SetFormCaption(name);
    m_currentFile = name;
    return true;
}

void Skript::loadDocument(const QString &text, const QString &fileName)
{
    m_text1->setText(text);
    setModified(false);
    SetFormCaption(fileName.isEmpty() ? QStringLiteral("Neu") : fileName);
    m_currentFile = fileName;
}

bool Skript::SaveDatei(const QString &fileName)
{
    const DialogScope scope(m_openDialogs);
    const bool asked = fileName.isEmpty();
    QString name = fileName;
    if (asked) {
        const std::optional<QString> chosen = m_dialogs.saveFile(window(), m_saveDialog);
        if (!chosen)
            return false;
        name = *chosen;
    }
    m_saveDialog.fileName = name;

    if (asked && QFileInfo::exists(name)
        && !m_dialogs.askYesNo(window(), QStringLiteral("Überschreiben"), kOverwriteQuestion))
        return false;
    if (!writeScriptFile(name, m_text1->scriptText())) {
        if (asked)
            m_dialogs.message(window(), QStringLiteral("Fehler"), kSaveFailed);
        return false;
    }
    setModified(false);
    SetFormCaption(name);
    m_currentFile = name;
    return true;
}

void Skript::refuseWhileRunning()
{
    const DialogScope scope(m_openDialogs);
    m_dialogs.message(window(), QStringLiteral("Fehler"), kRunningRefused);
}

void Skript::bringForward()
{
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!sub || !sub->mdiArea())
        return;
    if (sub->isMinimized())
        sub->showNormal();
    sub->mdiArea()->setActiveSubWindow(sub);
}

bool Skript::savePromptAllowsGoingOn()
{
    const DialogScope scope(m_openDialogs);
    if (!m_modified)
        return true;
    // The person must see which script the question is about (closing the
    // main window asks every modified script in turn).
    bringForward();
    if (!m_dialogs.askYesNo(window(), QStringLiteral("Speichern"), kSaveQuestion))
        return true;
    Speichern_Click();
    return !m_modified;
}

void Skript::Speichern_Click()
{
    const DialogScope scope(m_openDialogs);
    if (!isIdle()) {
        refuseWhileRunning();
        return;
    }
    if (!m_currentFile.isEmpty()) {
        if (!SaveDatei(m_currentFile))
            m_dialogs.message(window(), QStringLiteral("Fehler"), kSaveFailed);
    } else {
        SaveDatei(QString());
    }
}

void Skript::Speichern_unter_Click()
{
    if (!isIdle()) {
        refuseWhileRunning();
        return;
    }
    SaveDatei(QString());
}

// Laden and Neu replace the document: refused while running, then the save
// prompt, then any run is stopped.
bool Skript::mayReplaceDocument()
{
    if (!isIdle()) {
        refuseWhileRunning();
        return false;
    }
    if (!savePromptAllowsGoingOn())
        return false;
    if (!ExitScript()) {
        refuseWhileRunning();
        return false;
    }
    return true;
}

void Skript::Laden_Click()
{
    if (mayReplaceDocument())
        LoadDatei(QString());
}

void Skript::neu_Click()
{
    if (!mayReplaceDocument())
        return;
    m_text1->setText(QString());
    setModified(false);
    m_currentFile.clear();
    SetFormCaption(QStringLiteral("Neu"));
}

void Skript::scriptNeu()
{
    m_text1->setText(QString());
}

void Skript::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_openDialogs > 0) {
        // Closing now would delete the window under its own dialog.
        event->ignore();
        return;
    }
    if (!isIdle()) {
        refuseWhileRunning();
        event->ignore();
        return;
    }
    if (!savePromptAllowsGoingOn()) {
        event->ignore();
        return;
    }
    // A run may have started while the question was open.
    if (!isIdle()) {
        refuseWhileRunning();
        event->ignore();
        return;
    }
    m_closed = true;
    event->accept();
    emit closed(m_index);
}

} // namespace varnok
