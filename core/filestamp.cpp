#include "core/filestamp.h"

namespace tarvik {

bool FileStamp::sameEntry(const FileStamp& other) const
{
    return valid && other.valid && entryDevice == other.entryDevice &&
           entryInode == other.entryInode && canonicalPath == other.canonicalPath;
}

bool FileStamp::operator==(const FileStamp& other) const
{
    return sameEntry(other) && targetDevice == other.targetDevice &&
           targetInode == other.targetInode && size == other.size && modifiedNs == other.modifiedNs;
}

} // namespace tarvik
