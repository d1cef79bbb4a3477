// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counting loop every interpreter benchmark runs, with `padLines`
// statements after it that the run never reaches.

#include <QString>
#include <QStringList>

inline QString countingLoopScript(int passes, int padLines)
{
    QStringList l = {QStringLiteral("EXEC Skript.User.NewVariable(Text(I))"), QStringLiteral("EXEC Skript.User.I(0)"),
                     QStringLiteral("DO"), QStringLiteral("EXEC Skript.User.I(Main.Mathe.Plus(Skript.User.I 1))"),
                     QStringLiteral("LOOPWHILE Main.Bedingung.Mathe.Kleiner(Skript.User.I %1)").arg(passes),
                     QStringLiteral("QUIT")};
    for (int i = 0; i < padLines; ++i)
        l << QStringLiteral("EXEC Main.Text.Plus(Text(Zeile) %1)").arg(i);
    return l.join(QStringLiteral("\r\n"));
}
