// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of the desktop program `varnok [DATEI ...]`.
//
// Its only arguments are script files, so none of them is handed to Qt,
// whose own options (-reverse, -style, -platform, ...) would otherwise take
// a file of that name away. An argument starting with "-" is a file when a
// file of that name exists (a desktop hands over whatever names the user's
// files have); otherwise it is an unknown option and the call is wrong.
// "--" ends the options: every argument after it is a file name.

#include <QString>
#include <QStringList>

namespace varnok {

struct DesktopCall
{
    QStringList files;
    // Empty for a good call; otherwise the line saying what is wrong,
    // without the program's name.
    QString error;
};

// `arguments` without the program's name.
DesktopCall parseDesktopCall(const QStringList &arguments);

inline constexpr char kDesktopUsage[] = "Aufruf: varnok [DATEI ...]";

} // namespace varnok
