// SPDX-License-Identifier: GPL-3.0-or-later
#include "runcall.h"

#include "shell/buildinfo.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>

namespace varnok {

namespace {

// Every option of varnok-run, in the order the help lists them.
struct Option
{
    QStringList names;
    QString valueName; // empty: takes no value
    QString description;
};

const QList<Option> &options()
{
    static const QList<Option> list = {
        {{QStringLiteral("D")}, QStringLiteral("NAME=WERT"),
         QStringLiteral("WERT für Main.Parameter(NAME), vor der Umgebungsvariablen")},
        {{QStringLiteral("tap")}, QString(),
         QStringLiteral("einen TAP-Bericht (Version 14) auf die Standardausgabe schreiben")},
        {{QStringLiteral("junit")}, QStringLiteral("DATEI"),
         QStringLiteral("einen JUnit-XML-Bericht in DATEI schreiben")},
        {{QStringLiteral("mitschnitt")}, QStringLiteral("DIR"),
         QStringLiteral("den Mitschnitt jeder Anfrage in DIR schreiben")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QString(),
         QStringLiteral("diese Hilfe zeigen und beenden")},
        {{QStringLiteral("v"), QStringLiteral("version")}, QString(),
         QStringLiteral("die Version zeigen und beenden")},
    };
    return list;
}

QCommandLineOption toQt(const Option &o)
{
    return o.valueName.isEmpty() ? QCommandLineOption(o.names, o.description)
                                 : QCommandLineOption(o.names, o.description, o.valueName);
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

ParsedRunCall wrong(const QString &error)
{
    ParsedRunCall p;
    p.outcome = ParsedRunCall::Outcome::Wrong;
    p.error = error;
    return p;
}

} // namespace

ParsedRunCall parseRunCall(const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const Option &o : options())
        parser.addOption(toQt(o));
    const bool parsed = parser.parse(arguments);
    const auto isSet = [&](const char *name) { return parsed && parser.isSet(QString::fromLatin1(name)); };
    if (isSet("help")) {
        ParsedRunCall p;
        p.outcome = ParsedRunCall::Outcome::Help;
        return p;
    }
    if (isSet("version")) {
        ParsedRunCall p;
        p.outcome = ParsedRunCall::Outcome::Version;
        return p;
    }
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return wrong(QStringLiteral("unbekannte Option: ") + dashed(unknown.first()));
        // The other faults possible here: a value given to an option that
        // takes none ("--help=x"), or none to one that needs it.
        const auto withValue = std::find_if(arguments.begin() + 1, arguments.end(), [](const QString &a) {
            return a.startsWith(QStringLiteral("--")) && a.contains(QLatin1Char('='));
        });
        if (withValue != arguments.end()) {
            const QString name = withValue->section(QLatin1Char('='), 0, 0);
            const bool takesValue = std::any_of(options().begin(), options().end(), [&](const Option &o) {
                return !o.valueName.isEmpty() && o.names.contains(name.mid(2));
            });
            if (!takesValue)
                return wrong(QStringLiteral("Option ") + name + QStringLiteral(" erwartet keinen Wert"));
        }
        for (const Option &o : options())
            if (!o.valueName.isEmpty() && !arguments.isEmpty() && o.names.contains(arguments.last().mid(
                    arguments.last().startsWith(QStringLiteral("--")) ? 2 : 1)))
                return wrong(QStringLiteral("Option ") + arguments.last() + QStringLiteral(" erwartet einen Wert: ")
                             + o.valueName);
        return wrong(QStringLiteral("falscher Aufruf"));
    }

