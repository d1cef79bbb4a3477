// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of varnok-run: every option it takes is a row of the one
// option list in runcall.cpp, which parsing and the help text both read.

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace varnok {

struct RunCall
{
    QStringList files;   // in the order given; "-" is standard input
    bool tap = false;    // --tap: a TAP stream on standard output
    QString junitFile;   // --junit FILE; empty: no JUnit report
    // -D NAME=WERT, in the order given (a later one of the same name wins).
    QList<std::pair<QString, QString>> parameters;
    QString mitschnittFolder; // --mitschnitt DIR; empty: no Mitschnitt files
};

struct ParsedRunCall
{
    enum class Outcome { Run, Help, Version, Wrong };
    Outcome outcome = Outcome::Wrong;
    RunCall call;
    QString error; // Wrong: what is wrong, without the program's name
};

// `arguments` with the program's name first.
ParsedRunCall parseRunCall(const QStringList &arguments);

QString runHelpText();
QString runVersionText();

inline constexpr char kRunUsage[] = "Aufruf: varnok-run [OPTION] DATEI";

} // namespace varnok
