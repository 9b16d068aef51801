#pragma once

// Computes the MD5 of new duplicate groups several at a time, one per SIMD lane: each lane
// takes the next digest as soon as its own is done, and the lanes advance together.

#include "scan/pathstore.h"
#include "scan/scantypes.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <utility>
#include <vector>

namespace tarvik {

// A new group's MD5: known already where its comparison computed it, else computed apart, from
// the bytes of a small file read for the comparison, so that several share the lanes.
struct PendingDigest
{
    QUuid groupId;
    FileRef first;
    qint64 size = 0;
    QByteArray bytes;
    // 16 bytes once known.
    QByteArray digest;
};

// One per worker thread.
class LaneDigester
{
public:
    // Both must outlive the digester.
    LaneDigester(const PathStore& paths, const StopCheck& stop);

    // Digests the batch from its bytes, largest first, each into its digest, and moves the
    // groups to done. A stop ends the batch early.
    void digest(std::vector<PendingDigest>& batch, std::vector<PendingDigest>* done);
    // The entry of a group whose MD5 is known, as the digest table keeps it.
    std::pair<QString, DigestEntry> entry(const PendingDigest& group) const;

private:
    bool stopRequested() const { return mStop && mStop(); }

    const PathStore& mPaths;
    const StopCheck& mStop;
};

} // namespace tarvik
