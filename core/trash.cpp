#include "core/trash.h"

namespace tarvik {

TrashOutcome trashIfUnchanged(const QString& path, const FileStamp& stamp)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.valid)
        return TrashOutcome::Gone;
    if (now != stamp)
        return TrashOutcome::ChangedSince;
    moveToRecycleBin(path);
    // Where the stamped entry is now decides, not what the call said: a call may report a
    // failure after the file has already left.
    return FileStamp::of(path).sameEntry(stamp) ? TrashOutcome::Refused : TrashOutcome::Moved;
}

} // namespace tarvik
