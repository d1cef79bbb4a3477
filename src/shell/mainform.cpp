// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainform.h"

#include "editor/skriptwindow.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"
#include "shell/application.h"

#include "request/mitschnittwindow.h"
#include "request/seitewindow.h"
#include "shell/hilfeform.h"
#include "shell/ueberform.h"
#include "widgets/textbox.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace varnok {

namespace {

// Events are let in at most this often during a run. A statement is far
// shorter than this, and a run must stay fast while its window, timers and
// sockets still react well within a frame.
constexpr std::chrono::milliseconds kYieldInterval{2};
constexpr int kStatementsPerRead = 8;
constexpr int kMostStatementsPerRead = 128;
constexpr std::chrono::microseconds kClockReadEvery{40};
constexpr int kStatementsPerReceptionCheck = 64;

} // namespace

MainForm::MainForm(Dialogs &dialogs, QWidget *parent) : MainForm(dialogs, Showing::OnScreen, parent) {}

MainForm::MainForm(Dialogs &dialogs, Showing showing, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_showing(showing), m_engine(*this)
{
    // Start-up: the engine seeded its random numbers and built the object
    // tree; every index starts free.
    m_registry.clear();

    if (m_showing == Showing::Never) {
        setAttribute(Qt::WA_DontShowOnScreen);
        // Children inherit it, so an unseen window never spends a run's
        // time on painting; layout and geometry still follow as on screen.
        setUpdatesEnabled(false);
    }
    setWindowTitle(QStringLiteral("Varnok"));
    // Painting the icon and creating the menu bar (whose style icons load
    // Qt's image format plugins) is a good share of an unseen start-up.
    if (m_showing == Showing::OnScreen)
        m_icon = varnokIcon();
    setWindowIcon(m_icon);
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    setAcceptDrops(true);

    m_neuesFenster = new QAction(QStringLiteral("neues Fenster"), this);
    m_neuerSkript = new QAction(QStringLiteral("neuer Skript"), this);
    m_hilfeMenu = new QMenu(QStringLiteral("?"), this);
    QAction *anleitung = m_hilfeMenu->addAction(QStringLiteral("Anleitung"));
    anleitung->setShortcut(Qt::Key_F1);
    m_hilfeMenu->addSeparator();
    QAction *ueber = m_hilfeMenu->addAction(QStringLiteral("Über"));
    connect(m_neuesFenster, &QAction::triggered, this, &MainForm::Fenster_NeuesFenster_Click);
    connect(m_neuerSkript, &QAction::triggered, this, &MainForm::Skript_NeuerSkript_Click);
    connect(anleitung, &QAction::triggered, this, &MainForm::H_Anleitung_Click);
    connect(ueber, &QAction::triggered, this, &MainForm::H_Ueber_Click);
    showMenuFor(nullptr);

    connect(m_mdi, &QMdiArea::subWindowActivated, this, &MainForm::onSubWindowActivated);

    // A generous share of the screen: room for a request window beside a
    // script window where the screen allows it.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, area.size() * 0.9, area));
    } else {
        resize(1000, 760);
    }
}

MainForm::~MainForm()
{
    for (QPointer<QWidget> *side : {&m_hilfe, &m_ueber})
        delete side->data();
    // The child windows refer to the engine; they go first.
    const QList<QMdiSubWindow *> subs = m_mdi->subWindowList();
    for (QMdiSubWindow *sub : subs)
        delete sub;
}

QList<QAction *> MainForm::mainMenuActions() const
{
    return {m_neuesFenster, m_neuerSkript, m_hilfeMenu->menuAction()};
}

// ------------------------------------------------------------------ registry

int MainForm::OpenSeiteWindow()
{
    const int index = m_registry.seite.lowestFree();
    if (index == 0)
        return 0;
    auto *window = new SeiteWindow(m_engine, nullptr);
    window->setReceptionWatch(m_receptions);
    QMdiSubWindow *sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(m_icon);
    // The window's Mitschnitt window, while one is open; it goes with the
    // request window, whose session it follows.
    auto mitschnitt = std::make_shared<QPointer<QMdiSubWindow>>();
    connect(window, &SeiteWindow::mitschnittRequested, this, [this, window, mitschnitt](int seite) {
        if (*mitschnitt) {
            m_mdi->setActiveSubWindow(*mitschnitt);
            return;
        }
        auto *view = new MitschnittWindow(m_dialogs, seite);
        view->follow(window->session());
        QMdiSubWindow *frame = m_mdi->addSubWindow(view);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->setWindowIcon(m_icon);
        *mitschnitt = frame;
        frame->show();
        placeNewSubWindow(frame, frame->size());
    });
    connect(window, &SeiteWindow::closed, this, [this, mitschnitt](int closedIndex) {
        if (*mitschnitt)
            (*mitschnitt)->close();
        m_windowClosed = true;
        m_registry.seite.release(closedIndex);
        UnregisterSeiteFenster(m_engine.root(), qint16(closedIndex));
    });
    m_registry.seite.take(index, window);
    sub->show(); // the window's load handler sizes the frame
    placeNewSubWindow(sub, sub->size());
    window->setIndex(index);
    window->setWindowTitle(QStringLiteral("Seite ") + QString::number(index));
    RegisterSeiteFenster(m_engine.root(), qint16(index), window->fields(), builtinSites(),
                         window->session().mitschnittFields(), window->session().verbindungFields());
    m_engine.setWindowStatus(u"SeiteFenster", index, u"0");
    emit seiteWindowOpened(index, &window->session());
    return index;
}

