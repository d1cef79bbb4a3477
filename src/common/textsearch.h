// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding a text in the exact text of a box (find bar, replace, the
// highlighted matches): every character counts as itself, control
// characters and line breaks included.

#include <QString>
#include <QStringView>

namespace varnok {

struct SearchOptions
{
    bool matchCase = false;
    bool wholeWord = false; // no letter, digit or "_" right before or after
};

// The first match starting at or after `from` (forward) or the last one
// ending at or before `from` (backward); -1 when there is none.
qsizetype findInText(QStringView text, QStringView pattern, qsizetype from, bool backward,
                     const SearchOptions &options);

// `text` with every match replaced (matches found from left to right, not
// overlapping); `count` receives how many there were.
QString replaceAllInText(QStringView text, QStringView pattern, QStringView replacement,
                         const SearchOptions &options, qsizetype &count);

} // namespace varnok
