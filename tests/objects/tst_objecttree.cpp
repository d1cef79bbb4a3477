// SPDX-License-Identifier: GPL-3.0-or-later
// The tree classes and the trees built at start-up and for windows.

#include "common/limits.h"
#include "objects/builtintree.h"
#include "objects/objecttree.h"
#include "interpreter/builtins.h"
#include "objects/windowobjects.h"

#include "common/textmodel.h"
#include "interpreter/engine.h"

#include <QTest>

using namespace varnok;

namespace {

// Every list of a node and its sub-objects in order, one entry a line, the
// way a script's lookups see them.
void dump(const ScriptObjects &node, int level, QString &out)
{
    const QString indent(level * 2, u' ');
    for (const ShortcutPtr &s : node.shortcuts())
        out += indent + QStringLiteral("shortcut ") + s->GetName() + QStringLiteral(" -> ") + s->GetVerknuepfung() + u'\n';
    for (const VariablePtr &v : node.variables())
        out += indent + QStringLiteral("variable ") + v->GetName() + u'\n';
    for (const FunctionPtr &f : node.functions())
        out += indent + QStringLiteral("function ") + f->GetName() + QStringLiteral(" = ") + f->GetFunktion() + u'\n';
    for (const ValueArrayPtr &a : node.valueArrays())
        out += indent + QStringLiteral("values ") + a->GetName() + u'\n';
    for (const ObjectArrayPtr &a : node.objectArrays())
        out += indent + QStringLiteral("objects ") + a->GetName() + QStringLiteral(" (") + QString::number(a->count()) + QStringLiteral(")\n");
    for (const NodePtr &n : node.objects()) {
        out += indent + QStringLiteral("object ") + n->GetName() + u'\n';
        dump(*n, level + 1, out);
    }
}

QString dump(const ScriptObjects &node)
{
    QString out;
    dump(node, 0, out);
    return out;
}

} // namespace

class TestObjectTree : public QObject
{
    Q_OBJECT
private slots:
    void namesAreNormalisedAndFirstWins()
    {
        ScriptObjects node;
        node.Initialize();
        node.AddVariable(u"  Host ");
        VariablePtr v;
        QVERIFY(node.GetVariable(u"host", v));
        QCOMPARE(v->GetName(), QStringLiteral("HOST"));

        node.AddFunction(u"A");
        node.AddFunction(u"a");
        node.function(u"A")->SetFunktion(u" mainMathePlus ");
        QCOMPARE(node.function(u"a")->GetFunktion(), QStringLiteral("MAINMATHEPLUS"));
        QCOMPARE(node.functionCount(), size_t(2));

        node.AddShortcut(u"K");
        node.shortcut(u"K")->SetVerknuepfung(QStringLiteral("  Main.Convert.Text "));
        QCOMPARE(node.shortcut(u"k")->GetVerknuepfung(), QStringLiteral("  Main.Convert.Text "));

        // A failed lookup leaves the out-parameter alone.
        VariablePtr keep = v;
        QVERIFY(!node.GetVariable(u"missing", keep));
        QCOMPARE(keep, v);
    }

    void longListsStillFindTheFirstEntry()
    {
        // Long lists are looked up through an index; what a lookup finds
        // must stay what a walk from the top finds.
        ScriptObjects node;
        node.Initialize();
        for (int round = 0; round < 2; ++round) {
            for (int k = 0; k < 40; ++k) {
                node.AddVariable(QStringLiteral(" v%1 ").arg(k));
                node.variable(QStringLiteral("V%1").arg(k))->SetInhalt(QString::number(k));
            }
            // Later entries of a name, added after the index exists, stay unreachable.
            node.AddVariable(u"v3");
            node.AddVariable(u"Ä");
            node.AddVariable(u"ä");
            node.variable(u" ä")->SetInhalt(QStringLiteral("erstes"));
            QCOMPARE(node.variable(u" V3  ")->GetInhalt(), QStringLiteral("3"));
            QCOMPARE(node.variable(u"v39")->GetInhalt(), QStringLiteral("39"));
            QCOMPARE(node.variableCount(), size_t(43));
            QCOMPARE(node.variables().at(41)->GetInhalt(), QStringLiteral("erstes"));
            QVERIFY(!node.variable(u"v40"));
            QVERIFY(!node.variable(u"v 3"));
            const QString key = QStringLiteral("V7");
            const VariablePtr *found = node.variableSlot({key, nameHash(key)});
            QVERIFY(found && (*found)->GetInhalt() == QStringLiteral("7"));
            // Emptied, the list and its index start again.
            node.Initialize();
            QVERIFY(!node.variable(u"v3"));
        }
    }

