// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Built-in ids and statement keywords are stored in upper case; a word
// names one when its upper-cased characters match.

#include "common/conventions.h"

#include <QLatin1StringView>
#include <QStringView>

namespace varnok {

inline bool matchesUpperId(QStringView word, QLatin1StringView id)
{
    if (word.size() != id.size())
        return false;
    for (qsizetype k = 0; k < word.size(); ++k)
        if (upperChar(word[k]) != QLatin1Char(id[k]))
            return false;
    return true;
}

} // namespace varnok
