#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace lunaveil {

void installTranslations(QCoreApplication& application)
{
    const QLocale locale;
    // Owned by the application, which uses them as long as it runs.
    auto* own = new QTranslator(&application);
    if (own->load(locale, QStringLiteral("lunaveil"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(own);
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

}  // namespace lunaveil
