#pragma once

#include "scan/inputfile.h"

#include <QString>
#include <QtGlobal>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace tarvik {

// A file as two references into a PathStore: its folder, which ends with a separator, and its
// name. A name is never at the start of the store, so the empty reference names no file.
struct FileRef
{
    quint32 folder = 0;
    quint32 name = 0;
    // Its place in the scan's digest cache; 0 for none.
    quint32 fact = 0;
    bool operator==(const FileRef& o) const { return folder == o.folder && name == o.name; }
    bool isNull() const { return folder == 0 && name == 0; }
};

// Keeps the folder and file names of a scan as NUL-terminated bytes in large chunks, so that a
// million listed files cost a few bytes each instead of a string object each. A reference is
// 32 bits. Only one thread adds; others may read a string once its reference has reached them
// through a lock, since chunks never move.
class PathStore
{
public:
    using Ref = quint32;
    // Longer strings cannot be opened by path anyway.
    static constexpr size_t kMaxString = 64 * 1024;

    PathStore() : mChunks(new std::unique_ptr<char[]>[kMaxChunks]) {}

    // False when the text is too long to keep.
    bool add(const char* data, size_t size, Ref* ref)
    {
        if (size >= kMaxString)
            return false;
        if (mUsed + size + 1 > kChunk) {
            if (mCount == kMaxChunks)
                throw std::bad_alloc();
            mChunks[mCount++].reset(new char[kChunk]);
            mUsed = 0;
        }
        char* at = mChunks[mCount - 1].get() + mUsed;
        std::memcpy(at, data, size);
        at[size] = '\0';
        *ref = Ref((mCount - 1) * kChunk + mUsed);
        mUsed += size + 1;
        return true;
    }

    const char* at(Ref ref) const { return mChunks[ref / kChunk].get() + ref % kChunk; }

    // The whole path of a file, kept in buffer.
    const char* path(const FileRef& file, std::string* buffer) const
    {
        buffer->assign(at(file.folder));
        buffer->append(at(file.name));
        return buffer->c_str();
    }

    QString text(const FileRef& file) const
    {
        std::string buffer;
        path(file, &buffer);
        return decodePath(buffer.data(), qsizetype(buffer.size()));
    }

private:
    static constexpr size_t kChunk = 1024 * 1024;
    static constexpr size_t kMaxChunks = size_t(1) << 12; // 4 GiB in all

    std::unique_ptr<std::unique_ptr<char[]>[]> mChunks;
    size_t mCount = 0;
    size_t mUsed = kChunk;
};

} // namespace tarvik
