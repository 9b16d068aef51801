#include "core/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarvik {

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

} // namespace tarvik
