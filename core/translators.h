#pragma once

#include <QLocale>
#include <QStringList>

namespace tarvik {

// Where the compiled translations are looked for, in this order: the installed layout beside
// the executable (<prefix>/share/tarvik/translations), then the build tree.
QStringList translationFolders();

// Installs the application's translation for locale, falling back to English (which carries
// the plural forms of its counted texts), and Qt's own translation for its dialogs where one
// is installed. Call once the application object exists and before any text is made.
void installTranslators(const QLocale& locale);

} // namespace tarvik
