// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace varnok {

std::unique_ptr<QTranslator> installGermanTranslations(QCoreApplication &app)
{
    // The program speaks German whatever the user's locale says; numbers
    // keep their own text form, so only Qt's captions are affected.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    app.installTranslator(translator.get());
    return translator;
}

} // namespace varnok
