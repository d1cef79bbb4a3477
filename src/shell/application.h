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

// The program's window icon, painted here so no image file has to ship: a
// white V on blue. Child windows use it too, instead of Qt's logo.
QIcon varnokIcon();

} // namespace varnok
