#pragma once

#include "core/filestamp.h"
#include "scan/resultexport.h"
#include "scan/scantypes.h"

#include <QHash>
#include <QObject>
#include <QUuid>
#include <QVector>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tarvik {

class WorkerThreads;

// What the result tree holds, taken in the GUI thread: each group under its number, each file
// with the size and time stamped when its row was made. The MD5s are looked up later, off
// the GUI thread, by withMd5s: from the group items' addresses, used only as keys.
struct GatheredResults
{
    QVector<ExportedGroup> groups;
    QVector<const void*> groupKeys;
    QHash<QUuid, QTreeWidgetItem*> groupItems;
    QHash<QString, DigestEntry> digests;
    // Each group's file stamps in file order; kept only when the scan may have ended before it
    // had the MD5 of every group.
    QVector<QVector<FileStamp>> stamps;
};

// Whether the scan had the MD5 of every group it handed out: it had unless it was stopped or
// failed.
enum class Digests { Complete, Partial };

// Groups left without rows are passed over. digests must no longer be written to.
GatheredResults gatherResults(const QTreeWidget* tree,
                              const QHash<QUuid, QTreeWidgetItem*>& groupItems,
                              const QHash<QString, DigestEntry>& digests, Digests known);

// The groups with their MD5s. Where the scan had none, it is read now from a file of the group
// that is still the very file its row was made for; empty only when no such file is left, or
// when stop said so.
QVector<ExportedGroup> withMd5s(const GatheredResults& results,
                                const StopCheck& stop = StopCheck());

// Save Results: asks where, then writes in the background; a failure is shown in a message
// box on the page. Leaving the page stops the writing, and an existing file stays as it was.
class ResultSaver : public QObject
{
    Q_OBJECT

public:
    explicit ResultSaver(QWidget* page);

    void saveAs(const GatheredResults& results);

signals:
    // The results were written to path.
    void saved(const QString& path);

private:
    QWidget* mPage;
    WorkerThreads* mThreads;
};

} // namespace tarvik
