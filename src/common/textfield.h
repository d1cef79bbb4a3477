// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

namespace varnok {

// What a bound script variable reads and writes. Windows implement it on
// their text boxes; variables hold it weakly, so a closed window reads as
// the empty text and ignores writes.
class TextField
{
public:
    virtual ~TextField() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
};

} // namespace varnok
