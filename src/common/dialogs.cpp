// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

namespace varnok {

QStringList ErrorPlace::parts() const
{
    QStringList out;
    if (line > 0 && !statement.isEmpty())
        out << QStringLiteral("Zeile %1: %2").arg(line).arg(statement);
    else if (line > 0)
        out << QStringLiteral("Zeile %1").arg(line);
    else if (!statement.isEmpty())
        out << statement;
    if (!missingName.isEmpty())
        out << QStringLiteral("„%1“ nicht gefunden").arg(missingName)
                   + (missingPath.isEmpty() || missingPath == missingName
                          ? QString()
                          : QStringLiteral(" (in %1)").arg(missingPath));
    return out;
}

} // namespace varnok