    ParsedRunCall p;
    p.outcome = ParsedRunCall::Outcome::Run;
    RunCall &call = p.call;
    call.tap = parser.isSet(QStringLiteral("tap"));
    const QStringList junit = parser.values(QStringLiteral("junit"));
    if (junit.size() > 1)
        return wrong(QStringLiteral("--junit darf nur einmal angegeben werden"));
    if (!junit.isEmpty()) {
        if (junit.first().isEmpty())
            return wrong(QStringLiteral("leerer Dateiname für --junit"));
        call.junitFile = junit.first();
    }
    for (const QString &definition : parser.values(QStringLiteral("D"))) {
        const qsizetype eq = definition.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return wrong(QStringLiteral("-D erwartet NAME=WERT: ") + definition);
        call.parameters.append({definition.left(eq), definition.mid(eq + 1)});
    }
    const QStringList mitschnitt = parser.values(QStringLiteral("mitschnitt"));
    if (mitschnitt.size() > 1)
        return wrong(QStringLiteral("--mitschnitt darf nur einmal angegeben werden"));
    if (!mitschnitt.isEmpty()) {
        if (!QFileInfo(mitschnitt.first()).isDir())
            return wrong(QStringLiteral("--mitschnitt: kein Verzeichnis: ") + mitschnitt.first());
        call.mitschnittFolder = mitschnitt.first();
    }
    call.files = parser.positionalArguments();
    if (call.files.isEmpty())
        return wrong(QStringLiteral("keine Skriptdatei angegeben"));
    if (call.files.contains(QString()))
        return wrong(QStringLiteral("leerer Dateiname"));
    if (call.files.count(QStringLiteral("-")) > 1)
        return wrong(QStringLiteral("die Standardeingabe kann nur einmal gelesen werden"));
    return p;
}

QString runHelpText()
{
    QString text = QLatin1String(kRunUsage) + QLatin1Char('\n')
                   + QStringLiteral(
                       "Führt jede Varnok-Skriptdatei DATEI aus wie „Ausführen“ in einem Skriptfenster,\n"
                       "ohne ein Fenster zu zeigen, eine nach der anderen, jede in einem neuen\n"
                       "Skriptfenster. Ist DATEI „-“, wird das Skript von der Standardeingabe gelesen.\n"
                       "\n"
                       "Optionen:\n");
    for (const Option &o : options()) {
        QStringList names;
        for (const QString &name : o.names)
            names << dashed(name);
        QString left = names.join(QStringLiteral(", "));
        if (!o.valueName.isEmpty())
            left += QLatin1Char(' ') + o.valueName;
        text += QStringLiteral("  ") + left.leftJustified(15) + QLatin1Char(' ') + o.description + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\n"
        "Jedes Meldungsfenster wird eine Zeile auf der Standardfehlerausgabe und mit OK\n"
        "beantwortet, jede Frage mit Nein. Gehört die laufende Anweisung zu DATEI, steht\n"
        "davor, wo sie steht: „DATEI:ZEILE: Fehler 4: Objekt nicht gefunden“.\n"
        "Main.Test.Pruefe(BEDINGUNG NAME) zählt eine Prüfung, Main.Konsole.Schreibe(TEXT)\n"
        "schreibt eine Zeile auf die Standardausgabe.\n"
        "\n"
        "Rückgabewert (bei mehreren Dateien der schlimmste: 2, 1, 3, 0):\n"
        "  0    der Lauf endete ohne Fehlermeldung, jede Prüfung bestanden\n"
        "  1    eine Fehlermeldung beendete den Lauf\n"
        "  2    falscher Aufruf, DATEI konnte nicht geladen oder der Bericht nicht\n"
        "       geschrieben werden\n"
        "  3    der Lauf endete ohne Fehlermeldung, aber eine Prüfung schlug fehl\n"
        "  130  durch SIGINT (Strg+C) angehalten\n"
        "  143  durch SIGTERM angehalten\n"
        "\n"
        "Mehr in „man varnok-run“.\n");
    return text;
}

QString runVersionText()
{
    return QStringLiteral("varnok-run (Varnok) ") + QString::fromLatin1(buildinfo::version)
           + QStringLiteral(
               "\n"
               "Lizenz GPLv3+: GNU GPL Version 3 oder neuer <https://gnu.org/licenses/gpl.html>.\n"
               "Dies ist freie Software: Sie dürfen sie ändern und weitergeben.\n"
               "Es gibt KEINE GARANTIE, soweit das Gesetz es zulässt.\n");
}

} // namespace varnok
