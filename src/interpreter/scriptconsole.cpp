// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptconsole.h"

#include "common/conventions.h"
#include "common/standardstreams.h"

#include <QFile>

#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <unistd.h>

namespace varnok {

QByteArray consoleBytes(const QString &text)
{
    const char *codeset = ::nl_langinfo(CODESET);
    if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0))
        return text.toUtf8();
    return encodeCp1252(text);
}

QString environmentParameter(const QString &name)
{
    if (name.isEmpty() || name.contains(u'=') || name.contains(QChar(u'\0')))
        return {};
    const char *value = std::getenv(QFile::encodeName(name).constData());
    return value ? QFile::decodeName(value) : QString();
}

void StandardConsole::writeLine(const QString &text)
{
    // What cannot be written (no reader, a full disk) is lost; the run goes
    // on as if it had been.
    writeToStream(STDOUT_FILENO, consoleBytes(text) + '\n');
}

QString StandardConsole::parameter(const QString &name)
{
    return environmentParameter(name);
}

} // namespace varnok
