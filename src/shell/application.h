// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both programs do before their main window exists.

#include <QIcon>
#include <QTranslator>
#include <memory>

class QCoreApplication;

namespace varnok {

// Loads Qt's own German texts ("Ja", "Nein", "Abbrechen", the file dialog)
// and installs them; the translator must live as long as the application.
// Null when the translations are not installed: the program then shows
// Qt's English button texts and goes on.
std::unique_ptr<QTranslator> installGermanTranslations(QCoreApplication &app);

// The program's window icon: the installed one from the icon theme (the
// same picture as the menu entry's), else the same white V on blue painted
// here, so a program started from its build folder has it too. Child
// windows use it as well, instead of Qt's logo.
QIcon varnokIcon();

} // namespace varnok
