#pragma once

#include <QString>

namespace tarvik {

QString dataDirectory();
QString usersDirectory();
QString cacheDirectory();
bool ensureDirectory(const QString& path);
void createAppDirectories();

void debugLog(const QString& text);

} // namespace tarvik