int MainForm::OpenSkriptWindow()
{
    const int index = m_registry.skript.lowestFree();
    if (index == 0)
        return 0;
    auto *window = new Skript(m_engine, m_activeRuns, m_dialogs, nullptr);
    QMdiSubWindow *sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(m_icon);
    connect(window, &Skript::closed, this, [this](int closedIndex) {
        m_windowClosed = true;
        m_registry.skript.release(closedIndex);
        UnregisterSkriptFenster(m_engine.root(), qint16(closedIndex));
        // The closing window's menu must not stay in the menu bar.
        QTimer::singleShot(0, this, [this] { showMenuFor(m_mdi->activeSubWindow()); });
    });
    connect(window, &Skript::runStateChanged, this, &MainForm::onSkriptRunStateChanged);
    connect(window, &Skript::neuesFensterRequested, this, &MainForm::Fenster_NeuesFenster_Click);
    connect(window, &Skript::neuerSkriptRequested, this, &MainForm::Skript_NeuerSkript_Click);
    connect(window, &Skript::anleitungRequested, this, &MainForm::H_Anleitung_Click);
    connect(window, &Skript::ueberRequested, this, &MainForm::H_Ueber_Click);
    m_registry.skript.take(index, window);
    sub->show();
    // A script reads best tall and at least as wide as its longer lines.
    const QSize workspace = m_mdi->viewport()->size();
    placeNewSubWindow(sub, QSize(std::max(620, workspace.width() * 3 / 5),
                                 std::max(440, workspace.height() * 3 / 4)));
    window->setIndex(index);
    RegisterSkriptFenster(m_engine.root(), qint16(index), window->text1(), builtinSites());
    m_engine.setWindowStatus(u"SkriptFenster", index, u"0");
    // Activation came before the index; show this window's menu now.
    showMenuFor(m_mdi->activeSubWindow());
    return index;
}

Skript *MainForm::skriptWindow(int index) const
{
    if (!m_registry.skript.isOpen(index))
        return nullptr;
    return qobject_cast<Skript *>(m_registry.skript.window(index));
}

QWidget *MainForm::seiteWindow(int index) const
{
    if (!m_registry.seite.isOpen(index))
        return nullptr;
    return qobject_cast<QWidget *>(m_registry.seite.window(index));
}

void MainForm::OpenWithShell(const QString &text)
{
    // Whatever the shell makes of it is its own business.
    QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode));
}

void MainForm::placeNewSubWindow(QMdiSubWindow *sub, QSize size)
{
    // Cascade from the top left, one title bar further for each new window,
    // back to the corner when the next step would leave the workspace. A
    // window larger than the workspace is made to fit it, so that a new
    // window is always seen whole; not below a usable size, though, for a
    // workspace that is tiny or not laid out yet (a hidden main window).
    const QRect area = m_mdi->viewport()->rect();
    size = size.boundedTo(area.size()).expandedTo(QSize(320, 240));
    if (m_mdi->subWindowList().size() <= 1)
        m_cascadeStep = 0;
    const int step = std::max(8, sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub));
    QRect spot(area.topLeft() + QPoint(step, step) * m_cascadeStep, size);
    if (!area.contains(spot)) {
        m_cascadeStep = 0;
        spot.moveTopLeft(area.topLeft());
    }
    sub->setGeometry(spot);
    ++m_cascadeStep;
}

void MainForm::closeSubWindowOf(QWidget *window)
{
    if (!window)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->close();
    else
        window->close();
}

// --------------------------------------------------------------------- menus

void MainForm::showLimitMessage()
{
    m_dialogs.message(this, QStringLiteral("Fehler"),
                      QStringLiteral("Es können maximal nur 100 Fenster geöffnet werden."));
}

void MainForm::Fenster_NeuesFenster_Click()
{
    if (OpenSeiteWindow() == 0)
        showLimitMessage();
}

