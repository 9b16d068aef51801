#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

namespace tarvik {

// What the application remembers between runs, kept in Registry::instance() under "global".
// A store that cannot be read or written only means that the defaults are used.
namespace AppSettings {

QStringList lastFolders();
QString lastFilter();
void setLastSearch(const QStringList& folders, const QString& filter);

// Where the folder dialog opens: the folder the user last chose one in, else the home folder.
QString dialogFolder();
void setChosenFolder(const QString& folder);

// An invalid rectangle until the user has moved or resized the window.
QRect windowGeometry();
void setWindowGeometry(const QRect& geometry);

} // namespace AppSettings

} // namespace tarvik
