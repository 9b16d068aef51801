#pragma once

#include <QStringList>

class QMimeData;

namespace tarvik {

// The local folders among what is being dragged, in order; files and anything else are left
// out.
QStringList droppedFolders(const QMimeData* data);

} // namespace tarvik