void MainForm::Skript_NeuerSkript_Click()
{
    if (OpenSkriptWindow() == 0)
        showLimitMessage();
}

void MainForm::openScriptFiles(const QStringList &fileNames)
{
    for (const QString &name : fileNames) {
        const int index = OpenSkriptWindow();
        if (index == 0) {
            showLimitMessage();
            return;
        }
        Skript *window = skriptWindow(index);
        // The dialog hands Laden full paths; a name from the command line is
        // made one too, so caption and later saves do not depend on the
        // folder the program was started in.
        if (!window->LoadDatei(QFileInfo(name).absoluteFilePath())) {
            closeSubWindowOf(window);
            m_dialogs.message(this, QStringLiteral("Fehler"),
                              QStringLiteral("Die Datei „%1“ kann nicht geladen werden.").arg(name));
        }
    }
}

void MainForm::openSideWindow(QPointer<QWidget> &slot, bool help)
{
    // The side window disables this window while it is shown and enables it
    // again when it goes (it deletes itself on close).
    setEnabled(false);
    // A window closed a moment ago still exists until its deletion comes
    // round; it cannot be raised again and would leave this window disabled.
    if (slot && slot->isVisible()) {
        slot->raise();
        slot->activateWindow();
        return;
    }
    if (help)
        slot = HilfeForm::open(this, &MainForm::OpenWithShell);
    else
        slot = UeberForm::open(this, &MainForm::OpenWithShell);
    slot->setWindowIcon(m_icon);
}

void MainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // A click on this window while it is disabled for the help or the About
    // window brings that window forward, as a modal dialog would come: the
    // program must never look frozen behind a window it cannot see.
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()
        || QApplication::activeModalWidget())
        return;
    QWidget *front = nullptr;
    for (QPointer<QWidget> *side : {&m_hilfe, &m_ueber}) {
        if (*side && (*side)->isVisible()) {
            (*side)->raise();
            front = *side;
        }
    }
    if (front)
        front->activateWindow();
}

void MainForm::H_Anleitung_Click()
{
    openSideWindow(m_hilfe, true);
}

void MainForm::H_Ueber_Click()
{
    openSideWindow(m_ueber, false);
}

void MainForm::showMenuFor(QMdiSubWindow *sub)
{
    if (m_showing == Showing::Never)
        return;
    QList<QAction *> wanted = mainMenuActions();
    if (sub && sub->isVisible()) {
        if (auto *skript = qobject_cast<Skript *>(sub->widget());
            skript && m_registry.skript.isOpen(skript->index())
            && m_registry.skript.window(skript->index()) == skript)
            wanted = skript->menuBarActions();
    }
    QMenuBar *bar = menuBar();
    if (bar->actions() == wanted)
        return;
    const QList<QAction *> current = bar->actions();
    for (QAction *a : current)
        bar->removeAction(a);
    bar->addActions(wanted);
}

void MainForm::onSubWindowActivated(QMdiSubWindow *sub)
{
    // The area reports no active window while the application is in the
    // background; the menu stays with the current window then.
    showMenuFor(sub ? sub : m_mdi->currentSubWindow());
}

// --------------------------------------------------------------- run control

bool MainForm::anyScriptBusy() const
{
    for (int i = 1; i <= WindowSlots::kSlots; ++i)
        if (const Skript *s = skriptWindow(i); s && !s->isIdle())
            return true;
    return false;
}

void MainForm::stopAllScripts()
{
    for (int i = 1; i <= WindowSlots::kSlots; ++i)
        if (Skript *s = skriptWindow(i); s && !s->isIdle() && !s->stopRequested())
            s->Ausfuehren_Click();
}

void MainForm::onSkriptRunStateChanged(int index)
{
    const Skript *s = skriptWindow(index);
    if (s && s->isIdle())
        emit skriptIdle(index);
    if (m_closeWhenIdle && !anyScriptBusy()) {
        // Closing happens from the event loop, once every run has unwound.
        QTimer::singleShot(0, this, [this] {
            if (m_closeWhenIdle && !anyScriptBusy())
                close();
        });
    }
}

void MainForm::closeEvent(QCloseEvent *event)
{
    if (anyScriptBusy()) {
        m_closeWhenIdle = true;
        stopAllScripts();
        event->ignore();
        return;
    }
    m_closeWhenIdle = false;
    for (int i = 1; i <= WindowSlots::kSlots; ++i) {
        if (Skript *s = skriptWindow(i)) {
            closeSubWindowOf(s);
            if (m_registry.skript.isOpen(i)) {
                event->ignore();
                return;
            }
        }
    }
    for (int i = 1; i <= WindowSlots::kSlots; ++i)
        closeSubWindowOf(seiteWindow(i));
    for (QPointer<QWidget> *side : {&m_hilfe, &m_ueber})
        if (*side)
            (*side)->close();
    event->accept();
}

