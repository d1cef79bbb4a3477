// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A headless stand-in for the application: script windows and request
// windows without widgets, and script error boxes recorded as "TITLE: TEXT"
// lines. Script windows run through the real run control; their timer is
// tick(), and the clock the control measures waits with moves only there.

#include "common/limits.h"
#include "common/textmodel.h"
#include "editor/runcontrol.h"
#include "interpreter/engine.h"
#include "objects/windowobjects.h"

#include <QStringList>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace varnok::test {

struct FakeSkriptWindow
{
    std::shared_ptr<TextModel> text = std::make_shared<TextModel>();
    std::unique_ptr<RunControl> control;
    bool running = false; // caption reads "Stopp"
    bool timerOn = false;
    QString loadedFrom;
};

struct FakeSeiteWindow
{
    SeiteFields fields;
    int sendClicks = 0;
};

class TestHost : public Host
{
public:
    TestHost();
    Engine &engine() { return *m_engine; }

    void yield() override;
    void showScriptError(int number, const QString &message) override;
    int createSeiteWindow() override;
    int createSkriptWindow() override;
    bool hasSeiteWindow(int index) const override;
    bool hasSkriptWindow(int index) const override;
    void seiteSenden(int index) override;
    void seiteClose(int index) override;
    void skriptNeu(int index) override;
    bool skriptLaden(int index, const QString &fileName) override;
    bool skriptSpeichern(int index, const QString &fileName) override;
    void skriptAusfuehren(int index) override;
    void skriptClose(int index) override;

    // The run command of a script window (Ausfuehren_Click).
    void ausfuehren(int index);
    // One tick of a waiting window's timer, `after` the previous one.
    void tick(int index, std::chrono::milliseconds after = RunControl::kTickInterval);
    // Ticks every waiting window until none waits (or `maxTicks` passed).
    void runUntilIdle(int maxTicks = 1000);

    FakeSkriptWindow *skript(int index) { return m_skript[size_t(index)].get(); }
    FakeSeiteWindow *seite(int index) { return m_seite[size_t(index)].get(); }

    // Opens script window 1 with `script`, runs it to its end (ticking its
    // waits) and returns the recorded boxes.
    QStringList runScript(const QString &script, int maxTicks = 1000);

    QStringList messages;           // every error box, "TITLE: TEXT"
    std::function<void()> onYield;  // called at every yield, if set
    int yields = 0;

private:
    std::unique_ptr<Engine> m_engine;
    ActiveRuns m_activeRuns;
    RunControl::Clock::time_point m_now{};
    std::array<std::unique_ptr<FakeSkriptWindow>, limits::kWindowsPerKind + 1> m_skript;
    std::array<std::unique_ptr<FakeSeiteWindow>, limits::kWindowsPerKind + 1> m_seite;
};

// Script text with CR LF line ends from lines.
QString lines(std::initializer_list<const char *> rows);

} // namespace varnok::test
