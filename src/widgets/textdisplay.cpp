// SPDX-License-Identifier: GPL-3.0-or-later
#include "textdisplay.h"

namespace varnok {

namespace textdisplay {

QChar visibleChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7F)
        return QChar(char16_t(0x2421));
    // Characters Qt's editors would turn into line or paragraph breaks of
    // their own; shown as a symbol so that the lines on screen are exactly
    // the CR LF lines of the model.
    if (u == QChar::LineSeparator || u == QChar::ParagraphSeparator)
        return QChar(char16_t(0x2424));
    if (u == 0xFDD0 || u == 0xFDD1) // QTextDocument's frame markers
        return QChar(QChar::ReplacementCharacter);
    return c;
}

} // namespace textdisplay

} // namespace varnok
