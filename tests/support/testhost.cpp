// SPDX-License-Identifier: GPL-3.0-or-later
#include "testhost.h"

#include "editor/scriptfile.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"

namespace varnok::test {

TestHost::TestHost() : m_engine(std::make_unique<Engine>(*this)) {}

void TestHost::yield()
{
    ++yields;
    if (onYield)
        onYield();
}

void TestHost::showScriptError(int number, const QString &message)
{
    m_activeRuns.noteErrorBox();
    messages << QStringLiteral("Fehler ") + QString::number(number) + QStringLiteral(": ") + message;
}

int TestHost::createSeiteWindow()
{
    for (int i = 1; i <= limits::kWindowsPerKind; ++i) {
        if (m_seite[size_t(i)])
            continue;
        auto w = std::make_unique<FakeSeiteWindow>();
        for (auto &field : w->fields.items)
            field = std::make_shared<TextModel>();
        RegisterSeiteFenster(m_engine->root(), qint16(i), w->fields, builtinSites());
        m_seite[size_t(i)] = std::move(w);
        m_engine->setWindowStatus(u"SeiteFenster", i, u"0");
        return i;
    }
    return 0;
}

int TestHost::createSkriptWindow()
{
    for (int i = 1; i <= limits::kWindowsPerKind; ++i) {
        if (m_skript[size_t(i)])
            continue;
        auto w = std::make_unique<FakeSkriptWindow>();
        FakeSkriptWindow *shown = w.get();
        w->control = std::make_unique<RunControl>(
            *m_engine, w->text, m_activeRuns,
            [shown](RunControl::State, RunControl::State to) {
                shown->running = to != RunControl::State::Idle;
                shown->timerOn = to == RunControl::State::Waiting;
            },
            [this] { return m_now; });
        w->control->setWindowIndex(i);
        m_skript[size_t(i)] = std::move(w);
        RegisterSkriptFenster(m_engine->root(), qint16(i), m_skript[size_t(i)]->text, builtinSites());
        m_engine->setWindowStatus(u"SkriptFenster", i, u"0");
        return i;
    }
    return 0;
}

bool TestHost::hasSeiteWindow(int index) const
{
    return index >= 1 && index <= limits::kWindowsPerKind && m_seite[size_t(index)];
}

bool TestHost::hasSkriptWindow(int index) const
{
    return index >= 1 && index <= limits::kWindowsPerKind && m_skript[size_t(index)];
}

void TestHost::seiteSenden(int index)
{
    ++m_seite[size_t(index)]->sendClicks;
}

void TestHost::seiteClose(int index)
{
    m_seite[size_t(index)].reset();
    UnregisterSeiteFenster(m_engine->root(), qint16(index));
}

void TestHost::skriptNeu(int index)
{
    m_skript[size_t(index)]->text->setText(QString());
}

bool TestHost::skriptLaden(int index, const QString &fileName)
{
    // Without a name the window would ask for one; here the dialog is
    // cancelled. A failed load leaves the text empty, as in the window.
    if (fileName.isEmpty())
        return false;
    QString text;
    const bool ok = readScriptFile(fileName, text);
    m_skript[size_t(index)]->text->setText(text);
    if (ok)
        m_skript[size_t(index)]->loadedFrom = fileName;
    return ok;
}

bool TestHost::skriptSpeichern(int index, const QString &fileName)
{
    return writeScriptFile(fileName, m_skript[size_t(index)]->text->scriptText());
}

void TestHost::skriptAusfuehren(int index)
{
    ausfuehren(index);
}

void TestHost::skriptClose(int index)
{
    if (m_skript[size_t(index)]->running)
        return;
    m_skript[size_t(index)].reset();
    UnregisterSkriptFenster(m_engine->root(), qint16(index));
}

void TestHost::ausfuehren(int index)
{
    if (FakeSkriptWindow *w = skript(index))
        w->control->ausfuehren();
}

void TestHost::tick(int index, std::chrono::milliseconds after)
{
    m_now += after;
    FakeSkriptWindow *w = skript(index);
    if (w && w->timerOn)
        w->control->tick();
}

void TestHost::runUntilIdle(int maxTicks)
{
    for (int t = 0; t < maxTicks; ++t) {
        bool any = false;
        for (int i = 1; i <= limits::kWindowsPerKind; ++i) {
            if (m_skript[size_t(i)] && m_skript[size_t(i)]->timerOn) {
                any = true;
                tick(i);
            }
        }
        if (!any)
            return;
    }
}

QStringList TestHost::runScript(const QString &script, int maxTicks)
{
    if (!skript(1))
        createSkriptWindow();
    skript(1)->text->setText(script);
    ausfuehren(1);
    runUntilIdle(maxTicks);
    return messages;
}

QString lines(std::initializer_list<const char *> rows)
{
    QStringList out;
    for (const char *r : rows)
        out << QString::fromUtf8(r);
    return out.join(QStringLiteral("\r\n"));
}

} // namespace varnok::test
