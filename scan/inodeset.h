#pragma once

// The set of files a scan has already met, by device and inode, so that a file reached twice
// (hard links, links, a folder listed twice) is resolved once.

#include <QtGlobal>
#include <memory>
#include <vector>

namespace tarvik {

// Four bytes a file (eight for inode numbers above 32 bits) in open-addressing tables per
// device, instead of a hash node each.
class InodeSet
{
public:
    // True when the file was not met before.
    bool insert(quint64 device, quint64 inode)
    {
        Device* table = nullptr;
        for (Device& t : mDevices)
            if (t.device == device)
                table = &t;
        if (!table) {
            mDevices.emplace_back();
            table = &mDevices.back();
            table->device = device;
        }
        if (inode == 0) {
            const bool fresh = !table->hasZero;
            table->hasZero = true;
            return fresh;
        }
        return inode <= 0xffffffffu ? table->narrow.insert(quint32(inode))
                                    : table->wide.insert(inode);
    }

private:
    // Zero marks a free cell.
    template <typename T> struct Table
    {
        std::unique_ptr<T[]> cells;
        size_t capacity = 0;
        size_t count = 0;

        bool insert(T key)
        {
            if ((count + 1) * 10 > capacity * 7)
                grow();
            const size_t mask = capacity - 1;
            for (size_t i = spread(key) & mask;; i = (i + 1) & mask) {
                if (cells[i] == key)
                    return false;
                if (cells[i] == 0) {
                    cells[i] = key;
                    ++count;
                    return true;
                }
            }
        }

        static size_t spread(quint64 key) { return size_t((key * 0x9e3779b97f4a7c15ull) >> 20); }

        void grow()
        {
            const size_t old = capacity;
            std::unique_ptr<T[]> oldCells = std::move(cells);
            capacity = old ? old * 2 : 1024;
            cells.reset(new T[capacity]());
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

    struct Device
    {
        quint64 device = 0;
        bool hasZero = false;
        Table<quint32> narrow;
        Table<quint64> wide;
    };

    std::vector<Device> mDevices;
};

} // namespace tarvik
