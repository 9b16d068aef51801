#pragma once

#include <QtGlobal>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

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

// The files already met, by device and inode: eight bytes a file in an open-addressing table
// per device, instead of a hash node each.
class InodeSet
{
public:
    // True when the file was not met before.
    bool insert(quint64 device, quint64 inode)
    {
        Table* table = nullptr;
        for (Table& t : mTables)
            if (t.device == device)
                table = &t;
        if (!table) {
            mTables.emplace_back();
            table = &mTables.back();
            table->device = device;
        }
        return table->insert(inode);
    }

private:
    struct Table
    {
        quint64 device = 0;
        std::unique_ptr<quint64[]> cells;
        size_t capacity = 0;
        size_t count = 0;
        // Zero marks a free slot; inode zero is kept apart.
        bool hasZero = false;

        bool insert(quint64 inode)
        {
            if (inode == 0) {
                const bool fresh = !hasZero;
                hasZero = true;
                return fresh;
            }
            if ((count + 1) * 10 > capacity * 7)
                grow();
            const size_t mask = capacity - 1;
            for (size_t i = spread(inode) & mask;; i = (i + 1) & mask) {
                if (cells[i] == inode)
                    return false;
                if (cells[i] == 0) {
                    cells[i] = inode;
                    ++count;
                    return true;
                }
            }
        }

        static size_t spread(quint64 inode)
        {
            return size_t((inode * 0x9e3779b97f4a7c15ull) >> 20);
        }

        void grow()
        {
            const size_t old = capacity;
            std::unique_ptr<quint64[]> oldCells = std::move(cells);
            capacity = old ? old * 2 : 1024;
            cells.reset(new quint64[capacity]());
            const size_t mask = capacity - 1;
            for (size_t j = 0; j < old; ++j) {
                if (oldCells[j] == 0)
                    continue;
                size_t i = spread(oldCells[j]) & mask;
                while (cells[i] != 0)
                    i = (i + 1) & mask;
                cells[i] = oldCells[j];
            }
        }
    };

    std::vector<Table> mTables;
};

} // namespace tarvik
