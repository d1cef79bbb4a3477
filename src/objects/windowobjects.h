// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The nodes SeiteFenster(i) and SkriptFenster(i) that stand for open windows.

#include "builtintree.h"
#include "objecttree.h"
#include "seitefields.h"
#include "verbindungfields.h"

#include <QStringView>

#include <array>
#include <memory>

namespace varnok {

// The text boxes of a request window a node binds to, one per row of the
// field table.
using SeiteFields = SeiteFieldMap<std::shared_ptr<TextField>>;

// The variables of SeiteFenster(i).Mitschnitt, in the order of binding.
enum class MitschnittValue : unsigned char { Gesendet, Empfangen, Zeiten, Ankuenfte, Meldung, Tls, Dekodiert };
inline constexpr std::size_t kMitschnittValueCount = std::size_t(MitschnittValue::Dekodiert) + 1;
inline constexpr std::array<QStringView, kMitschnittValueCount> kMitschnittNames = {
    u"Gesendet", u"Empfangen", u"Zeiten", u"Ankuenfte", u"Meldung", u"TLS", u"Dekodiert"};
// What those variables read and write; a missing one reads as the empty
// text and ignores writes.
using MitschnittFields = std::array<std::shared_ptr<TextField>, kMitschnittValueCount>;

// The node's entries in their fixed order; the sub-object Mitschnitt comes
// after all of them.
// `sites`: the built-in table's sites (builtinSites()), whose window
// functions the node receives. The node's entries come in their fixed
// order; the sub-objects Mitschnitt and then Verbindung come after all of
// them.
void RegisterSeiteFenster(ScriptObjects &root, qint16 index, const SeiteFields &fields, FunctionSites sites,
                          const MitschnittFields &mitschnitt = {}, const VerbindungFields &verbindung = {});
void UnregisterSeiteFenster(ScriptObjects &root, qint16 index);
void RegisterSkriptFenster(ScriptObjects &root, qint16 index, const std::shared_ptr<TextField> &text1,
                           FunctionSites sites);
void UnregisterSkriptFenster(ScriptObjects &root, qint16 index);

} // namespace varnok
