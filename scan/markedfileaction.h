#pragma once

// What is done to a file the user marked, and the check that comes first: at that very moment
// the marked file is still the file of its row, and a copy that stays is the file of its own
// row and holds the same bytes. Reads files; touches no widget.

#include "core/filestamp.h"
#include "core/stopcheck.h"
#include "core/trash.h"
#include "scan/contentreader.h"

#include <QString>
#include <QVector>

namespace tarvik {

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

enum class MarkedCheck {
    Verified,
    ChangedSince,    // not the file its row was made for any more
    NoKeptCopy,      // no copy that stays is present as it was
    KeptCopyDiffers, // the copies that stay are there, but none holds these bytes now
    Cancelled,
};

struct MarkedCheckResult
{
    MarkedCheck check = MarkedCheck::ChangedSince;
    // The copy of task.keep found equal to the marked file; -1 when none was needed.
    int keptCopy = -1;
};

// Who compares the bytes of the marked file and a kept copy.
enum class KeptBytes {
    Compare,
    // The action that follows has the kernel compare them, under its own locks.
    LeftToKernel,
};

// Verifies, now, that the marked file is still the file of its row and, unless no copy needs
// to stay, that a copy that stays is the file of its own row and equal to it byte for byte.
// The copies are tried in order; cancel is asked between blocks.
MarkedCheckResult checkMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel,
                                  KeptBytes bytes = KeptBytes::Compare);
// The same with a reader of the caller's, whose stop is asked.
MarkedCheckResult checkMarkedFile(const MarkedTrashTask& task, ContentReader& reader,
                                  KeptBytes bytes = KeptBytes::Compare);

enum class MarkedTrashResult {
    Moved,
    ChangedSince,
    NoKeptCopy,
    KeptCopyDiffers,
    TrashRefused,
    Cancelled,
};

// Moves the marked file to the trash only once checkMarkedFile() has verified it, and only
// while it is still the file stamped.
MarkedTrashResult trashMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel);

// trashMarkedFile() for one file after another on one thread, with one reader's buffers and
// the trash folders found for the first files serving all of them.
class MarkedFileTrasher
{
public:
    // cancel must outlive the trasher.
    explicit MarkedFileTrasher(const StopCheck& cancel);
    MarkedTrashResult trash(const MarkedTrashTask& task);

private:
    ContentReader mReader;
    TrashWriter mTrash;
};

} // namespace tarvik
