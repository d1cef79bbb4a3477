// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the test-runner built-ins reach: Main.Test.Pruefe records a check,
// Main.Konsole.Schreibe writes a line to standard output, Main.Parameter
// reads a parameter. The desktop program uses StandardConsole; varnok-run
// puts its own in place (its reports, its -D parameters).

#include <QByteArray>
#include <QString>

namespace varnok {

class ScriptConsole
{
public:
    virtual ~ScriptConsole() = default;
    // One check named `name`: passed or not.
    virtual void check(const QString &name, bool passed) = 0;
    // One line (the text, then a line end) on standard output.
    virtual void writeLine(const QString &text) = 0;
    // The value of the parameter `name`, or the empty text.
    virtual QString parameter(const QString &name) = 0;
};

// The desktop program's: lines go to standard output, parameters are
// environment variables, checks are not recorded anywhere.
class StandardConsole : public ScriptConsole
{
public:
    void check(const QString &, bool) override {}
    void writeLine(const QString &text) override;
    QString parameter(const QString &name) override;
};

// A text as standard output gets it: UTF-8 when the locale's character set
// is UTF-8, otherwise one byte per character in Windows-1252, as files get
// it.
QByteArray consoleBytes(const QString &text);

// The environment variable `name`, or the empty text (also for a name no
// variable can have).
QString environmentParameter(const QString &name);

} // namespace varnok
