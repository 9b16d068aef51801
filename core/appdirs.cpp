#include "core/appdirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageLogger>
#include <QStandardPaths>

namespace tarvik {

QString dataDirectory()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::DataLocation);
    if (!locations.isEmpty())
        return locations.first();
    return QCoreApplication::applicationDirPath();
}

static QString subDirectory(const QString& name)
{
    return QDir::toNativeSeparators(dataDirectory() + QDir::separator() + name);
}

QString usersDirectory()
{
    return subDirectory(QStringLiteral("Users"));
}

QString cacheDirectory()
{
    return subDirectory(QStringLiteral("Cache"));
}

bool ensureDirectory(const QString& path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    return dir.mkpath(QStringLiteral("."));
}

void createAppDirectories()
{
    ensureDirectory(dataDirectory());
    ensureDirectory(cacheDirectory());
    ensureDirectory(usersDirectory());
}

void debugLog(const QString& text)
{
    QMessageLogger().debug("%s", text.toStdString().c_str());
}

} // namespace tarvik
