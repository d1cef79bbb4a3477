// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in table and the dispatch through it.

#include "builtins.h"

#include "builtinfunctions.h"
#include "upperid.h"

namespace varnok {

namespace {

using L = QLatin1StringView;
namespace b = builtin;

// Searched from the top: the names used most come first.
constexpr Builtin kBuiltins[] = {
    {L("MYINDEX"), 0, b::myIndex},
    {L("SKRIPTMYFUNKTION"), 0, b::myFunktion},
    {L("SKRIPTUSERNEWFUNCTION"), 2, b::userNewFunction},
    {L("SKRIPTUSERNEWARRAY"), 1, b::userNewArray},
    {L("SKRIPTUSERNEWVARIABLE"), 1, b::userNewVariable},
    {L("SKRIPTUSERNEWSHORTCUT"), 2, b::userNewShortcut},
    {L("USER"), -1, b::user},
    {L("MAINMATHEPLUS"), 2, b::plus},
    {L("MAINMATHEMINUS"), 2, b::minus},
    {L("MAINMATHEMAL"), 2, b::mal},
    {L("MAINMATHEDURCH"), 2, b::durch},
    {L("MAINMATHEHOCH"), 2, b::hoch},
    {L("MAINMATHEWURZEL"), 2, b::wurzel},
    {L("MAINTEXTPLUS"), 2, b::textPlus},
    {L("MAINTEXTLEFT"), 2, b::left},
    {L("MAINTEXTRIGHT"), 2, b::right},
    {L("MAINTEXTMID"), 3, b::mid},
    {L("MAINTEXTLEN"), 1, b::len},
    {L("MAINTEXTLTRIM"), 1, b::lTrim},
    {L("MAINTEXTRTRIM"), 1, b::rTrim},
    {L("MAINTEXTZTRIM"), 1, b::zTrim},
    {L("MAINTEXTUCASE"), 1, b::uCase},
    {L("MAINTEXTLCASE"), 1, b::lCase},
    {L("MAINCONVERTCHR"), 1, b::chr},
    {L("MAINCONVERTASC"), 1, b::asc},
    {L("MAINBEDINGUNGMATHEGROESSER"), 2, b::groesser},
    {L("MAINBEDINGUNGMATHEGROESSERGLEICH"), 2, b::groesserGleich},
    {L("MAINBEDINGUNGMATHEKLEINER"), 2, b::kleiner},
    {L("MAINBEDINGUNGMATHEKLEINERGLEICH"), 2, b::kleinerGleich},
    {L("MAINBEDINGUNGMATHEGLEICH"), 2, b::gleich},
    {L("MAINBEDINGUNGMATHEUNGLEICH"), 2, b::ungleich},
    {L("MAINBEDINGUNGTEXTGLEICH"), 2, b::textGleich},
    {L("MAINBEDINGUNGTEXTUNGLEICH"), 2, b::textUngleich},
    {L("MAINUND"), 2, b::und},
    {L("MAINODER"), 2, b::oder},
    {L("MAINXOR"), 2, b::xOder},
    {L("MAINNICHT"), 1, b::nicht},
    {L("MAINRANDOM"), 2, b::random},
    {L("MAINTIMER"), 0, b::timer},
    {L("MAINFILEREAD"), 3, b::fileRead},
    {L("MAINFILEWRITE"), 3, b::fileWrite},
    {L("MAINFILECREATE"), 1, b::fileCreate},
    {L("MAINFILEDELETE"), 1, b::fileDelete},
    {L("MAINFILECOPY"), 2, b::fileCopy},
    {L("SEITEFENSTERSENDEN"), 1, b::seiteSenden},
    {L("SEITEFENSTERCLOSE"), 1, b::seiteClose},
    {L("SKRIPTFENSTERNEU"), 1, b::skriptNeu},
    {L("SKRIPTFENSTERLADEN"), 2, b::skriptLaden},
    {L("SKRIPTFENSTERSPEICHERN"), 2, b::skriptSpeichern},
    {L("SKRIPTFENSTERAUSFUEHREN"), 1, b::skriptAusfuehren},
    {L("SKRIPTFENSTERCLOSE"), 1, b::skriptClose},
    {L("NEWSKRIPTFENSTER"), 0, b::newSkriptFenster},
    {L("NEWSEITEFENSTER"), 0, b::newSeiteFenster},
};

} // namespace

const Builtin *findBuiltin(QStringView name)
{
    for (const Builtin &e : kBuiltins)
        if (matchesUpperId(name, e.name))
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
    const int given = int(p.size()) - 1;
    if (it->params >= 0 && given != it->params)
        return engine.fail(2, ctx);
    return it->run(engine, p, ctx);
}

} // namespace varnok
