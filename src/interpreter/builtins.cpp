// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in table and the dispatch through it.

#include "builtins.h"

#include "builtinfunctions.h"

#include "common/conventions.h"

#include <array>

namespace varnok {

namespace {

namespace b = builtin;
using H = FunctionHome;
using P = HelpPlace;

// In the order the nodes are made: within each node's function and object
// lists, the order of these rows is the order of the lists. The dispatch
// searches from the top.
constexpr Builtin kBuiltins[] = {
    // Named only by bodies: a user function's "User Text(label)". It has no
    // node, so its place is free: first, since every user-function call
    // looks it up by name.
    {{H::None, u"", u"User"}, -1, b::user, P::None},

    // The start-up tree.
    {{H::Tree, u"MyIndex", u"MyIndex"}, 0, b::myIndex, P::Root},
    // The root File node's bodies name no operation: calling one is error 5
    // (the working ones are Main.File's).
    {{H::Tree, u"File.Read", u"FileRead"}, -1, nullptr, P::File},
    {{H::Tree, u"File.Write", u"FileWrite"}, -1, nullptr, P::File},
    {{H::Tree, u"File.Delete", u"FileDelete"}, -1, nullptr, P::File},
    {{H::Tree, u"File.Create", u"FileCreate"}, -1, nullptr, P::File},
    {{H::Tree, u"Main.Mathe.Plus", u"MainMathePlus"}, 2, b::plus, P::MainMathe, true},
    {{H::Tree, u"Main.Mathe.Minus", u"MainMatheMinus"}, 2, b::minus, P::MainMathe, true},
    {{H::Tree, u"Main.Mathe.Mal", u"MainMatheMal"}, 2, b::mal, P::MainMathe, true},
    {{H::Tree, u"Main.Mathe.Durch", u"MainMatheDurch"}, 2, b::durch, P::MainMathe, true},
    {{H::Tree, u"Main.Mathe.Hoch", u"MainMatheHoch"}, 2, b::hoch, P::MainMathe, true},
    {{H::Tree, u"Main.Mathe.Wurzel", u"MainMatheWurzel"}, 2, b::wurzel, P::MainMathe, true},
    {{H::Tree, u"Main.Text.Plus", u"MainTextPlus"}, 2, b::textPlus, P::MainText, true},
    {{H::Tree, u"Main.Text.Left", u"MainTextLeft"}, 2, b::left, P::MainText, true},
    {{H::Tree, u"Main.Text.Right", u"MainTextRight"}, 2, b::right, P::MainText, true},
    {{H::Tree, u"Main.Text.Mid", u"MainTextMid"}, 3, b::mid, P::MainText, true},
    {{H::Tree, u"Main.Text.Len", u"MainTextLen"}, 1, b::len, P::MainText, true},
    {{H::Tree, u"Main.Text.LTrim", u"MainTextLTrim"}, 1, b::lTrim, P::MainText, true},
    {{H::Tree, u"Main.Text.RTrim", u"MainTextRTrim"}, 1, b::rTrim, P::MainText, true},
    {{H::Tree, u"Main.Text.ZTrim", u"MainTextZTrim"}, 1, b::zTrim, P::MainText, true},
    {{H::Tree, u"Main.Text.UCase", u"MainTextUCase"}, 1, b::uCase, P::MainText, true},
    {{H::Tree, u"Main.Text.LCase", u"MainTextLCase"}, 1, b::lCase, P::MainText, true},
    {{H::Tree, u"Main.Convert.Chr", u"MainConvertChr"}, 1, b::chr, P::MainConvert, true},
    {{H::Tree, u"Main.Convert.Asc", u"MainConvertAsc"}, 1, b::asc, P::MainConvert, true},
    // Text(...): the evaluator yields the argument text before any dispatch.
    {{H::Tree, u"Main.Convert.Text", u"MainConvertText"}, -1, nullptr, P::MainConvert},
    {{H::Tree, u"Main.Bedingung.Mathe.Groesser", u"MainBedingungMatheGroesser"}, 2, b::groesser, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Mathe.GroesserGleich", u"MainBedingungMatheGroesserGleich"}, 2, b::groesserGleich, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Mathe.Kleiner", u"MainBedingungMatheKleiner"}, 2, b::kleiner, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Mathe.KleinerGleich", u"MainBedingungMatheKleinerGleich"}, 2, b::kleinerGleich, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Mathe.Gleich", u"MainBedingungMatheGleich"}, 2, b::gleich, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Mathe.Ungleich", u"MainBedingungMatheUngleich"}, 2, b::ungleich, P::MainBedingungMathe, true},
    {{H::Tree, u"Main.Bedingung.Text.Gleich", u"MainBedingungTextGleich"}, 2, b::textGleich, P::MainBedingungText, true},
    {{H::Tree, u"Main.Bedingung.Text.Ungleich", u"MainBedingungTextUngleich"}, 2, b::textUngleich, P::MainBedingungText, true},
    {{H::Tree, u"Main.Und", u"MainUnd"}, 2, b::und, P::Main, true},
    {{H::Tree, u"Main.Oder", u"MainOder"}, 2, b::oder, P::Main, true},
    {{H::Tree, u"Main.Xor", u"MainXor"}, 2, b::xOder, P::Main, true},
    {{H::Tree, u"Main.Nicht", u"MainNicht"}, 1, b::nicht, P::Main, true},
    {{H::Tree, u"Main.Random", u"MainRandom"}, 2, b::random, P::Main, true},
    {{H::Tree, u"Main.Timer", u"MainTimer"}, 0, b::timer, P::Main, true},
    {{H::Tree, u"Main.File.Read", u"MainFileRead"}, 3, b::fileRead, P::None},
    {{H::Tree, u"Main.File.Write", u"MainFileWrite"}, 3, b::fileWrite, P::None},
    {{H::Tree, u"Main.File.Create", u"MainFileCreate"}, 1, b::fileCreate, P::None},
    {{H::Tree, u"Main.File.Delete", u"MainFileDelete"}, 1, b::fileDelete, P::None},
    {{H::Tree, u"Main.File.Copy", u"MainFileCopy"}, 2, b::fileCopy, P::File},
    {{H::Tree, u"NewSkriptFenster", u"NewSkriptFenster"}, 0, b::newSkriptFenster, P::RootEnd},
    {{H::Tree, u"NewSeiteFenster", u"NewSeiteFenster"}, 0, b::newSeiteFenster, P::RootEnd},
    // Added for running scripts as tests; after all the others, so every
    // list keeps its order, and not in the help window's fixed text.
    {{H::Tree, u"Main.Text.Suche", u"MainTextSuche"}, 3, b::suche, P::None, true},
    {{H::Tree, u"Main.Test.Pruefe", u"MainTestPruefe"}, 2, b::pruefe, P::None},
    {{H::Tree, u"Main.Konsole.Schreibe", u"MainKonsoleSchreibe"}, 1, b::schreibe, P::None},
    {{H::Tree, u"Main.Parameter", u"MainParameter"}, 1, b::parameter, P::None},

