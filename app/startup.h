#pragma once

#include <QString>
#include <QStringList>

namespace tarvik {

// The file's bytes up to the first NUL, one character per byte (Latin-1). A file that
// cannot be read gives the empty text.
QString readTextFile(const QString& path);

// The toolkit's own plug-in paths first, then the folders beside the executable.
QStringList pluginSearchPaths(const QStringList& defaultPaths);

} // namespace tarvik
