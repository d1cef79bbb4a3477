// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopcall.h"

#include <QFile>

#include <sys/stat.h>

namespace varnok {

namespace {

bool nameExists(const QString &name)
{
    // lstat: a link that leads nowhere is still the user's file name.
    struct stat st;
    return ::lstat(QFile::encodeName(name).constData(), &st) == 0;
}

} // namespace

DesktopCall parseDesktopCall(const QStringList &arguments)
{
    DesktopCall call;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.startsWith(u'-') && !nameExists(argument)) {
            call.files.clear();
            call.error = QStringLiteral("unbekannte Option: ") + argument;
            return call;
        }
        call.files << argument;
    }
    return call;
}

} // namespace varnok
