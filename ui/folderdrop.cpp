#include "ui/folderdrop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tarvik {

QStringList droppedFolders(const QMimeData* data)
{
    QStringList folders;
    if (!data || !data->hasUrls())
        return folders;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isDir())
            folders << QDir::cleanPath(path);
    }
    return folders;
}

void acceptFolderDrag(QDragEnterEvent* event)
{
    if (!droppedFolders(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

QStringList takeDroppedFolders(QDropEvent* event)
{
    const QStringList folders = droppedFolders(event->mimeData());
    if (!folders.isEmpty())
        event->acceptProposedAction();
    return folders;
}

} // namespace tarvik
