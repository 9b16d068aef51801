#include "core/filestamp.h"

#include <atomic>

namespace tarvik {

namespace {

std::atomic<FileStamp::ReadObserver> gReadObserver{nullptr};

} // namespace

void FileStamp::setReadObserver(ReadObserver observer)
{
    gReadObserver = observer;
}

void FileStamp::aboutToRead(const QString& path)
{
    if (const ReadObserver observer = gReadObserver.load(std::memory_order_relaxed))
        observer(path);
}

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
