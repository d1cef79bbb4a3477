// SPDX-License-Identifier: GPL-3.0-or-later
#include "builtintree.h"

#include <initializer_list>
#include <utility>

namespace varnok {

namespace {

using Entry = std::pair<const char16_t *, const char16_t *>;

void addFunction(ScriptObjects &parent, QStringView name, QStringView body)
{
    parent.AddFunction(name);
    FunctionPtr f;
    parent.GetFunction(name, f);
    f->SetFunktion(body);
}

void addShortcut(ScriptObjects &parent, QStringView name, const QString &target)
{
    parent.AddShortcut(name);
    ShortcutPtr s;
    parent.GetShortcut(name, s);
    s->SetVerknuepfung(target);
}

void addFunctions(ScriptObjects &parent, std::initializer_list<Entry> entries)
{
    for (const auto &[name, body] : entries)
        addFunction(parent, QStringView(name), QStringView(body));
}

NodePtr addObject(ScriptObjects &parent, QStringView name)
{
    parent.AddObject(name);
    NodePtr n;
    parent.GetObject(name, n);
    return n;
}

} // namespace

NodePtr BuildObjectTree()
{
    auto root = std::make_shared<ScriptObjects>();
    root->Initialize();

    addFunction(*root, u"MyIndex", u"MyIndex");
    addShortcut(*root, u"Skript", QStringLiteral("Skript(MyIndex())"));
    root->AddArrayObject(u"Skript");
    root->AddArrayObject(u"SeiteFenster");
    root->AddArrayObject(u"SkriptFenster");

    addFunctions(*addObject(*root, u"File"), {{u"Read", u"FileRead"},
                                              {u"Write", u"FileWrite"},
                                              {u"Delete", u"FileDelete"},
                                              {u"Create", u"FileCreate"}});

    NodePtr main = addObject(*root, u"Main");
    addFunctions(*addObject(*main, u"Mathe"), {{u"Plus", u"MainMathePlus"},
                                               {u"Minus", u"MainMatheMinus"},
                                               {u"Mal", u"MainMatheMal"},
                                               {u"Durch", u"MainMatheDurch"},
                                               {u"Hoch", u"MainMatheHoch"},
                                               {u"Wurzel", u"MainMatheWurzel"}});
    root->GetObject(u"Main", main);
    addFunctions(*addObject(*main, u"Text"), {{u"Plus", u"MainTextPlus"},
                                              {u"Left", u"MainTextLeft"},
                                              {u"Right", u"MainTextRight"},
                                              {u"Mid", u"MainTextMid"},
                                              {u"Len", u"MainTextLen"},
                                              {u"LTrim", u"MainTextLTrim"},
                                              {u"RTrim", u"MainTextRTrim"},
                                              {u"ZTrim", u"MainTextZTrim"},
                                              {u"UCase", u"MainTextUCase"},
                                              {u"LCase", u"MainTextLCase"}});
    root->GetObject(u"Main", main);
    addFunctions(*addObject(*main, u"Convert"), {{u"Chr", u"MainConvertChr"},
                                                 {u"Asc", u"MainConvertAsc"},
                                                 {u"Text", u"MainConvertText"}});
    root->GetObject(u"Main", main);
    NodePtr bedingung = addObject(*main, u"Bedingung");
    addFunctions(*addObject(*bedingung, u"Mathe"),
                 {{u"Groesser", u"MainBedingungMatheGroesser"},
                  {u"GroesserGleich", u"MainBedingungMatheGroesserGleich"},
                  {u"Kleiner", u"MainBedingungMatheKleiner"},
                  {u"KleinerGleich", u"MainBedingungMatheKleinerGleich"},
                  {u"Gleich", u"MainBedingungMatheGleich"},
                  {u"Ungleich", u"MainBedingungMatheUngleich"}});
    addFunctions(*addObject(*bedingung, u"Text"), {{u"Gleich", u"MainBedingungTextGleich"},
                                                   {u"Ungleich", u"MainBedingungTextUngleich"}});
    root->GetObject(u"Main", main);
    addFunctions(*main, {{u"Und", u"MainUnd"},
                         {u"Oder", u"MainOder"},
                         {u"Xor", u"MainXor"},
                         {u"Nicht", u"MainNicht"},
                         {u"Random", u"MainRandom"},
                         {u"Timer", u"MainTimer"}});
    addFunctions(*addObject(*main, u"File"), {{u"Read", u"MainFileRead"},
                                              {u"Write", u"MainFileWrite"},
                                              {u"Create", u"MainFileCreate"},
                                              {u"Delete", u"MainFileDelete"},
                                              {u"Copy", u"MainFileCopy"}});

    addShortcut(*root, u"Text", QStringLiteral("Main.Convert.Text"));
    addFunction(*root, u"NewSkriptFenster", u"NewSkriptFenster");
    addFunction(*root, u"NewSeiteFenster", u"NewSeiteFenster");
    return root;
}

} // namespace varnok
