#pragma once

// The folders a worker thread opened last, held open: files come mostly in walk order, several
// from one folder, and a name looked up in an open folder spares the walk down its path.

#include "scan/inputfile.h"
#include "scan/pathstore.h"

#include <string>

namespace tarvik {

// One per worker thread.
class FolderHandleCache
{
public:
    explicit FolderHandleCache(const PathStore& paths) : mPaths(paths) {}
    ~FolderHandleCache();
    FolderHandleCache(const FolderHandleCache&) = delete;
    FolderHandleCache& operator=(const FolderHandleCache&) = delete;

    // The file's name for InputFile, with its folder open where the system allows; buffer keeps
    // the whole path. The two latest names stay valid together.
    FileName name(const FileRef& file, std::string* buffer);

private:
    struct OpenFolder
    {
        quint32 folder = 0;
        int fd = -1;
        quint64 used = 0;
    };

    const PathStore& mPaths;
    OpenFolder mFolders[8];
    quint64 mUses = 0;
};

} // namespace tarvik
