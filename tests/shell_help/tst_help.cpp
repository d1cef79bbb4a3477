// SPDX-License-Identifier: GPL-3.0-or-later
// The help window "Anleitung" and the About window "Über": the exact help
// text, the links, and the main window kept disabled while either is open.

#include "shell/hilfeform.h"
#include "shell/maker.h"
#include "widgets/textbox.h"
#include "shell/ueberform.h"

#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using varnok::HilfeForm;
using varnok::UeberForm;

namespace {

QStringList helpLines()
{
    QStringList lines = HilfeForm::helpText().split(QStringLiteral("\r\n"));
    // The text ends with CR LF, so the split leaves one empty piece behind.
    lines.removeLast();
    return lines;
}

// The lines of the section that the given title line opens, up to the
// next section (or the end).
QStringList section(const QString &title)
{
    const QStringList lines = helpLines();
    const qsizetype from = lines.indexOf(title);
    QStringList out;
    for (qsizetype i = from; i >= 0 && i < lines.size(); ++i) {
        if (i > from && i + 2 < lines.size() && lines[i].isEmpty() && lines[i + 1].isEmpty())
            break;
        out << lines[i];
    }
    return out;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The links' cursor: a 32 x 32 hand whose hot spot is on the finger tip.
void checkPointingHand(const QWidget *link)
{
    const QCursor cursor = link->cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    QCOMPARE(cursor.hotSpot(), QPoint(5, 0));
    const QImage hand = cursor.pixmap().toImage();
    QVERIFY(hand.pixelColor(5, 0).alpha() > 0);
}

struct ShellDouble {
    QStringList opened;
    varnok::ShellOpen fn()
    {
        return [this](const QString &t) { opened << t; };
    }
};

} // namespace

class TstHelp : public QObject
{
    Q_OBJECT
private slots:
    void introductionIsLaidOutLineByLine();
    void syntaxColumnsLineUp();
    void objectRowsAreIndentedAndPadded();
    void statementsSectionIsExact();
    void errorsSectionIsExact();
    void statusSectionEndsTheText();
    void sectionsAreSeparatedByTwoEmptyLines();
    void helpWindowShowsTheTextReadOnly();
    void windowsHaveTheirTitlesAndSizes();
    void mainWindowIsDisabledWhileHelpIsOpen();
    void mainWindowIsDisabledWhileAboutIsOpen();
    void sideWindowsStayAboveTheMainWindow();
    void overlappingWindowsReleaseMainWindowOnlyWhenBothAreGone();
    void helpLinkOpensWebPage();
    void aboutLinksOpenWebPageAndMail();
    void aboutLabelsCarryTheirTexts();
};

void TstHelp::introductionIsLaidOutLineByLine()
{
    const QString intro = HilfeForm::introduction();
    QVERIFY(intro.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = intro.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 60); // 59 lines, each followed by CR LF
    QCOMPARE(lines[0], varnok::maker::greeting());
    QVERIFY(lines[0].contains(varnok::maker::name()));
    QCOMPARE(lines[1], QString());
    QCOMPARE(lines[2], QStringLiteral("Mit diesem Programm können sie einen beliebigen"));
    QCOMPARE(lines[4], QStringLiteral("Sie erhalten danach die Antwort inklusieve"));
    QCOMPARE(lines[12], QStringLiteral("weitergeleitet wird. Mit Hilfe dieses Programm kann "));
    QCOMPARE(lines[22], QStringLiteral("welcher Art."));
    QCOMPARE(lines[24], QStringLiteral("Der Syntax von Funktionen:"));
    QCOMPARE(lines[52], QStringLiteral("werden, sondern muss mit dem Befehl \"exec\""));
    QCOMPARE(lines[53], QStringLiteral("aufgerufen werden."));
    QCOMPARE(lines[56], QStringLiteral("Objekte, Funktionen, Variablen, Befehlen, etc."));
    QCOMPARE(lines[57], QString());
    QCOMPARE(lines[58], QString());
    QVERIFY(HilfeForm::helpText().startsWith(intro + QStringLiteral(" Objekte\r\n")));
}

void TstHelp::syntaxColumnsLineUp()
{
    const QStringList lines = HilfeForm::introduction().split(QStringLiteral("\r\n"));
    QCOMPARE(lines[25], QStringLiteral(" Objekt.Objekt.Funktion(Parameter)  führt die"));
    QCOMPARE(lines[48], QStringLiteral("                                     Objekt)"));
    // Lines 26 to 49: the explanation starts at character 37, the last
    // three continuation lines at character 38.
    for (int n = 26; n <= 49; ++n) {
        const QString &line = lines[n - 1];
        const qsizetype column = n >= 47 ? 37 : 36;
        QVERIFY2(line.size() > column && line[column] != u' ' && line[column - 1] == u' ',
                 qPrintable(QStringLiteral("line %1: %2").arg(n).arg(line)));
    }
}

void TstHelp::objectRowsAreIndentedAndPadded()
{
    const QStringList rows = section(QStringLiteral(" Objekte"));
    QCOMPARE(rows[0], QStringLiteral(" Objekte"));
    QCOMPARE(rows[1], QStringLiteral(" ======="));
    QCOMPARE(rows[2], QString());
    QCOMPARE(rows[3], QStringLiteral("Skript              Verknüpfung"));
    QCOMPARE(rows[6], QStringLiteral(" User               Objekt"));
    QCOMPARE(rows[7], QStringLiteral("  NewFunction       Funktion"));
    QVERIFY(rows.contains(QStringLiteral("  Accept-Language   Eigenschaft")));
    QVERIFY(rows.contains(QStringLiteral("  Content-Location  Eigenschaft")));
    QVERIFY(rows.contains(QStringLiteral("   GroesserGleich   Funktion")));
    QVERIFY(rows.contains(QStringLiteral("  weiteres          Eigenschaft")));
    QCOMPARE(rows.last(), QStringLiteral("NewSeiteFenster     Funktion"));
    QCOMPARE(rows.size() - 3, 105);
    // The list is fixed text, whatever the built-in table holds.
    QCOMPARE(rows.mid(3).join(u'\n'), QStringLiteral(R"(Skript              Verknüpfung
MyIndex             Funktion
Skript()            Objekt
 User               Objekt
  NewFunction       Funktion
  NewArray          Funktion
  NewVariable       Funktion
  NewShortcut       Funktion
 Error              Objekt
  Nummer            Eigenschaft
  Text              Eigenschaft
  Clear             Verknüpfung
 Funktion           Verknüpfung
 Funktion()         Objekt
  Parameter()       Eigenschaft
  AnzahlParameter   Eigenschaft
  Rueckgabe         Eigenschaft
 MyFunktion         Funktion
SeiteFenster()      Objekt
 Status             Eigenschaft
 Input              Objekt
  Server            Eigenschaft
  Port              Eigenschaft
  Befehl            Eigenschaft
  Referer           Eigenschaft
  Range             Eigenschaft
  Accept            Eigenschaft
  Accept-Language   Eigenschaft
  Accept-Encoding   Eigenschaft
  User-Agent        Eigenschaft
  Anhang            Eigenschaft
  Content-Type      Eigenschaft
 Output             Objekt
  Rueckgabe         Eigenschaft
  Server            Eigenschaft
  Date              Eigenschaft
  Content-Type      Eigenschaft
  Last-Modified     Eigenschaft
  ETag              Eigenschaft
  Content-Length    Eigenschaft
  Content-Range     Eigenschaft
  Content-Location  Eigenschaft
  Accept-Ranges     Eigenschaft
  Location          Eigenschaft
  weiteres          Eigenschaft
 Text               Eigenschaft
 Senden             Funktion
 Close              Funktion
SkriptFenster()     Objekt
 Status             Eigenschaft
 Text               Eigenschaft
 Neu                Funktion
 Laden              Funktion
 Speichern          Funktion
 Ausfuehren         Funktion
 Close              Funktion
File                Objekt
 Read               Funktion
 Write              Funktion
 Delete             Funktion
 Create             Funktion
 Copy               Funktion
Main                Objekt
 Mathe              Objekt
  Plus              Funktion
  Minus             Funktion
  Mal               Funktion
  Durch             Funktion
  Hoch              Funktion
  Wurzel            Funktion
 Text               Objekt
  Plus              Funktion
  Left              Funktion
  Right             Funktion
  Mid               Funktion
  Len               Funktion
  LTrim             Funktion
  RTrim             Funktion
  ZTrim             Funktion
  UCase             Funktion
  LCase             Funktion
 Convert            Objekt
  Chr               Funktion
  Asc               Funktion
  Text              Funktion
 Bedingung          Objekt
  Mathe             Objekt
   Groesser         Funktion
   GroesserGleich   Funktion
   Kleiner          Funktion
   KleinerGleich    Funktion
   Gleich           Funktion
   Ungleich         Funktion
  Text              Objekt
   Gleich           Funktion
   Ungleich         Funktion
 Und                Funktion
 Oder               Funktion
 Xor                Funktion
 Nicht              Funktion
 Random             Funktion
 Timer              Funktion
Text                Verknüpfung
NewSkriptFenster    Funktion
NewSeiteFenster     Funktion)"));
    for (qsizetype i = 3; i < rows.size(); ++i) {
        const QString kind = rows[i].mid(20);
        QVERIFY2(kind == u"Objekt" || kind == u"Funktion" || kind == u"Eigenschaft"
                     || kind == u"Verknüpfung",
                 qPrintable(rows[i]));
        QVERIFY(rows[i][19] == u' ');
    }
}

void TstHelp::statementsSectionIsExact()
{
    const QStringList expected = {
        QStringLiteral(" Befehle"), QStringLiteral(" ======="), QString(),
        QStringLiteral("exec Funktion"), QStringLiteral("onerror Befehl"),
        QStringLiteral("goto Sprungmarke"), QStringLiteral(": Sprungmarke"),
        QStringLiteral("exitfunction"), QStringLiteral("if Funktion"),
        QStringLiteral("elseif Funktion"), QStringLiteral("else"), QStringLiteral("endif"),
        QStringLiteral("do"), QStringLiteral("dowhile Funktion"), QStringLiteral("loop"),
        QStringLiteral("loopwhile Funktion"), QStringLiteral("' Komentar"),
        QStringLiteral("quit"), QStringLiteral("waitwhile Funktion"),
        QStringLiteral("waittill FUnktion"),
    };
    QCOMPARE(section(QStringLiteral(" Befehle")), expected);
}

void TstHelp::errorsSectionIsExact()
{
    const QStringList expected = {
        QStringLiteral(" Errors"), QStringLiteral(" ======"), QString(),
        QStringLiteral("1   unbekannter Befehl"), QStringLiteral("2   ungültige Parameter"),
        QStringLiteral("3   Syntaxfehler"), QStringLiteral("4   Objekt nicht gefunden"),
        QStringLiteral("5   ungültige Funktion"), QStringLiteral("6   Fehler beim Laden"),
        QStringLiteral("7   Fehler beim Speichern"), QStringLiteral("8   I/O-Fehler"),
    };
    QCOMPARE(section(QStringLiteral(" Errors")), expected);
}

void TstHelp::statusSectionEndsTheText()
{
    const QString text = HilfeForm::helpText();
    const QString expected = QStringLiteral(
        " Status\r\n ======\r\n"
        "SeiteFenster().Status\r\n 0 = bereit\r\n 1 = verbinde\r\n"
        " 2 = empfange Header\r\n 3 = empfange Daten\r\n"
        "SkriptFenster().Status\r\n 0 = bereit\r\n 1 = ausführen\r\n");
    QVERIFY(text.endsWith(expected));
    QVERIFY(!text.endsWith(QStringLiteral("\r\n\r\n")));
}

void TstHelp::sectionsAreSeparatedByTwoEmptyLines()
{
    const QString text = HilfeForm::helpText();
    for (const char *title : {" Befehle", " Errors", " Status"}) {
        const QString joint = QStringLiteral("\r\n\r\n\r\n") + QLatin1String(title) + QStringLiteral("\r\n");
        QVERIFY2(text.contains(joint), title);
        QVERIFY(!text.contains(QStringLiteral("\r\n") + joint));
    }
    QVERIFY(text.contains(QStringLiteral("NewSeiteFenster     Funktion\r\n\r\n\r\n Befehle")));
}

void TstHelp::helpWindowShowsTheTextReadOnly()
{
    ShellDouble shell;
    QPointer<HilfeForm> form = HilfeForm::open(nullptr, shell.fn());
    varnok::TextBox *box = form->findChild<varnok::TextBox *>(QStringLiteral("Text1"));
    QVERIFY(box);
    QCOMPARE(box->model()->text(), HilfeForm::helpText());
    QVERIFY(!box->acceptsUserEdits());
    QVERIFY(QFontInfo(box->font()).fixedPitch());
    QCOMPARE(box->plainTextEdit()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    QTest::keyClicks(box->plainTextEdit(), QStringLiteral("x"));
    QCOMPARE(box->model()->text(), HilfeForm::helpText());

    // The end of the text is its Status section.
    QVERIFY(box->displayText().endsWith(QStringLiteral("SkriptFenster().Status\n 0 = bereit\n 1 = ausführen\n")));
    form->close();
}

void TstHelp::windowsHaveTheirTitlesAndSizes()
{
    ShellDouble shell;
    QPointer<HilfeForm> help = HilfeForm::open(nullptr, shell.fn());
    QPointer<UeberForm> about = UeberForm::open(nullptr, shell.fn());
    QCOMPARE(help->windowTitle(), QStringLiteral("Anleitung"));
    QCOMPARE(about->windowTitle(), QStringLiteral("Über"));
    QVERIFY(help->isWindow() && !help->parentWidget());
    QCOMPARE(help->size(), QSize(help->twipsX(6750), help->twipsY(5595)));
    QCOMPARE(about->size(), QSize(about->twipsX(4680), about->twipsY(3255)));
    QCOMPARE(help->minimumSize(), help->maximumSize());
    for (QWidget *w : {static_cast<QWidget *>(help.data()), static_cast<QWidget *>(about.data())}) {
        QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    }
    help->close();
    about->close();
    flushDeletes();
    QVERIFY(!help);
    QVERIFY(!about);
}

void TstHelp::mainWindowIsDisabledWhileHelpIsOpen()
{
    QWidget mainWindow;
    mainWindow.show();
    ShellDouble shell;
    QPointer<HilfeForm> help = HilfeForm::open(&mainWindow, shell.fn());
    QVERIFY(!mainWindow.isEnabled());
    QVERIFY(help->isEnabled());
    help->close();
    QVERIFY(mainWindow.isEnabled());
    flushDeletes();
    QVERIFY(!help);

    // Destroyed without a close, it still gives the main window back.
    auto *again = HilfeForm::open(&mainWindow, shell.fn());
    QVERIFY(!mainWindow.isEnabled());
    delete again;
    QVERIFY(mainWindow.isEnabled());
}

void TstHelp::sideWindowsStayAboveTheMainWindow()
{
    // Own top-level windows, but transient for the main window, so the
    // window manager never puts the disabled main window over them.
    QWidget mainWindow;
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    ShellDouble shell;
    QPointer<HilfeForm> help = HilfeForm::open(&mainWindow, shell.fn());
    QPointer<UeberForm> about = UeberForm::open(&mainWindow, shell.fn());
    for (QWidget *w : {static_cast<QWidget *>(help.data()), static_cast<QWidget *>(about.data())}) {
        QVERIFY(w->isWindow() && !w->parentWidget());
        QVERIFY(w->windowHandle());
        QCOMPARE(w->windowHandle()->transientParent(), mainWindow.windowHandle());
        // A plain window is never made transient on X11; a dialog window is.
        QCOMPARE(w->windowType(), Qt::Dialog);
    }
    help->close();
    about->close();
}

void TstHelp::mainWindowIsDisabledWhileAboutIsOpen()
{
    QWidget mainWindow;
    mainWindow.show();
    ShellDouble shell;
    QPointer<UeberForm> about = UeberForm::open(&mainWindow, shell.fn());
    QVERIFY(!mainWindow.isEnabled());
    about->close();
    QVERIFY(mainWindow.isEnabled());
}

void TstHelp::overlappingWindowsReleaseMainWindowOnlyWhenBothAreGone()
{
    QWidget mainWindow;
    mainWindow.show();
    ShellDouble shell;
    QPointer<HilfeForm> help = HilfeForm::open(&mainWindow, shell.fn());
    QPointer<UeberForm> about = UeberForm::open(&mainWindow, shell.fn());
    help->close();
    QVERIFY(!mainWindow.isEnabled());
    about->close();
    QVERIFY(mainWindow.isEnabled());
}

void TstHelp::helpLinkOpensWebPage()
{
    ShellDouble shell;
    QPointer<HilfeForm> help = HilfeForm::open(nullptr, shell.fn());
    auto *link = help->findChild<QLabel *>(QStringLiteral("Label2"));
    QVERIFY(link);
    QCOMPARE(link->text(), varnok::maker::webAddress());
    checkPointingHand(link);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link->font().bold() && link->font().underline());
    QVERIFY(link->toolTip().contains(QStringLiteral("www.varnok.example.org")));
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(shell.opened, QStringList{QStringLiteral("http://www.varnok.example.org/")});
    // The text above the link is not a link.
    QTest::mouseClick(help->findChild<QLabel *>(QStringLiteral("Label1")), Qt::LeftButton);
    QCOMPARE(shell.opened.size(), 1);
    help->close();
}

void TstHelp::aboutLinksOpenWebPageAndMail()
{
    ShellDouble shell;
    QPointer<UeberForm> about = UeberForm::open(nullptr, shell.fn());
    auto *web = about->findChild<QLabel *>(QStringLiteral("Label4"));
    auto *mail = about->findChild<QLabel *>(QStringLiteral("Label6"));
    QVERIFY(web && mail);
    QCOMPARE(mail->text(), QStringLiteral("varnok@example.org"));
    QCOMPARE(mail->toolTip(), QStringLiteral("meine E-Mail-Adresse"));
    checkPointingHand(web);
    checkPointingHand(mail);
    QTest::mouseClick(web, Qt::LeftButton);
    QTest::mouseClick(mail, Qt::LeftButton);
    QCOMPARE(shell.opened, (QStringList{QStringLiteral("http://www.varnok.example.org/"),
                                        QStringLiteral("mailto:varnok@example.org")}));
    // A press that is released elsewhere is no click.
    QTest::mousePress(mail, Qt::LeftButton);
    QTest::mouseRelease(mail, Qt::LeftButton, {}, QPoint(-10, -10));
    QCOMPARE(shell.opened.size(), 2);
    about->close();
}

void TstHelp::aboutLabelsCarryTheirTexts()
{
    ShellDouble shell;
    QPointer<UeberForm> about = UeberForm::open(nullptr, shell.fn());
    auto text = [&](const char *name) {
        auto *l = about->findChild<QLabel *>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("<missing>");
    };
    QCOMPARE(text("Label1"), QStringLiteral("Dieses Programm wurde programmiert von"));
    QCOMPARE(text("Label2"), varnok::maker::name());
    QCOMPARE(text("Label3"),
             QStringLiteral("Weitere Programme, sowie Hilfe und Updates finden Sie auf folgender Seite:"));
    QCOMPARE(text("Label5"), QStringLiteral("Fragen, Fehler, etc. bitte an folgende E-Mail-Adresse:"));
    QVERIFY(text("Label7").contains(QStringLiteral("Freeware")));
    QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label2"))->toolTip(),
             QStringLiteral("Programmierer dieses Programms"));
    QVERIFY(about->findChild<QLabel *>(QStringLiteral("Label2"))->font().bold());
    about->close();
}

QTEST_MAIN(TstHelp)
#include "tst_help.moc"
