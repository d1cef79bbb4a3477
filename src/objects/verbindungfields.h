// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The variables of SeiteFenster(i).Verbindung: how a request window
// connects, beside its Server and Port fields. The window's connection
// dialog edits the same texts; each applies from the next Senden.

#include "common/textfield.h"

#include <QStringView>

#include <array>
#include <memory>

namespace varnok {

enum class VerbindungValue : unsigned char {
    Ca,         // a PEM file whose certificates this window also trusts
    Zertifikat, // the client certificate (PEM chain, or PKCS#12 with the key)
    Schluessel, // its PEM private key
    Passwort,   // the key's or PKCS#12 file's pass phrase
    Adresse,    // where the socket connects instead of the Server text's host
    Ip,         // "4" or "6": only that address family
};
inline constexpr std::size_t kVerbindungValueCount = std::size_t(VerbindungValue::Ip) + 1;
// The names in the order of binding.
inline constexpr std::array<QStringView, kVerbindungValueCount> kVerbindungNames = {
    u"CA", u"Zertifikat", u"Schluessel", u"Passwort", u"Adresse", u"IP"};
// What those variables read and write; a missing one reads as the empty
// text and ignores writes.
using VerbindungFields = std::array<std::shared_ptr<TextField>, kVerbindungValueCount>;

} // namespace varnok
