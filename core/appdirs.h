#pragma once

#include <QString>

namespace tarvik {

QString dataDirectory();
QString usersDirectory();
QString cacheDirectory();
bool ensureDirectory(const QString& path);
void createAppDirectories();

// True means the file has left its place for the recycle bin (or the desktop's trash); false
// means it is still where it was.
bool moveToRecycleBin(const QString& path);

void debugLog(const QString& text);

} // namespace tarvik
