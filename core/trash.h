#pragma once

#include "core/filestamp.h"

#include <QString>

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

// Trashes the file at path only while it is the very file stamped. Touches no widget, so a
// worker thread may call it for one file after another.
TrashOutcome trashIfUnchanged(const QString& path, const FileStamp& stamp);

} // namespace tarvik
