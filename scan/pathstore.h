#pragma once

#include <QtGlobal>
#include <cstring>
#include <memory>
#include <new>

namespace tarvik {

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

private:
    static constexpr size_t kChunk = 1024 * 1024;
    static constexpr size_t kMaxChunks = size_t(1) << 12; // 4 GiB in all

    std::unique_ptr<std::unique_ptr<char[]>[]> mChunks;
    size_t mCount = 0;
    size_t mUsed = kChunk;
};

} // namespace tarvik
