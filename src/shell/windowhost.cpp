// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowhost.h"

#include "interpreter/builtins.h"
#include "objects/windowobjects.h"

#include <QCoreApplication>

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

template <typename Document>
const std::shared_ptr<Document> &slotOf(const std::array<std::shared_ptr<Document>, WindowSlots::kSlots + 1> &documents,
                                        const WindowSlots &registry, int index)
{
    static const std::shared_ptr<Document> none;
    return registry.isOpen(index) ? documents[size_t(index)] : none;
}

} // namespace

WindowHost::WindowHost(Dialogs &dialogs) : m_dialogs(dialogs), m_engine(*this)
{
    // Start-up: the engine seeded its random numbers and built the object
    // tree; every index starts free.
    m_registry.clear();
}

WindowHost::~WindowHost() = default;

// ------------------------------------------------------------------ registry

int WindowHost::OpenSeiteWindow()
{
    const int index = m_registry.seite.lowestFree();
    if (index == 0)
        return 0;
    auto document = std::make_shared<SeiteDocument>(m_engine);
    document->session().setReceptionWatch(m_receptions);
    connect(document.get(), &SeiteDocument::closed, this, &WindowHost::onSeiteClosed);
    m_registry.seite.take(index, document.get());
    m_seite[size_t(index)] = document;
    document->setIndex(index);
    RegisterSeiteFenster(m_engine.root(), qint16(index), document->fields(), builtinSites(),
                         document->session().mitschnittFields(), document->session().verbindungFields());
    m_engine.setWindowStatus(u"SeiteFenster", index, u"0");
    emit seiteWindowOpened(index, &document->session());
    return index;
}

int WindowHost::OpenSkriptWindow()
{
    const int index = m_registry.skript.lowestFree();
    if (index == 0)
        return 0;
    auto document = std::make_shared<SkriptDocument>(m_engine, m_activeRuns, m_dialogs);
    connect(document.get(), &SkriptDocument::closed, this, &WindowHost::onSkriptClosed);
    connect(document.get(), &SkriptDocument::busyChanged, this, [this](int i) {
        if (const SkriptDocument *s = skriptDocument(i); s && s->isIdle())
            emit skriptIdle(i);
        emit skriptBusyChanged(i);
    });
    m_registry.skript.take(index, document.get());
    m_skript[size_t(index)] = document;
    document->setIndex(index);
    RegisterSkriptFenster(m_engine.root(), qint16(index), document->text1(), builtinSites());
    m_engine.setWindowStatus(u"SkriptFenster", index, u"0");
    emit skriptWindowOpened(index);
    return index;
}

SkriptDocument *WindowHost::skriptDocument(int index) const
{
    return sharedSkriptDocument(index).get();
}

SeiteDocument *WindowHost::seiteDocument(int index) const
{
    return sharedSeiteDocument(index).get();
}

const std::shared_ptr<SkriptDocument> &WindowHost::sharedSkriptDocument(int index) const
{
    return slotOf(m_skript, m_registry.skript, index);
}

const std::shared_ptr<SeiteDocument> &WindowHost::sharedSeiteDocument(int index) const
{
    return slotOf(m_seite, m_registry.seite, index);
}

void WindowHost::onSkriptClosed(int index)
{
    m_windowClosed = true;
    m_registry.skript.release(index);
    UnregisterSkriptFenster(m_engine.root(), qint16(index));
    release(std::move(m_skript[size_t(index)]));
    emit skriptWindowClosed(index);
}

void WindowHost::onSeiteClosed(int index)
{
    m_windowClosed = true;
    m_registry.seite.release(index);
    UnregisterSeiteFenster(m_engine.root(), qint16(index));
    release(std::move(m_seite[size_t(index)]));
    emit seiteWindowClosed(index);
}

void WindowHost::release(std::shared_ptr<QObject> document)
{
    if (!document)
        return;
    if (m_released.empty())
        QMetaObject::invokeMethod(this, &WindowHost::dropReleased, Qt::QueuedConnection);
    m_released.push_back(std::move(document));
}

void WindowHost::dropReleased()
{
    // Moved out first: a document's destruction may close or release more.
    std::vector<std::shared_ptr<QObject>> released;
    released.swap(m_released);
}

// --------------------------------------------------------------- run control

bool WindowHost::anyScriptBusy() const
{
    for (int i = 1; i <= WindowSlots::kSlots; ++i)
        if (const SkriptDocument *s = skriptDocument(i); s && !s->isIdle())
            return true;
    return false;
}

void WindowHost::stopAllScripts()
{
    for (int i = 1; i <= WindowSlots::kSlots; ++i)
        if (SkriptDocument *s = skriptDocument(i); s && !s->isIdle() && !s->stopRequested())
            s->Ausfuehren_Click();
}

// ---------------------------------------------------------------------- Host

void WindowHost::yield()
{
    // A closed window is deleted later, by the event loop it was closed in,
    // once control returns there; processEvents() never does it. A run that
    // opens and closes windows without waiting would keep every one of them
    // until it ends. Deleting those closed at this level now is safe:
    // nothing of a closed window is still on the stack between statements.
    if (m_windowClosed) {
        m_windowClosed = false;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dropReleased();
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

void WindowHost::showScriptError(int number, const QString &message)
{
    showLocatedScriptError(number, message, {});
}

void WindowHost::showLocatedScriptError(int number, const QString &message,
                                        const ScriptErrorDetail &detail)
{
    m_activeRuns.noteErrorBox();
    ErrorPlace place;
    place.missingName = detail.missingName;
    place.missingPath = detail.missingPath;
    // The window whose statement failed comes forward, showing it, before
    // the box covers the screen; it stays marked after the box.
    const std::shared_ptr<SkriptDocument> window = sharedSkriptDocument(m_activeRuns.innermostWindow());
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
        place.line = 1 + t.left(start).count(u"\r\n");
        place.statement = t.mid(start, length).toString();
        window->showErrorPlace(start, length);
    }
    m_dialogs.scriptErrorMessage(m_dialogParent, QStringLiteral("Fehler ") + QString::number(number), message,
                                 place);
    if (window && !window->isClosed())
        window->showErrorPlace(start, length);
}

void WindowHost::seiteSenden(int index)
{
    // The window's button is always enabled: Command1_Click.
    if (SeiteDocument *s = seiteDocument(index))
        s->Command1_Click();
}

void WindowHost::seiteClose(int index)
{
    if (SeiteDocument *s = seiteDocument(index))
        s->close();
}

void WindowHost::skriptNeu(int index)
{
    if (SkriptDocument *s = skriptDocument(index))
        s->scriptNeu();
}

bool WindowHost::skriptLaden(int index, const QString &fileName)
{
    SkriptDocument *s = skriptDocument(index);
    return s && s->LoadDatei(fileName);
}

bool WindowHost::skriptSpeichern(int index, const QString &fileName)
{
    SkriptDocument *s = skriptDocument(index);
    return s && s->SaveDatei(fileName);
}

void WindowHost::skriptAusfuehren(int index)
{
    if (SkriptDocument *s = skriptDocument(index))
        s->Ausfuehren_Click();
}

void WindowHost::skriptClose(int index)
{
    if (SkriptDocument *s = skriptDocument(index))
        s->requestClose();
}

} // namespace varnok
