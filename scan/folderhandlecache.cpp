#include "scan/folderhandlecache.h"

namespace tarvik {

FolderHandleCache::~FolderHandleCache()
{
    for (const OpenFolder& f : mFolders)
        closeFolder(f.fd);
}

FileName FolderHandleCache::name(const FileRef& file, std::string* buffer)
{
    FileName name;
    name.path = mPaths.path(file, buffer);
    name.name = mPaths.at(file.name);
    // The least recently used folder gives way, never one handed out for the same comparison.
    OpenFolder* oldest = &mFolders[0];
    for (OpenFolder& f : mFolders) {
        if (f.fd >= 0 && f.folder == file.folder) {
            f.used = ++mUses;
            name.folder = f.fd;
            return name;
        }
        if (f.used < oldest->used)
            oldest = &f;
    }
    closeFolder(oldest->fd);
    oldest->folder = file.folder;
    oldest->fd = openFolder(mPaths.at(file.folder));
    oldest->used = ++mUses;
    name.folder = oldest->fd;
    return name;
}

} // namespace tarvik
