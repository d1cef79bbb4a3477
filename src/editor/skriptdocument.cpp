// SPDX-License-Identifier: GPL-3.0-or-later
#include "skriptdocument.h"

#include "editor/scriptfile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace varnok {

namespace {

const QString kSaveQuestion = QStringLiteral("Wollen sie den aktuellen Skript vorher noch speichern?");
const QString kOverwriteQuestion = QStringLiteral(
    "Die ausgewählte Datei ist bereits vorhanden. Wollen sie die Datei überschreiben?");
const QString kLoadFailed = QStringLiteral("Fehler beim Laden.");
const QString kSaveFailed = QStringLiteral("Fehler beim Speichern.");
const QString kFilter = QStringLiteral("Skripte (*.varnok-skript);;alle Dateien (*)");
const QString kPreset = QStringLiteral("*.varnok-skript");

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

SkriptDocument::SkriptDocument(Engine &engine, ActiveRuns &activeRuns, Dialogs &dialogs)
    : m_dialogs(dialogs),
      m_text1(std::make_shared<TextModel>()),
      m_run(engine, m_text1, activeRuns, [this](RunState from, RunState to) { onRunStateChanged(from, to); }),
      m_loadDialog{QStringLiteral("Skript laden"), kFilter, QString(), kPreset},
      m_saveDialog{QStringLiteral("Skript speichern"), kFilter, QStringLiteral("varnok-skript"), kPreset}
{
    connect(m_text1.get(), &TextModel::changed, this, [this] { setModified(true); });
    // A coarse timer may fire up to 5 % early; a wait lasts the full interval.
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(RunControl::kTickInterval);
    connect(&m_timer1, &QTimer::timeout, this, [this] { m_run.tick(); });
}

SkriptDocument::~SkriptDocument() = default;

QString SkriptDocument::runningRefusedText()
{
    return QStringLiteral("Nicht möglich während der Skript ausgeführt wird.");
}

void SkriptDocument::setIndex(int index)
{
    m_index = index;
    m_run.setWindowIndex(index);
    SetFormCaption(QStringLiteral("Neu"));
}

// ---------------------------------------------------------------- run control

void SkriptDocument::onRunStateChanged(RunState from, RunState to)
{
    // The timer runs exactly while the run waits; entering the state again
    // (a continued run that reaches its next wait) starts a fresh interval.
    if (to == RunState::Waiting)
        m_timer1.start();
    else
        m_timer1.stop();
    emit runStateChanged(from, to);
    if ((from == RunState::Idle) != (to == RunState::Idle))
        emit busyChanged(m_index);
}

bool SkriptDocument::ExitScript()
{
    if (isIdle())
        return true;
    if (runState() == RunState::Running)
        return false;
    Ausfuehren_Click();
    // The events may close the window; it lives on until this returns.
    const std::shared_ptr<SkriptDocument> self = shared_from_this();
    emit exitingChanged(true);
    while (!isIdle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    emit exitingChanged(false);
    return true;
}

void SkriptDocument::showErrorPlace(qsizetype start, qsizetype length)
{
    if (start >= 0)
        emit errorPlaceShown(start, length);
}

// ------------------------------------------------------------------ document

void SkriptDocument::setModified(bool modified)
{
    m_modified = modified;
    emit modifiedChanged(modified);
}

void SkriptDocument::SetFormCaption(const QString &name)
{
    const QString shown = name.contains(QLatin1Char(' '))
                              ? QLatin1Char('"') + name + QLatin1Char('"')
                              : name;
    m_caption = QStringLiteral("Skript ") + QString::number(m_index) + QStringLiteral(" - ") + shown;
    emit captionChanged(m_caption);
}

bool SkriptDocument::LoadDatei(const QString &fileName)
{
    const DialogScope scope(m_openDialogs);
    const bool asked = fileName.isEmpty();
    QString name = fileName;
    if (asked) {
        const std::optional<QString> chosen = m_dialogs.openFile(dialogParent(), m_loadDialog);
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
            m_dialogs.message(dialogParent(), QStringLiteral("Fehler"), kLoadFailed);
        return false;
    }
    setModified(false);
    SetFormCaption(name);
    m_currentFile = name;
    return true;
}

void SkriptDocument::loadDocument(const QString &text, const QString &fileName)
{
    m_text1->setText(text);
    setModified(false);
    SetFormCaption(fileName.isEmpty() ? QStringLiteral("Neu") : fileName);
    m_currentFile = fileName;
}

bool SkriptDocument::SaveDatei(const QString &fileName)
{
    const DialogScope scope(m_openDialogs);
    const bool asked = fileName.isEmpty();
    QString name = fileName;
    if (asked) {
        const std::optional<QString> chosen = m_dialogs.saveFile(dialogParent(), m_saveDialog);
        if (!chosen)
            return false;
        name = *chosen;
    }
    m_saveDialog.fileName = name;

    if (asked && QFileInfo::exists(name)
        && !m_dialogs.askYesNo(dialogParent(), QStringLiteral("Überschreiben"), kOverwriteQuestion))
        return false;
    if (!writeScriptFile(name, m_text1->scriptText())) {
        if (asked)
            m_dialogs.message(dialogParent(), QStringLiteral("Fehler"), kSaveFailed);
        return false;
    }
    setModified(false);
    SetFormCaption(name);
    m_currentFile = name;
    return true;
}

void SkriptDocument::refuseWhileRunning()
{
    const DialogScope scope(m_openDialogs);
    m_dialogs.message(dialogParent(), QStringLiteral("Fehler"), runningRefusedText());
}

bool SkriptDocument::savePromptAllowsGoingOn()
{
    const DialogScope scope(m_openDialogs);
    if (!m_modified)
        return true;
    // The person must see which script the question is about (closing the
    // main window asks every modified script in turn).
    emit forwardRequested();
    if (!m_dialogs.askYesNo(dialogParent(), QStringLiteral("Speichern"), kSaveQuestion))
        return true;
    Speichern_Click();
    return !m_modified;
}

void SkriptDocument::Speichern_Click()
{
    const DialogScope scope(m_openDialogs);
    if (!isIdle()) {
        refuseWhileRunning();
        return;
    }
    if (!m_currentFile.isEmpty()) {
        if (!SaveDatei(m_currentFile))
            m_dialogs.message(dialogParent(), QStringLiteral("Fehler"), kSaveFailed);
    } else {
        SaveDatei(QString());
    }
}

void SkriptDocument::Speichern_unter_Click()
{
    if (!isIdle()) {
        refuseWhileRunning();
        return;
    }
    SaveDatei(QString());
}

// Laden and Neu replace the document: refused while running, then the save
// prompt, then any run is stopped. A window closed while its run came to a
// stop has no document left to replace.
bool SkriptDocument::mayReplaceDocument()
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
    return !m_closed;
}

void SkriptDocument::Laden_Click()
{
    const std::shared_ptr<SkriptDocument> self = shared_from_this();
    if (mayReplaceDocument())
        LoadDatei(QString());
}

void SkriptDocument::neu_Click()
{
    const std::shared_ptr<SkriptDocument> self = shared_from_this();
    if (!mayReplaceDocument())
        return;
    m_text1->setText(QString());
    setModified(false);
    m_currentFile.clear();
    SetFormCaption(QStringLiteral("Neu"));
}

void SkriptDocument::scriptNeu()
{
    m_text1->setText(QString());
}

bool SkriptDocument::requestClose()
{
    if (m_closed)
        return true;
    // Closing now would take the window from under its own dialog.
    if (m_openDialogs > 0)
        return false;
    if (!isIdle()) {
        refuseWhileRunning();
        return false;
    }
    const std::shared_ptr<SkriptDocument> self = shared_from_this();
    if (!savePromptAllowsGoingOn())
        return false;
    // A run may have started while the question was open.
    if (!isIdle()) {
        refuseWhileRunning();
        return false;
    }
    m_closed = true;
    emit closed(m_index);
    return true;
}

} // namespace varnok
