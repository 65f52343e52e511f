#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool loadToolkitTranslations(QCoreApplication& app) {
    // By file name, not by locale: the locale lookup would also accept a
    // plain "pt" (European) catalogue ahead of the Brazilian one.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_pt_BR"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
