// SPDX-License-Identifier: GPL-3.0-or-later
#include "hilfeform.h"

#include "maker.h"
#include "interpreter/builtins.h"
#include "widgets/linklabel.h"
#include "widgets/textbox.h"

#include <QLabel>

namespace varnok {

namespace {

// A row of the object list: a fixed row, or the place where the built-in
// table's rows of that help place are listed (in table order, each under
// the last word of its path, as a function).
struct Row {
    int level;
    const char16_t *name;
    const char16_t *kind;
    HelpPlace functions = HelpPlace::None;
};

const Row kObjects[] = {
    {0, u"Skript", u"Verknüpfung"},
    {0, nullptr, nullptr, HelpPlace::Root},
    {0, u"Skript()", u"Objekt"},
    {1, u"User", u"Objekt"},
    {2, nullptr, nullptr, HelpPlace::RunUser},
    {1, u"Error", u"Objekt"},
    {2, u"Nummer", u"Eigenschaft"},
    {2, u"Text", u"Eigenschaft"},
    {2, u"Clear", u"Verknüpfung"},
    {1, u"Funktion", u"Verknüpfung"},
    {1, u"Funktion()", u"Objekt"},
    {2, u"Parameter()", u"Eigenschaft"},
    {2, u"AnzahlParameter", u"Eigenschaft"},
    {2, u"Rueckgabe", u"Eigenschaft"},
    {1, nullptr, nullptr, HelpPlace::RunObject},
    {0, u"SeiteFenster()", u"Objekt"},
    {1, u"Status", u"Eigenschaft"},
    {1, u"Input", u"Objekt"},
    {2, u"Server", u"Eigenschaft"},
    {2, u"Port", u"Eigenschaft"},
    {2, u"Befehl", u"Eigenschaft"},
    {2, u"Referer", u"Eigenschaft"},
    {2, u"Range", u"Eigenschaft"},
    {2, u"Accept", u"Eigenschaft"},
    {2, u"Accept-Language", u"Eigenschaft"},
    {2, u"Accept-Encoding", u"Eigenschaft"},
    {2, u"User-Agent", u"Eigenschaft"},
    {2, u"Anhang", u"Eigenschaft"},
    {2, u"Content-Type", u"Eigenschaft"},
    {1, u"Output", u"Objekt"},
    {2, u"Rueckgabe", u"Eigenschaft"},
    {2, u"Server", u"Eigenschaft"},
    {2, u"Date", u"Eigenschaft"},
    {2, u"Content-Type", u"Eigenschaft"},
    {2, u"Last-Modified", u"Eigenschaft"},
    {2, u"ETag", u"Eigenschaft"},
    {2, u"Content-Length", u"Eigenschaft"},
    {2, u"Content-Range", u"Eigenschaft"},
    {2, u"Content-Location", u"Eigenschaft"},
    {2, u"Accept-Ranges", u"Eigenschaft"},
    {2, u"Location", u"Eigenschaft"},
    {2, u"weiteres", u"Eigenschaft"},
    {1, u"Text", u"Eigenschaft"},
    {1, nullptr, nullptr, HelpPlace::SeiteFenster},
    {0, u"SkriptFenster()", u"Objekt"},
    {1, u"Status", u"Eigenschaft"},
    {1, u"Text", u"Eigenschaft"},
    {1, nullptr, nullptr, HelpPlace::SkriptFenster},
    {0, u"File", u"Objekt"},
    {1, nullptr, nullptr, HelpPlace::File},
    {0, u"Main", u"Objekt"},
    {1, u"Mathe", u"Objekt"},
    {2, nullptr, nullptr, HelpPlace::MainMathe},
    {1, u"Text", u"Objekt"},
    {2, nullptr, nullptr, HelpPlace::MainText},
    {1, u"Convert", u"Objekt"},
    {2, nullptr, nullptr, HelpPlace::MainConvert},
    {1, u"Bedingung", u"Objekt"},
    {2, u"Mathe", u"Objekt"},
    {3, nullptr, nullptr, HelpPlace::MainBedingungMathe},
    {2, u"Text", u"Objekt"},
    {3, nullptr, nullptr, HelpPlace::MainBedingungText},
    {1, nullptr, nullptr, HelpPlace::Main},
    {0, u"Text", u"Verknüpfung"},
    {0, nullptr, nullptr, HelpPlace::RootEnd},
};

const char16_t *const kIntroduction[] = {
        nullptr, // the greeting, which names the maker
        u"",
        u"Mit diesem Programm können sie einen beliebigen",
        u"Befehl an einen beliebigen HTTP-Server senden.",
        u"Sie erhalten danach die Antwort inklusieve",
        u"HTTP-Header und vollständigem HTTP-Code der",
        u"angeforderten Seite.",
        u"",
        u"Das kann man z. B. gebrauchen, wenn man den HTTP-Code",
        u"einer bestimmten Seite bekommen will, den man über",
        u"den Internet Explorer nicht bekommt, weil die rechte",
        u"Maustaste gesperrt ist oder weil man sofort",
        u"weitergeleitet wird. Mit Hilfe dieses Programm kann ",
        u"man so z. B. die URL einer bestimmten Datei",
        u"rauskriegen, die man gerne mit einem Downloadmanager",
        u"runterladen will.",
        u"",
        u"Das besondere an dem Programm ist, dass man bestimmte",
        u"Anfragen, Postings, etc. mit einem dafür angepassten,",
        u"objektorientiertem Skript automatisieren kann.",
        u"Das Programm darf NICHT verwendet werden, um",
        u"anderen irgendwelchen Schaden zuzuführen egal",
        u"welcher Art.",
        u"",
        u"Der Syntax von Funktionen:",
        u" Objekt.Objekt.Funktion(Parameter)  führt die",
        u"                                    Funktion aus",
        u" Objekt.Variable(Wert)              übergibt der",
        u"                                    Variable einen",
        u"                                    Wert",
        u" Objekt.Variable                    gibt den Wert der",
        u"                                    Variable zurück",
        u" Funktion(Parameter1 Parameter2)    führt die",
        u"                                    Funktion aus",
        u"                                    (2 Parameter)",
        u" Array(Index)                       gibt einen",
        u"                                    Eintrag im Array",
        u"                                    zurück",
        u" Array(Index Wert)                  setzt einen",
        u"                                    Eintrag im Array",
        u" ObjektArray(Index).Funktion()      führt die",
        u"                                    Funktion in einem",
        u"                                    Objektarray aus",
        u" Verknüpfung.Objekt.Funktion()      führt die",
        u"                                    Funktion aus",
        u"                                    (Verknüpfung ist",
        u"                                     eine Verknüpfung",
        u"                                     auf ein anderes",
        u"                                     Objekt)",
        u"Als Parameter kann eine Zahl oder eine andere",
        u"Funktion verwendet werden.",
        u"Eine Funktion kann nicht direkt aufgerufen",
        u"werden, sondern muss mit dem Befehl \"exec\"",
        u"aufgerufen werden.",
        u"",
        u"Nachfolgend kommt eine Liste aller vorhandenen",
        u"Objekte, Funktionen, Variablen, Befehlen, etc.",
        u"",
        u"",
};

const char16_t *const kStatements[] = {
    u"exec Funktion", u"onerror Befehl", u"goto Sprungmarke", u": Sprungmarke",
    u"exitfunction", u"if Funktion", u"elseif Funktion", u"else", u"endif", u"do",
    u"dowhile Funktion", u"loop", u"loopwhile Funktion", u"' Komentar", u"quit",
    u"waitwhile Funktion", u"waittill FUnktion",
};

const char16_t *const kErrors[] = {
    u"unbekannter Befehl", u"ungültige Parameter", u"Syntaxfehler",
    u"Objekt nicht gefunden", u"ungültige Funktion", u"Fehler beim Laden",
    u"Fehler beim Speichern", u"I/O-Fehler",
};

void addLine(QString &out, const QString &line)
{
    out += line;
    out += QLatin1String("\r\n");
}

void addTitle(QString &out, const QString &title, bool emptyLineAfter)
{
    addLine(out, QLatin1Char(' ') + title);
    addLine(out, QLatin1Char(' ') + QString(title.size(), u'='));
    if (emptyLineAfter)
        addLine(out, QString());
}

} // namespace

QString HilfeForm::introduction()
{
    QString out;
    for (const char16_t *line : kIntroduction)
        addLine(out, line ? QString::fromUtf16(line) : maker::greeting());
    return out;
}

QString HilfeForm::referenceList()
{
    constexpr qsizetype kNameColumn = 20;
    QString out;
    addTitle(out, QStringLiteral("Objekte"), true);
    const auto addRow = [&out](int level, const QString &name, const QString &kind) {
        addLine(out, (QString(level, u' ') + name).leftJustified(kNameColumn, u' ') + kind);
    };
    for (const Row &row : kObjects) {
        if (row.functions == HelpPlace::None) {
            addRow(row.level, QString::fromUtf16(row.name), QString::fromUtf16(row.kind));
            continue;
        }
        for (const Builtin &b : builtinTable()) {
            if (b.help != row.functions)
                continue;
            const QStringView path = b.site.path;
            addRow(row.level, path.mid(path.lastIndexOf(u'.') + 1).toString(), QStringLiteral("Funktion"));
        }
    }
    addLine(out, QString());
    addLine(out, QString());

    addTitle(out, QStringLiteral("Befehle"), true);
    for (const char16_t *s : kStatements)
        addLine(out, QString::fromUtf16(s));
    addLine(out, QString());
    addLine(out, QString());

    addTitle(out, QStringLiteral("Errors"), true);
    int number = 1;
    for (const char16_t *message : kErrors)
        addLine(out, QString::number(number++) + QLatin1String("   ") + QString::fromUtf16(message));
    addLine(out, QString());
    addLine(out, QString());

    addTitle(out, QStringLiteral("Status"), false);
    addLine(out, QStringLiteral("SeiteFenster().Status"));
    addLine(out, QStringLiteral(" 0 = bereit"));
    addLine(out, QStringLiteral(" 1 = verbinde"));
    addLine(out, QStringLiteral(" 2 = empfange Header"));
    addLine(out, QStringLiteral(" 3 = empfange Daten"));
    addLine(out, QStringLiteral("SkriptFenster().Status"));
    addLine(out, QStringLiteral(" 0 = bereit"));
    addLine(out, QStringLiteral(" 1 = ausführen"));
    return out;
}

QString HilfeForm::helpText()
{
    return introduction() + referenceList();
}

HilfeForm::HilfeForm(QWidget *mainWindow, ShellOpen linkOpener)
    : SideWindow(QStringLiteral("Anleitung"), 6750, 5595, mainWindow, std::move(linkOpener)),
      m_model(std::make_shared<TextModel>(helpText()))
{
    m_text = new TextBox(m_model, TextBox::Mode::MultiLine, this);
    m_text->setObjectName(QStringLiteral("Text1"));
    m_text->setUserReadOnly(true);
    m_text->setForceVerticalScrollBar(true);
    m_text->setFixedFont(QStringLiteral("Courier"), 9.75);
    m_text->setGeometry(twipsRect(0, 0, 6735, 4935));

    auto *hint = new QLabel(
        QStringLiteral("Weitere Hilfe, Tipps sowie aktuelle Updates finden Sie auf folgender Seite:"),
        this);
    hint->setObjectName(QStringLiteral("Label1"));
    hint->setFont(sidewindow::tahoma(9.75));
    hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    hint->setGeometry(twipsRect(120, 5040, 6495, 255));
    sidewindow::shrinkToWidth(hint, hint->width());

    auto *link = new LinkLabel(maker::webAddress(), this);
    link->setObjectName(QStringLiteral("Label2"));
    QFont linkFont = sidewindow::tahoma(9.75);
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    link->setFont(linkFont);
    link->setToolTip(maker::webServerToolTip());
    placeSizedToText(link, twipsRect(2385, 5280, 1965, 240));
    connect(link, &LinkLabel::clicked, this, [this] { openLink(maker::webUrl()); });
}

HilfeForm::~HilfeForm() = default;

HilfeForm *HilfeForm::open(QWidget *mainWindow, ShellOpen linkOpener)
{
    auto *form = new HilfeForm(mainWindow, std::move(linkOpener));
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

} // namespace varnok
