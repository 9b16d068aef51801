#include "core/translators.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace tarvik {

QStringList translationFolders()
{
    const QString exe = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(exe + QStringLiteral("/../share/tarvik/translations")),
            QDir::cleanPath(exe + QStringLiteral("/../translations"))};
}

namespace {

bool install(QTranslator* translator)
{
    if (translator->isEmpty() || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace

void installTranslators(const QLocale& locale)
{
    QCoreApplication* app = QCoreApplication::instance();
    const QStringList folders = translationFolders();
    auto* own = new QTranslator(app);
    bool loaded = false;
    for (const QString& folder : folders) {
        // The locale's languages in order of preference, each down to its bare language.
        if ((loaded = own->load(locale, QStringLiteral("tarvik"), QStringLiteral("_"), folder)))
            break;
    }
    for (int i = 0; !loaded && i < folders.size(); ++i)
        loaded = own->load(QStringLiteral("tarvik_en"), folders.at(i));
    install(own);

    auto* qt = new QTranslator(app);
    qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
             QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    install(qt);
}

} // namespace tarvik
