// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application side of the interpreter, without a screen: the engine,
// the window registry with every open window's document (SkriptDocument,
// SeiteDocument), the runs that are executing, and the Host seam on them
// (yielding, error boxes, the window operations). varnok-run is this and
// nothing more; the desktop's main window adds a view to every window it
// opens, and both go through the very same code.

#include "common/dialogs.h"
#include "editor/runcontrol.h"
#include "editor/skriptdocument.h"
#include "interpreter/engine.h"
#include "interpreter/host.h"
#include "request/receptionwatch.h"
#include "request/seitedocument.h"
#include "shell/windowregistry.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <chrono>
#include <memory>
#include <vector>

namespace varnok {

class WindowHost : public QObject, public Host
{
    Q_OBJECT
public:
    explicit WindowHost(Dialogs &dialogs);
    ~WindowHost() override;

    Engine &engine() { return m_engine; }
    Dialogs &dialogs() { return m_dialogs; }
    const WindowRegistry &registry() const { return m_registry; }
    const ActiveRuns &activeRuns() const { return m_activeRuns; }

    // The window the host's own boxes are modal to (the main window); none
    // without.
    void setDialogParent(QObject *parent) { m_dialogParent = parent; }
    QObject *dialogParent() const { return m_dialogParent; }

    // A new window at the lowest free index, or 0 when all 100 of its kind
    // are open. Its document is registered (index, script variables, Status
    // "0") before the opened signal tells the views about it.
    int OpenSeiteWindow();
    int OpenSkriptWindow();
    bool IsSeiteWindowOpen(int index) const { return m_registry.seite.isOpen(index); }
    bool IsSkriptWindowOpen(int index) const { return m_registry.skript.isOpen(index); }
    // The open window's document of that index, or null.
    SkriptDocument *skriptDocument(int index) const;
    SeiteDocument *seiteDocument(int index) const;
    const std::shared_ptr<SkriptDocument> &sharedSkriptDocument(int index) const;
    const std::shared_ptr<SeiteDocument> &sharedSeiteDocument(int index) const;

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
    // Script window `index` is open and registered.
    void skriptWindowOpened(int index);
    // Request window `index` is open and registered; its request engine.
    void seiteWindowOpened(int index, varnok::RequestSession *session);
    // The window closed; its index is free again.
    void skriptWindowClosed(int index);
    void seiteWindowClosed(int index);
    // A script window went from idle to busy or back.
    void skriptBusyChanged(int index);
    // A script window became idle (its run ended, by any cause).
    void skriptIdle(int index);

private:
    void onSkriptClosed(int index);
    void onSeiteClosed(int index);
    // A closed window's document goes once nothing of it can be on the
    // stack any more: at the next statement's yield or back in the event
    // loop.
    void release(std::shared_ptr<QObject> document);
    void dropReleased();

    Dialogs &m_dialogs;
    QPointer<QObject> m_dialogParent;
    WindowRegistry m_registry;
    Engine m_engine;
    // The script windows' runs that are executing: an error box belongs to
    // the innermost one.
    ActiveRuns m_activeRuns;
    std::array<std::shared_ptr<SkriptDocument>, WindowSlots::kSlots + 1> m_skript;
    std::array<std::shared_ptr<SeiteDocument>, WindowSlots::kSlots + 1> m_seite;
    std::vector<std::shared_ptr<QObject>> m_released;
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
