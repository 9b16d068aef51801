#pragma once

#include <QStringList>

class QDragEnterEvent;
class QDropEvent;
class QMimeData;

namespace tarvik {

// The local folders among what is being dragged, in order; files and anything else are left
// out.
QStringList droppedFolders(const QMimeData* data);

// Lets a drag in only when it carries a local folder.
void acceptFolderDrag(QDragEnterEvent* event);

// The local folders of a drop, which is accepted when there are any.
QStringList takeDroppedFolders(QDropEvent* event);

} // namespace tarvik
