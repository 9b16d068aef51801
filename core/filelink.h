#pragma once

#include "core/filestamp.h"
#include "core/stopcheck.h"

#include <QString>
#include <functional>

namespace tarvik {

// What became of a marked file that was to share its storage with a kept copy, or to become a
// hard link to one. Anything but Done leaves the file at its path as it was.
enum class LinkOutcome {
    Done,
    ChangedSince,    // not the file its row was made for any more
    NoKeptCopy,      // no copy that stays is present as it was
    KeptCopyDiffers, // the copy that stays holds other bytes now
    OtherFileSystem, // the kept copy lies on another file system
    AlreadyOneFile,  // the marked file and the kept copy are one file already
    SymbolicLink,    // the marked path is a symbolic link; its target is not ours to replace
    CannotShare,     // the file system cannot share storage between files
    SharedInPart,    // the file system shared some of its blocks and then stopped
    Refused,         // the file system refused the link, the rename or the request
    Cancelled,       // stopped before anything was done to the file
};

// Replaces the file at path by a hard link to the kept copy, while path is still the file
// stamped and keptPath the file keptStamp: the link is made under a temporary name in path's
// folder and renamed over path, so an interruption leaves the old file or the link there,
// never neither. The file then takes the kept copy's owner, permissions and times.
LinkOutcome hardLinkOver(const QString& path, const FileStamp& stamp, const QString& keptPath,
                         const FileStamp& keptStamp);

// Asks the file system to make the file at path share its storage with the kept copy; the
// kernel compares the bytes itself and shares only what is equal, so the content, path, owner,
// permissions and times of the file stay. stop is asked between requests.
LinkOutcome shareStorage(const QString& path, const FileStamp& stamp, const QString& keptPath,
                         const FileStamp& keptStamp, const StopCheck& stop);

// For tests only: runs between the link's being made under its temporary name and its rename
// over the marked file.
void setHardLinkHookForTest(std::function<void(const QString& temporaryPath)> hook);

} // namespace tarvik
