// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who makes Varnok and where to reach them. The addresses use the domain
// reserved for examples, so no link ever leads to a stranger's site.

#include <QString>

namespace varnok::maker {

inline QString name() { return QStringLiteral("Varnok-Projekt"); }
// What the link labels show.
inline QString webAddress() { return QStringLiteral("www.varnok.example.org"); }
inline QString mailAddress() { return QStringLiteral("varnok@example.org"); }
// What the links hand to the system shell.
inline QString webUrl() { return QStringLiteral("http://www.varnok.example.org/"); }
inline QString mailLink() { return QStringLiteral("mailto:varnok@example.org"); }
inline QString webServerToolTip()
{
    return QStringLiteral("Webserver des Varnok-Projekts: www.varnok.example.org");
}
inline QString greeting() { return QStringLiteral("Willkommen bei Varnok vom Varnok-Projekt!"); }

} // namespace varnok::maker
