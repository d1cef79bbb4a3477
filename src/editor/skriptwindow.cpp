// SPDX-License-Identifier: GPL-3.0-or-later
#include "skriptwindow.h"

#include "editor/findbar.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

namespace varnok {

namespace {

const QString kCaptionRun = QStringLiteral("Ausführen");
const QString kCaptionStop = QStringLiteral("Stopp");

} // namespace

Skript::Skript(std::shared_ptr<SkriptDocument> document, QWidget *parent)
    : QWidget(parent), m_document(std::move(document))
{
    SkriptDocument *doc = m_document.get();
    doc->setDialogParent([this] { return window(); });
    m_editor = new TextBox(doc->text1(), TextBox::Mode::MultiLine, this);
    m_editor->setFixedFont(QStringLiteral("Courier"), 9.75);
    m_editor->setWordWrap(false);
    m_editor->setLineNumbersShown(true);
    m_editor->setScriptHighlighting(true);
    m_findBar = new FindBar(m_editor, this);
    m_refusal = new QLabel(SkriptDocument::runningRefusedText(), this);
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

    connect(doc, &SkriptDocument::runStateChanged, this, &Skript::showRunState);
    connect(doc, &SkriptDocument::errorPlaceShown, this, &Skript::showErrorPlace);
    connect(doc, &SkriptDocument::forwardRequested, this, &Skript::bringForward);
    connect(doc, &SkriptDocument::exitingChanged, this, [this](bool exiting) { setEnabled(!exiting); });
    // Shown as "*" in the caption, by Qt's placeholder; the caption text
    // is otherwise the document's.
    connect(doc, &SkriptDocument::captionChanged, this,
            [this](const QString &caption) { setWindowTitle(caption + QStringLiteral("[*]")); });
    connect(doc, &SkriptDocument::modifiedChanged, this, &QWidget::setWindowModified);
    if (!doc->caption().isEmpty())
        setWindowTitle(doc->caption() + QStringLiteral("[*]"));
    setWindowModified(doc->isModified());

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
    connect(m_neu, &QAction::triggered, doc, &SkriptDocument::neu_Click);
    connect(m_laden, &QAction::triggered, doc, &SkriptDocument::Laden_Click);
    connect(m_speichern, &QAction::triggered, doc, &SkriptDocument::Speichern_Click);
    connect(m_speichernUnter, &QAction::triggered, doc, &SkriptDocument::Speichern_unter_Click);
    connect(m_ausfuehren, &QAction::triggered, doc, &SkriptDocument::Ausfuehren_Click);

    resize(560, 380);
}

Skript::~Skript() = default;

QList<QAction *> Skript::menuBarActions() const
{
    return {m_neuesFenster, m_neuerSkript, m_neu,        m_laden,
            m_speichern,    m_speichernUnter, m_ausfuehren, m_hilfeMenu->menuAction()};
}

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
    m_ausfuehren->setText(to == RunState::Idle ? kCaptionRun : kCaptionStop);
    // The screen follows the selection at its own rate; a run that waits or
    // ends shows where it stands at once.
    if (to != RunState::Running)
        m_editor->syncSelectionNow();
    if (to == RunState::Idle && m_editor->markedLine() >= 0)
        m_editor->ensureModelRangeVisible(m_errorStart, m_errorLength);
    if (to == RunState::Idle)
        m_refusal->hide();
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

void Skript::closeEvent(QCloseEvent *event)
{
    if (m_document->requestClose())
        event->accept();
    else
        event->ignore();
}

} // namespace varnok
