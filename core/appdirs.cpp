#include "core/appdirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageLogger>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#include <vector>
#endif

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

#ifdef Q_OS_WIN

bool moveToRecycleBin(const QString& path)
{
    // The shell wants a list of paths ended by two NULs.
    std::vector<wchar_t> from(size_t(path.size()) + 2, L'\0');
    path.toWCharArray(from.data());

    SHFILEOPSTRUCTW op;
    ZeroMemory(&op, sizeof(op));
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.pTo = nullptr;
    op.fFlags = FOF_ALLOWUNDO;
    return SHFileOperationW(&op) == 0;
}

#else

bool moveToRecycleBin(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;

    // Qt 5.15 builds the home trash under the generic data folder; when that folder is
    // missing it quietly uses a relative "files/" folder under the current directory instead.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome))
        return false;

    QFile file(info.absoluteFilePath());
    if (!file.moveToTrash())
        return false;

    const QString inTrash = file.fileName();
    if (QDir::isAbsolutePath(inTrash))
        return true;

    // Not a real trash: put the file back where it was and drop the stray info file.
    const QString stray = QDir::current().absoluteFilePath(inTrash);
    if (QFile::rename(stray, info.absoluteFilePath())) {
        const QFileInfo strayInfo(stray);
        QFile::remove(strayInfo.dir().absoluteFilePath(
            QStringLiteral("../info/") + strayInfo.fileName() + QStringLiteral(".trashinfo")));
    }
    return false;
}

#endif

void debugLog(const QString& text)
{
    QMessageLogger().debug("%s", text.toStdString().c_str());
}

} // namespace tarvik