    // A run's own object.
    {{H::RunObject, u"User.NewFunction", u"SkriptUserNewFunction"}, 2, b::userNewFunction, P::RunUser},
    {{H::RunObject, u"User.NewArray", u"SkriptUserNewArray"}, 1, b::userNewArray, P::RunUser},
    {{H::RunObject, u"User.NewVariable", u"SkriptUserNewVariable"}, 1, b::userNewVariable, P::RunUser},
    {{H::RunObject, u"User.NewShortcut", u"SkriptUserNewShortcut"}, 2, b::userNewShortcut, P::RunUser},
    {{H::RunObject, u"MyFunktion", u"SkriptMyFunktion"}, 0, b::myFunktion, P::RunObject},

    // The window objects; the body carries the window index as parameter 1.
    {{H::SeiteFenster, u"Senden", u"SeiteFensterSenden"}, 1, b::seiteSenden, P::SeiteFenster},
    {{H::SeiteFenster, u"Close", u"SeiteFensterClose"}, 1, b::seiteClose, P::SeiteFenster},
    {{H::SkriptFenster, u"Neu", u"SkriptFensterNeu"}, 1, b::skriptNeu, P::SkriptFenster},
    {{H::SkriptFenster, u"Laden", u"SkriptFensterLaden"}, 2, b::skriptLaden, P::SkriptFenster},
    {{H::SkriptFenster, u"Speichern", u"SkriptFensterSpeichern"}, 2, b::skriptSpeichern, P::SkriptFenster},
    {{H::SkriptFenster, u"Ausfuehren", u"SkriptFensterAusfuehren"}, 1, b::skriptAusfuehren, P::SkriptFenster},
    {{H::SkriptFenster, u"Close", u"SkriptFensterClose"}, 1, b::skriptClose, P::SkriptFenster},

};

constexpr char16_t asciiUpper(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

constexpr bool sameId(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype k = 0; k < a.size(); ++k)
        if (asciiUpper(a[k].unicode()) != asciiUpper(b[k].unicode()))
            return false;
    return true;
}

constexpr bool idsAreUnique()
{
    for (size_t i = 0; i < std::size(kBuiltins); ++i)
        for (size_t j = i + 1; j < std::size(kBuiltins); ++j)
            if (sameId(kBuiltins[i].site.id, kBuiltins[j].site.id))
                return false;
    return true;
}
static_assert(idsAreUnique(), "two built-ins share an id");

constexpr auto kSites = [] {
    std::array<FunctionSite, std::size(kBuiltins)> out{};
    for (size_t k = 0; k < out.size(); ++k)
        out[k] = kBuiltins[k].site;
    return out;
}();

// A call name matches when its upper-cased characters equal the id's.
bool matches(QStringView word, QStringView id)
{
    if (word.size() != id.size())
        return false;
    for (qsizetype k = 0; k < word.size(); ++k)
        if (upperChar(word[k]).unicode() != asciiUpper(id[k].unicode()))
            return false;
    return true;
}

} // namespace

std::span<const Builtin> builtinTable()
{
    return kBuiltins;
}

FunctionSites builtinSites()
{
    return kSites;
}

const Builtin *findBuiltin(QStringView name)
{
    for (const Builtin &e : kBuiltins)
        if (e.run && matches(name, e.site.id))
            return &e;
    return nullptr;
}

QString callBuiltin(Engine &engine, QStringView name, Params &p, const EvalContext &ctx,
                    const Builtin *known)
{
    // Kept small on purpose: this frame sits on the native stack for every
    // level of user-function recursion.
    const Builtin *it = known ? known : findBuiltin(name);
    if (!it)
        return engine.fail(5, ctx);
    return callBuiltin(engine, p, ctx, *it);
}

} // namespace varnok
