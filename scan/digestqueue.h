#pragma once

// The new groups of small files waiting for their MD5, and how the workers take them: in batches
// that fill the SIMD lanes. Its owner's lock guards it.

#include "scan/lanedigester.h"

#include <QtGlobal>
#include <deque>
#include <vector>

namespace tarvik {

class DigestQueue
{
public:
    // Digests taken at a time, so that lanes that finish are refilled from the same batch.
    static constexpr int kBatch = 32;

    bool isEmpty() const { return mQueue.empty(); }

    // Takes them all.
    void add(std::vector<PendingDigest>& found)
    {
        for (PendingDigest& pending : found)
            mQueue.push_back(std::move(pending));
        found.clear();
    }

    // Files first, for the results to flow; digests once enough wait to fill the lanes, or
    // whenever there is nothing else to do: a core left idle while the walk goes on is better
    // spent on a lone digest than saved for a crowded end.
    bool due(bool filesWaiting) const
    {
        return !mQueue.empty() && (!filesWaiting || mQueue.size() >= size_t(kBatch));
    }

    // Few enough that another worker finds the rest while this one is slowed.
    std::vector<PendingDigest> take(int count)
    {
        std::vector<PendingDigest> batch;
        while (!mQueue.empty() && batch.size() < size_t(count)) {
            batch.push_back(std::move(mQueue.front()));
            mQueue.pop_front();
        }
        return batch;
    }

private:
    std::deque<PendingDigest> mQueue;
};

} // namespace tarvik
