// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Qt's own texts in German, for both programs.

#include <QTranslator>
#include <memory>

class QCoreApplication;

namespace varnok {

// Loads Qt's own German texts ("Ja", "Nein", "Abbrechen", the file dialog,
// the sockets' error texts) and installs them; the translator must live as
// long as the application. Null when the translations are not installed:
// the program then shows Qt's English texts and goes on.
std::unique_ptr<QTranslator> installGermanTranslations(QCoreApplication &app);

} // namespace varnok
