#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void installGermanTranslations() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QLocale german(QLocale::German, QLocale::Germany);
    // The web engine takes its language (menus, error pages) from the
    // default locale when it starts.
    QLocale::setDefault(german);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalog : {"qtbase", "qtwebengine"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(german, QString::fromLatin1(catalog), QStringLiteral("_"), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