    void valueArraysAreSparse()
    {
        ArrayVariable a;
        a.Initialize();
        QCOMPARE(a.GetInhalt(5), std::optional<QString>(QString()));
        QCOMPARE(a.count(), size_t(1));
        a.SetInhalt(-1, QStringLiteral("x"));
        QCOMPARE(a.GetInhalt(-1), std::optional<QString>(QStringLiteral("x")));
        // Large arrays switch to a hash; lookups must stay right.
        for (int i = 0; i < 1000; ++i)
            a.SetInhalt(qint16(i * 7), QString::number(i));
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(*a.GetInhalt(qint16(i * 7)), QString::number(i));
        QCOMPARE(*a.GetInhalt(-1), QStringLiteral("x"));
    }

    void arraysStopAtTheirLimit()
    {
        ArrayVariable a;
        a.Initialize();
        for (int i = 0; i < limits::kListEntries; ++i)
            QVERIFY(a.SetInhalt(qint16(i - 16384), QString()));
        QVERIFY(!a.SetInhalt(32767, QStringLiteral("zu viel")));
        QVERIFY(!a.GetInhalt(32767));
        QVERIFY(a.GetInhalt(0));
    }

    void objectArraysAndReset()
    {
        ArrayObjects arr;
        arr.Initialize();
        arr.SetName(u"SeiteFenster");
        const NodePtr seven = arr.GetObject(7);
        QCOMPARE(seven->GetName(), QStringLiteral("SEITEFENSTER"));
        QCOMPARE(arr.GetObject(7), seven);
        seven->AddVariable(u"X");
        arr.ResetObject(7);
        QVERIFY(arr.GetObject(7) != seven);
        QVERIFY(!arr.GetObject(7)->variable(u"X"));
        QVERIFY(seven->variable(u"X")); // the old node stays usable for its holders
        arr.ResetObject(8);
        QVERIFY(!arr.peekObject(8));
    }

    void boundVariables()
    {
        auto box = std::make_shared<TextModel>();
        EineVariable v;
        v.SetInhalt(QStringLiteral("eigen"));
        v.LinkInhaltWithTextBox(box);
        v.SetInhalt(QStringLiteral("im Feld"));
        QCOMPARE(box->text(), QStringLiteral("im Feld"));
        box->setText(QStringLiteral("getippt"));
        QCOMPARE(v.GetInhalt(), QStringLiteral("getippt"));
        v.LinkInhaltWithNothing();
        QCOMPARE(v.GetInhalt(), QStringLiteral("eigen"));
        // A destroyed box reads empty and ignores writes.
        v.LinkInhaltWithTextBox(box);
        box.reset();
        QCOMPARE(v.GetInhalt(), QString());
        v.SetInhalt(QStringLiteral("ins Leere"));
        QCOMPARE(v.GetInhalt(), QString());
    }

    void everyTextChangeIsCounted()
    {
        // The runner keeps what it read from a script text until the text's
        // version changes: every way of changing the text must count.
        TextModel m;
        quint64 seen = m.textVersion();
        auto changed = [&] {
            const bool c = m.textVersion() != seen;
            seen = m.textVersion();
            return c;
        };
        m.setText(QStringLiteral("abc"));
        QVERIFY(changed());
        m.setText(QStringLiteral("abc")); // the same text again still counts
        QVERIFY(changed());
        m.append(u"d");
        QVERIFY(changed());
        m.appendWith(2, [](char16_t *p) { p[0] = u'e'; p[1] = u'f'; });
        QVERIFY(changed());
        m.replaceRange(0, 1, u"X"); // same length, in place
        QVERIFY(changed());
        m.setSelection(1, 2);
        m.setReadOnly(true);
        m.reserveMore(100);
        QVERIFY(!changed());
        QCOMPARE(m.scriptText(), QStringLiteral("Xbcdef"));
    }

