// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainform.h"

#include "editor/skriptwindow.h"
#include "shell/application.h"

#include "request/mitschnittwindow.h"
#include "request/seitewindow.h"
#include "shell/hilfeform.h"
#include "shell/ueberform.h"

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

MainForm::MainForm(Dialogs &dialogs, QWidget *parent) : QMainWindow(parent), m_host(dialogs)
{
    m_host.setDialogParent(this);
    // Every window the host opens is shown here, before anyone else hears
    // of it.
    connect(&m_host, &WindowHost::skriptWindowOpened, this, &MainForm::showSkriptWindow);
    connect(&m_host, &WindowHost::seiteWindowOpened, this, &MainForm::showSeiteWindow);
    connect(&m_host, &WindowHost::skriptWindowClosed, this, [this](int index) {
        closeSubWindowOf(m_skriptViews[size_t(index)]);
        // The closing window's menu must not stay in the menu bar.
        QTimer::singleShot(0, this, [this] { showMenuFor(m_mdi->activeSubWindow()); });
    });
    connect(&m_host, &WindowHost::seiteWindowClosed, this,
            [this](int index) { closeSubWindowOf(m_seiteViews[size_t(index)]); });
    connect(&m_host, &WindowHost::skriptBusyChanged, this, &MainForm::onSkriptBusyChanged);

    setWindowTitle(QStringLiteral("Varnok"));
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
    // The child windows show the host's documents, which refer to the
    // engine; they go first.
    const QList<QMdiSubWindow *> subs = m_mdi->subWindowList();
    for (QMdiSubWindow *sub : subs)
        delete sub;
}

QList<QAction *> MainForm::mainMenuActions() const
{
    return {m_neuesFenster, m_neuerSkript, m_hilfeMenu->menuAction()};
}

// ------------------------------------------------------------------ registry

void MainForm::showSeiteWindow(int index)
{
    auto *window = new SeiteWindow(m_host.sharedSeiteDocument(index), nullptr);
    m_seiteViews[size_t(index)] = window;
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
        auto *view = new MitschnittWindow(m_host.dialogs(), seite);
        view->follow(window->session());
        QMdiSubWindow *frame = m_mdi->addSubWindow(view);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->setWindowIcon(m_icon);
        *mitschnitt = frame;
        frame->show();
        placeNewSubWindow(frame, frame->size());
    });
    connect(window, &SeiteWindow::closed, this, [mitschnitt] {
        if (*mitschnitt)
            (*mitschnitt)->close();
    });
    sub->show(); // the window's load handler sizes the frame
    placeNewSubWindow(sub, sub->size());
    window->setWindowTitle(QStringLiteral("Seite ") + QString::number(index));
}

void MainForm::showSkriptWindow(int index)
{
    auto *window = new Skript(m_host.sharedSkriptDocument(index), nullptr);
    m_skriptViews[size_t(index)] = window;
    QMdiSubWindow *sub = m_mdi->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(m_icon);
    connect(window, &Skript::neuesFensterRequested, this, &MainForm::Fenster_NeuesFenster_Click);
    connect(window, &Skript::neuerSkriptRequested, this, &MainForm::Skript_NeuerSkript_Click);
    connect(window, &Skript::anleitungRequested, this, &MainForm::H_Anleitung_Click);
    connect(window, &Skript::ueberRequested, this, &MainForm::H_Ueber_Click);
    sub->show();
    // A script reads best tall and at least as wide as its longer lines.
    const QSize workspace = m_mdi->viewport()->size();
    placeNewSubWindow(sub, QSize(std::max(620, workspace.width() * 3 / 5),
                                 std::max(440, workspace.height() * 3 / 4)));
    showMenuFor(m_mdi->activeSubWindow());
}

Skript *MainForm::skriptWindow(int index) const
{
    return m_host.IsSkriptWindowOpen(index) ? m_skriptViews[size_t(index)].data() : nullptr;
}

SeiteWindow *MainForm::seiteWindow(int index) const
{
    return m_host.IsSeiteWindowOpen(index) ? m_seiteViews[size_t(index)].data() : nullptr;
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
    m_host.dialogs().message(this, QStringLiteral("Fehler"),
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
            m_host.dialogs().message(this, QStringLiteral("Fehler"),
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
    QList<QAction *> wanted = mainMenuActions();
    if (sub && sub->isVisible()) {
        if (auto *skript = qobject_cast<Skript *>(sub->widget());
            skript && skriptWindow(skript->index()) == skript)
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

void MainForm::onSkriptBusyChanged()
{
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
            if (IsSkriptWindowOpen(i)) {
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

} // namespace varnok
