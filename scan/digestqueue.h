#pragma once

// The new groups waiting for their MD5, and how the workers take them: in batches that fill the
// SIMD lanes, each a fair share by bytes. Its owner's lock guards it.

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
        for (PendingDigest& pending : found) {
            mBytes += pending.size;
            mQueue.push_back(std::move(pending));
        }
        found.clear();
    }

    // Files first, for the results to flow; digests once enough wait to fill the lanes, or
    // whenever there is nothing else to do: a core left idle while the walk goes on is better
    // spent on a lone digest than saved for a crowded end.
    bool due(bool filesWaiting) const
    {
        return !mQueue.empty() && (!filesWaiting || mQueue.size() >= size_t(kBatch));
    }

    // A fair share by bytes, so that a few large files are spread over the cores.
    std::vector<PendingDigest> take(int workers)
    {
        std::vector<PendingDigest> batch;
        const qint64 share = mBytes / workers;
        qint64 taken = 0;
        while (!mQueue.empty() && batch.size() < size_t(kBatch) &&
               (batch.empty() || taken < share)) {
            taken += mQueue.front().size;
            batch.push_back(std::move(mQueue.front()));
            mQueue.pop_front();
        }
        mBytes -= taken;
        return batch;
    }

private:
    std::deque<PendingDigest> mQueue;
    qint64 mBytes = 0;
};

} // namespace tarvik