    void builtInTree()
    {
        const NodePtr root = BuildObjectTree(builtinSites());
        QCOMPARE(root->objectCount(), size_t(2));
        QCOMPARE(root->objects()[0]->GetName(), QStringLiteral("FILE"));
        QCOMPARE(root->objects()[1]->GetName(), QStringLiteral("MAIN"));
        const NodePtr main = root->object(u"main");
        QVERIFY(main);
        QCOMPARE(main->object(u"Mathe")->function(u"  plus ")->GetFunktion(), QStringLiteral("MAINMATHEPLUS"));
        QVERIFY(root->shortcut(u"Skript") && root->objectArray(u"Skript"));
        QCOMPARE(root->shortcut(u"Skript")->GetVerknuepfung(), QStringLiteral("Skript(MyIndex())"));
        QCOMPARE(root->shortcut(u"Text")->GetVerknuepfung(), QStringLiteral("Main.Convert.Text"));
        QVERIFY(main->object(u"Text") && !main->object(u"Convert")->object(u"Text"));
        QVERIFY(main->object(u"Convert")->function(u"Text"));
        QVERIFY(main->object(u"File")->function(u"Copy"));
        QVERIFY(!root->object(u"File")->function(u"Copy"));
        QCOMPARE(root->object(u"File")->function(u"Read")->GetFunktion(), QStringLiteral("FILEREAD"));
        const QStringList order = {QStringLiteral("MATHE"), QStringLiteral("TEXT"), QStringLiteral("CONVERT"),
                                   QStringLiteral("BEDINGUNG"), QStringLiteral("FILE"), QStringLiteral("TEST"),
                                   QStringLiteral("KONSOLE")};
        QStringList names;
        for (const NodePtr &n : main->objects())
            names << n->GetName();
        QCOMPARE(names, order);
        QCOMPARE(main->functionCount(), size_t(7));
        QCOMPARE(main->object(u"Text")->functionCount(), size_t(11));
        QCOMPARE(main->object(u"Bedingung")->object(u"Mathe")->function(u"GroesserGleich")->GetFunktion(),
                 QStringLiteral("MAINBEDINGUNGMATHEGROESSERGLEICH"));
        for (const char16_t *a : {u"Skript", u"SeiteFenster", u"SkriptFenster"})
            QCOMPARE(root->objectArray(a)->count(), size_t(0));
        QCOMPARE(root->functions().back()->GetName(), QStringLiteral("NEWSEITEFENSTER"));
    }

