#pragma once

#include "core/filestamp.h"
#include "scan/scantypes.h"

#include <QString>
#include <QVector>

namespace tarvik {

// One file of a duplicate group as the marking rules see it; marked means "to go".
struct MarkedFile
{
    QString path;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    bool marked = false;
};
// A group's files in the order the scan met them.
using MarkedGroup = QVector<MarkedFile>;

enum class MarkRule {
    AllButOldest,
    AllButNewest,
    AllButFirst,
    AllButShortestPath,
    // Keeps the files below a folder and marks the rest, in groups with a file below it.
    OutsideFolder,
    Invert,
    Clear,
};

// Replaces the marks of every group by the rule. No rule ever marks every file of a group:
// where inverting would, the group is left as it was.
void applyMarkRule(QVector<MarkedGroup>* groups, MarkRule rule, const QString& folder = QString());

// A marked file and the copies meant to stay beside it, each with the stamp its row was made
// with.
struct MarkedTrashTask
{
    struct Copy
    {
        QString path;
        FileStamp stamp;
    };
    QString path;
    FileStamp stamp;
    QVector<Copy> keep;
    // False only when the user chose to let every copy of the group go.
    bool needsKeptCopy = true;
};

enum class MarkedTrashResult {
    Moved,
    ChangedSince,    // not the file its row was made for any more
    NoKeptCopy,      // no copy that stays is present as it was
    KeptCopyDiffers, // the copies that stay are there, but none holds these bytes now
    TrashRefused,
    Cancelled,
};

// Moves the marked file to the trash only if it is still the file of its row and, at this
// moment, a copy that stays is the file of its own row and equal to it byte for byte. Touches
// no widget; cancel is asked between blocks.
MarkedTrashResult trashMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel);

} // namespace tarvik
