#pragma once

#include "scan/resultexport.h"
#include "scan/scantypes.h"

#include <QHash>
#include <QUuid>
#include <QVector>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tarvik {

// What the result tree holds, taken in the GUI thread: each group under its number, each file
// with the size and time stamped when its row was made. The MD5s are looked up later, off
// the GUI thread, by withMd5s: from the group items' addresses, used only as keys.
struct GatheredResults
{
    QVector<ExportedGroup> groups;
    QVector<const void*> groupKeys;
    QHash<QUuid, QTreeWidgetItem*> groupItems;
    QHash<QString, DigestEntry> digests;
};

// Groups left without rows are passed over. digests must no longer be written to.
GatheredResults gatherResults(const QTreeWidget* tree,
                              const QHash<QUuid, QTreeWidgetItem*>& groupItems,
                              const QHash<QString, DigestEntry>& digests);

QVector<ExportedGroup> withMd5s(const GatheredResults& results);

// Asks where to save, then writes in the background; a failure is shown in a message box on
// page. Leaving page stops the writing, and an existing file stays as it was.
void saveResultsAs(QWidget* page, const GatheredResults& results);

} // namespace tarvik
