// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the interpreter needs from the application. The main window
// implements it on the real windows; the test host and the benchmarks answer
// it without a person.

#include <QString>

namespace varnok {

// What helps a person find a script error, beside its number and text.
// Scripts never see it.
struct ScriptErrorDetail
{
    // For "Objekt nicht gefunden": the name that names nothing, as written,
    // and the path up to it ("SeiteFenster(1).Input.Sever"); empty otherwise.
    QString missingName;
    QString missingPath;
};

class Host
{
public:
    virtual ~Host() = default;

    // Let pending user-interface events run (called after every statement).
    virtual void yield() = 0;
    // A script error without handler: the box titled "Fehler " and the
    // number, showing the error's text. The run it belongs to ends.
    virtual void showScriptError(int number, const QString &message) = 0;
    // The same with what helps to find it; the box's title and text stay
    // those above. Hosts that show no more than that keep the default.
    virtual void showLocatedScriptError(int number, const QString &message,
                                        const ScriptErrorDetail &detail)
    {
        static_cast<void>(detail);
        showScriptError(number, message);
    }

    // Window registry and the windows' own handlers.
    virtual int createSeiteWindow() = 0;  // index 1..100, or 0 when all are in use
    virtual int createSkriptWindow() = 0; // likewise
    virtual bool hasSeiteWindow(int index) const = 0;
    virtual bool hasSkriptWindow(int index) const = 0;
    virtual void seiteSenden(int index) = 0; // Command1_Click when the button is enabled
    virtual void seiteClose(int index) = 0;
    virtual void skriptNeu(int index) = 0;
    virtual bool skriptLaden(int index, const QString &fileName) = 0;
    virtual bool skriptSpeichern(int index, const QString &fileName) = 0;
    virtual void skriptAusfuehren(int index) = 0;
    virtual void skriptClose(int index) = 0;
};

// A host without windows: nothing opens, nothing is shown, every window
// operation fails. For engines that only evaluate, and the base of test
// doubles that need one or two operations.
class NullHost : public Host
{
public:
    void yield() override {}
    void showScriptError(int, const QString &) override {}
    int createSeiteWindow() override { return 0; }
    int createSkriptWindow() override { return 0; }
    bool hasSeiteWindow(int) const override { return false; }
    bool hasSkriptWindow(int) const override { return false; }
    void seiteSenden(int) override {}
    void seiteClose(int) override {}
    void skriptNeu(int) override {}
    bool skriptLaden(int, const QString &) override { return false; }
    bool skriptSpeichern(int, const QString &) override { return false; }
    void skriptAusfuehren(int) override {}
    void skriptClose(int) override {}
};

} // namespace varnok
