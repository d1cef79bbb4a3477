// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a model character looks on screen: control characters and the
// characters Qt's editors would turn into breaks of their own are drawn as
// visible symbols, so the text on screen never hides a character.

#include <QChar>

namespace varnok::textdisplay {

// The character shown for one model character that stands on its own
// (not half of a CR LF line break).
QChar visibleChar(QChar c);
// True if the model character is shown as something other than itself.
inline bool isShownAsSymbol(QChar c) { return visibleChar(c) != c; }

} // namespace varnok::textdisplay