// ---------------------------------------------------------------------- Host

void MainForm::yield()
{
    // A closed window is deleted later, by the event loop it was closed in,
    // once control returns there; processEvents() never does it. A run that
    // opens and closes windows without waiting would keep every one of them
    // until it ends. Deleting those closed at this level now is safe:
    // nothing of a closed window is still on the stack between statements.
    if (m_windowClosed) {
        m_windowClosed = false;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Reading the clock is itself a cost at millions of statements a
    // second. It is read every 8th statement, and less often while 8
    // statements take less than a few microseconds (up to every 128th),
    // so that a read comes about every 5 to 40 µs however fast the
    // statements are; a slow one brings the step back down at once.
    if (++m_yieldsSinceClock < m_clockStep)
        return;
    m_yieldsSinceClock = 0;
    const auto now = std::chrono::steady_clock::now();
    const auto sinceRead = now - m_lastClockRead;
    m_lastClockRead = now;
    if (sinceRead < kClockReadEvery / 8 && m_clockStep < kMostStatementsPerRead)
        m_clockStep *= 2;
    else if (sinceRead > kClockReadEvery && m_clockStep > kStatementsPerRead)
        m_clockStep = kStatementsPerRead;
    if (now - m_lastEvents < kYieldInterval) {
        // Answer bytes that are waiting are let in now, or a script waiting
        // for a request in a loop holds up every arrival. Asked every 64th
        // statement or at every clock read past that: the question is a
        // system call.
        m_receptionChecks += m_clockStep;
        if (m_receptionChecks < kStatementsPerReceptionCheck)
            return;
        m_receptionChecks = 0;
        if (!m_receptions->dataWaiting())
            return;
    }
    QCoreApplication::processEvents();
    // Measured after the events: a run nested in them must not eat the
    // outer run's share.
    m_lastEvents = std::chrono::steady_clock::now();
}

void MainForm::showScriptError(int number, const QString &message)
{
    showLocatedScriptError(number, message, {});
}

void MainForm::showLocatedScriptError(int number, const QString &message,
                                      const ScriptErrorDetail &detail)
{
    m_activeRuns.noteErrorBox();
    ErrorPlace place;
    place.missingName = detail.missingName;
    place.missingPath = detail.missingPath;
    // The window whose statement failed comes forward, showing it, before
    // the box covers the screen; it stays marked after the box.
    QPointer<Skript> window = skriptWindow(m_activeRuns.innermostWindow());
    qsizetype start = -1;
    qsizetype length = 0;
    if (window) {
        const TextModel &text = *window->text1();
        start = m_engine.currentStatementStart(text);
        // No statement of its own runs: a wait condition at a tick, whose
        // statement the runner left selected.
        if (start < 0)
            start = text.selectionStart();
        length = text.selectionStart() == start ? text.selectionLength() : 0;
        const QStringView t(text.scriptText());
        if (length == 0) {
            const qsizetype cr = t.indexOf(u'\r', start);
            length = (cr < 0 ? t.size() : cr) - start;
        }
        place.line = window->editor()->modelLineOf(start);
        place.statement = t.mid(start, length).toString();
        window->showErrorPlace(start, length);
    }
    m_dialogs.scriptErrorMessage(this, QStringLiteral("Fehler ") + QString::number(number), message,
                                 place);
    if (window)
        window->showErrorPlace(start, length);
}

void MainForm::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl &u) { return u.isLocalFile(); }))
        event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &u : event->mimeData()->urls())
        if (u.isLocalFile())
            files << u.toLocalFile();
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    openScriptFiles(files);
}

void MainForm::seiteSenden(int index)
{
    if (auto *w = qobject_cast<SeiteWindow *>(seiteWindow(index)); w && w->sendEnabled())
        w->Command1_Click();
}

void MainForm::seiteClose(int index)
{
    closeSubWindowOf(seiteWindow(index));
}

void MainForm::skriptNeu(int index)
{
    if (Skript *s = skriptWindow(index))
        s->scriptNeu();
}

bool MainForm::skriptLaden(int index, const QString &fileName)
{
    Skript *s = skriptWindow(index);
    return s && s->LoadDatei(fileName);
}

bool MainForm::skriptSpeichern(int index, const QString &fileName)
{
    Skript *s = skriptWindow(index);
    return s && s->SaveDatei(fileName);
}

void MainForm::skriptAusfuehren(int index)
{
    if (Skript *s = skriptWindow(index))
        s->Ausfuehren_Click();
}

void MainForm::skriptClose(int index)
{
    closeSubWindowOf(skriptWindow(index));
}

} // namespace varnok
