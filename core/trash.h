#pragma once

#include "core/filestamp.h"

#include <QString>
#include <memory>

namespace tarvik {

// True means the file has left its place for the recycle bin (or the desktop's trash); false
// means it is still where it was.
bool moveToRecycleBin(const QString& path);

// The shell's list for one file: path made absolute against workingDirectory by Windows' rules
// (on any host), with backslashes, "." and ".." resolved, ended by two NULs. False, and list
// untouched, for what the shell could read as another file or as many: empty, not fully
// qualified even then (drive- or root-relative), a wildcard, a control character, a stream
// name, a ".." above the root, a name Windows would cut its trailing dot or blank from.
bool recycleBinPathList(const QString& path, const QString& workingDirectory, QString* list);

enum class TrashOutcome {
    Moved,        // the stamped file has left its place
    ChangedSince, // another file, or the same one rewritten, is at the path; left alone
    Gone,         // nothing at the path, or no regular file
    Refused,      // the trash did not take it; it is still in place
};

// Moves files to the trash one after another, on one thread: where each file's trash is, and
// its folders, are found once for a run over many files rather than for each file.
class TrashWriter
{
public:
    TrashWriter();
    ~TrashWriter();
    TrashWriter(const TrashWriter&) = delete;
    TrashWriter& operator=(const TrashWriter&) = delete;

    // As moveToRecycleBin().
    bool move(const QString& path);

    // Trashes the file at path only while it is the very file stamped. Touches no widget.
    TrashOutcome moveIfUnchanged(const QString& path, const FileStamp& stamp);

private:
    // The entry at path, just found to be the one stamped.
    bool moveStamped(const QString& path, const FileStamp& stamp);

    struct Places;
    std::unique_ptr<Places> mPlaces;
};

// One file, with a writer of its own.
TrashOutcome trashIfUnchanged(const QString& path, const FileStamp& stamp);

} // namespace tarvik