    // The whole tree a script sees, list by list in order: the start-up
    // tree, a run's own object and the two window objects.
    void treesInFull()
    {
        NullHost host;
        Engine engine(host);
        QCOMPARE(dump(engine.root()), QStringLiteral(R"(shortcut SKRIPT -> Skript(MyIndex())
shortcut TEXT -> Main.Convert.Text
function MYINDEX = MYINDEX
function NEWSKRIPTFENSTER = NEWSKRIPTFENSTER
function NEWSEITEFENSTER = NEWSEITEFENSTER
objects SKRIPT (0)
objects SEITEFENSTER (0)
objects SKRIPTFENSTER (0)
object FILE
  function READ = FILEREAD
  function WRITE = FILEWRITE
  function DELETE = FILEDELETE
  function CREATE = FILECREATE
object MAIN
  function UND = MAINUND
  function ODER = MAINODER
  function XOR = MAINXOR
  function NICHT = MAINNICHT
  function RANDOM = MAINRANDOM
  function TIMER = MAINTIMER
  function PARAMETER = MAINPARAMETER
  object MATHE
    function PLUS = MAINMATHEPLUS
    function MINUS = MAINMATHEMINUS
    function MAL = MAINMATHEMAL
    function DURCH = MAINMATHEDURCH
    function HOCH = MAINMATHEHOCH
    function WURZEL = MAINMATHEWURZEL
  object TEXT
    function PLUS = MAINTEXTPLUS
    function LEFT = MAINTEXTLEFT
    function RIGHT = MAINTEXTRIGHT
    function MID = MAINTEXTMID
    function LEN = MAINTEXTLEN
    function LTRIM = MAINTEXTLTRIM
    function RTRIM = MAINTEXTRTRIM
    function ZTRIM = MAINTEXTZTRIM
    function UCASE = MAINTEXTUCASE
    function LCASE = MAINTEXTLCASE
    function SUCHE = MAINTEXTSUCHE
  object CONVERT
    function CHR = MAINCONVERTCHR
    function ASC = MAINCONVERTASC
    function TEXT = MAINCONVERTTEXT
  object BEDINGUNG
    object MATHE
      function GROESSER = MAINBEDINGUNGMATHEGROESSER
      function GROESSERGLEICH = MAINBEDINGUNGMATHEGROESSERGLEICH
      function KLEINER = MAINBEDINGUNGMATHEKLEINER
      function KLEINERGLEICH = MAINBEDINGUNGMATHEKLEINERGLEICH
      function GLEICH = MAINBEDINGUNGMATHEGLEICH
      function UNGLEICH = MAINBEDINGUNGMATHEUNGLEICH
    object TEXT
      function GLEICH = MAINBEDINGUNGTEXTGLEICH
      function UNGLEICH = MAINBEDINGUNGTEXTUNGLEICH
  object FILE
    function READ = MAINFILEREAD
    function WRITE = MAINFILEWRITE
    function CREATE = MAINFILECREATE
    function DELETE = MAINFILEDELETE
    function COPY = MAINFILECOPY
  object TEST
    function PRUEFE = MAINTESTPRUEFE
  object KONSOLE
    function SCHREIBE = MAINKONSOLESCHREIBE
)"));
        const RunRef run = engine.NewSkriptObject();
        QCOMPARE(dump(*engine.root().objectArray(u"Skript")->peekObject(run.index)), QStringLiteral(R"(shortcut FUNKTION -> Skript.Funktion(Skript.MyFunktion())
function MYFUNKTION = SKRIPTMYFUNKTION
objects FUNKTION (0)
object USER
  function NEWFUNCTION = SKRIPTUSERNEWFUNCTION
  function NEWARRAY = SKRIPTUSERNEWARRAY
  function NEWVARIABLE = SKRIPTUSERNEWVARIABLE
  function NEWSHORTCUT = SKRIPTUSERNEWSHORTCUT
object ERROR
  shortcut CLEAR -> Main.Und(Skript.Error.Text() Skript.Error.Nummer(0))
  variable NUMMER
  variable TEXT
)"));
        SeiteFields f;
        for (auto &field : f.items)
            field = std::make_shared<TextModel>();
        RegisterSeiteFenster(engine.root(), 3, f, builtinSites());
        QCOMPARE(dump(*engine.root().objectArray(u"SeiteFenster")->peekObject(3)), QStringLiteral(R"(variable STATUS
variable TEXT
function SENDEN = SEITEFENSTERSENDEN 3
function CLOSE = SEITEFENSTERCLOSE 3
object INPUT
  variable SERVER
  variable PORT
  variable BEFEHL
  variable REFERER
  variable RANGE
  variable ACCEPT
  variable ACCEPT-LANGUAGE
  variable ACCEPT-ENCODING
  variable USER-AGENT
  variable ANHANG
  variable CONTENT-TYPE
object OUTPUT
  variable RUECKGABE
  variable SERVER
  variable DATE
  variable CONTENT-TYPE
  variable LAST-MODIFIED
  variable ETAG
  variable CONTENT-LENGTH
  variable CONTENT-RANGE
  variable CONTENT-LOCATION
  variable ACCEPT-RANGES
  variable LOCATION
  variable WEITERES
object MITSCHNITT
  variable GESENDET
  variable EMPFANGEN
  variable ZEITEN
  variable ANKUENFTE
  variable MELDUNG
  variable TLS
  variable DEKODIERT
object VERBINDUNG
  variable CA
  variable ZERTIFIKAT
  variable SCHLUESSEL
  variable PASSWORT
  variable ADRESSE
  variable IP
)"));
        RegisterSkriptFenster(engine.root(), 4, std::make_shared<TextModel>(), builtinSites());
        QCOMPARE(dump(*engine.root().objectArray(u"SkriptFenster")->peekObject(4)), QStringLiteral(R"(variable STATUS
variable TEXT
function NEU = SKRIPTFENSTERNEU 4
function LADEN = SKRIPTFENSTERLADEN 4
function SPEICHERN = SKRIPTFENSTERSPEICHERN 4
function AUSFUEHREN = SKRIPTFENSTERAUSFUEHREN 4
function CLOSE = SKRIPTFENSTERCLOSE 4
)"));
    }

    void windowNodes()
    {
        const NodePtr root = BuildObjectTree(builtinSites());
        SeiteFields f;
        for (auto &field : f.items)
            field = std::make_shared<TextModel>();
        RegisterSeiteFenster(*root, 12, f, builtinSites());
        const NodePtr n = root->objectArray(u"SeiteFenster")->GetObject(12);
        QCOMPARE(n->function(u"Senden")->GetFunktion(), QStringLiteral("SEITEFENSTERSENDEN 12"));
        n->object(u"Input")->variable(u"Server")->SetInhalt(QStringLiteral("in"));
        n->object(u"Output")->variable(u"Server")->SetInhalt(QStringLiteral("out"));
        QCOMPARE(f[SeiteField::Server]->text(), QStringLiteral("in"));
        QCOMPARE(f[SeiteField::AnswerServer]->text(), QStringLiteral("out"));
        // Every row of the field table reaches its own box, under its node.
        for (const SeiteFieldRow &row : kSeiteFields) {
            NodePtr holder = n;
            if (row.node != SeiteNode::Window)
                holder = n->object(row.node == SeiteNode::Input ? u"Input" : u"Output");
            const QString mark = row.control.toString();
            holder->variable(row.scriptName)->SetInhalt(mark);
            QCOMPARE(f[row.field]->text(), mark);
        }
        QCOMPARE(n->object(u"Input")->variableCount(), size_t(11));
        QCOMPARE(n->object(u"Output")->variableCount(), size_t(12));
        // The Mitschnitt and Verbindung come after every entry the node always had; a
        // node registered without its values reads them as empty.
        QCOMPARE(n->objects().size(), size_t(4));
        QCOMPARE(n->objects()[2]->GetName(), QStringLiteral("MITSCHNITT"));
        QCOMPARE(n->objects()[3]->GetName(), QStringLiteral("VERBINDUNG"));
        QCOMPARE(n->object(u"Mitschnitt")->variableCount(), kMitschnittValueCount);
        QCOMPARE(n->object(u"Mitschnitt")->variable(u"Dekodiert")->GetInhalt(), QString());
        // Without texts given they read as empty and ignore writes.
        n->object(u"Verbindung")->variable(u"IP")->SetInhalt(QStringLiteral("6"));
        QCOMPARE(n->object(u"Verbindung")->variable(u"IP")->GetInhalt(), QString());
        // Registering again changes nothing.
        RegisterSeiteFenster(*root, 12, f, builtinSites());
        QCOMPARE(n->variableCount(), size_t(2));
        UnregisterSeiteFenster(*root, 12);
        QVERIFY(!root->objectArray(u"SeiteFenster")->GetObject(12)->variable(u"Status"));

        auto text = std::make_shared<TextModel>();
        RegisterSkriptFenster(*root, 2, text, builtinSites());
        QCOMPARE(root->objectArray(u"SkriptFenster")->GetObject(2)->function(u"Speichern")->GetFunktion(),
                 QStringLiteral("SKRIPTFENSTERSPEICHERN 2"));
    }
};

QTEST_GUILESS_MAIN(TestObjectTree)
#include "tst_objecttree.moc"
