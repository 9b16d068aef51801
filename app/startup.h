#pragma once

#include <QString>
#include <QStringList>

namespace tarvik {

// The file's bytes up to the first NUL, one character per byte (Latin-1). A file that
// cannot be read gives the empty text.
QString readTextFile(const QString& path);

// The folder of the running executable, found before the application object exists (which
// would know it): from the system where it tells, else from argv0 as the program was started.
// Empty when it cannot be found.
QString executableFolder(const char* argv0);

// The same from argv0 alone: a path with a folder in it is taken against the current folder,
// a bare name is looked up on PATH.
QString executableFolderFromArgv0(const QString& argv0);

// The toolkit's own plug-in paths first, then the folders beside the executable, absolute
// against executableFolder: never against the folder the program was started in. Without an
// executable folder there are none beside it.
QStringList pluginSearchPaths(const QStringList& defaultPaths, const QString& executableFolder);

} // namespace tarvik
