// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop program's icon; Qt's German texts, which both programs
// load before anything else, are in translations.h.

#include "shell/translations.h"

#include <QIcon>

namespace varnok {

// The program's window icon: the installed one from the icon theme (the
// same picture as the menu entry's), else the same white V on blue painted
// here, so a program started from its build folder has it too. Child
// windows use it as well, instead of Qt's logo.
QIcon varnokIcon();

} // namespace varnok
