#pragma once

// Computes the MD5 of new duplicate groups several at a time, one per SIMD lane: each lane
// takes the next digest as soon as its own is done, and the lanes advance together.

#include "scan/folderhandlecache.h"
#include "scan/pathstore.h"
#include "scan/scantypes.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <utility>
#include <vector>

namespace tarvik {

// A new group's MD5, computed apart from the comparison that found the group, so that several
// can share the lanes: from the bytes already read for a small file, else by reading the first
// file again (or, should it fail, the duplicate that matched it).
struct PendingDigest
{
    QUuid groupId;
    FileRef first;
    FileRef duplicate;
    qint64 size = 0;
    QByteArray bytes;
};

// One per worker thread.
class LaneDigester
{
public:
    // All must outlive the digester; progress may be null.
    LaneDigester(const PathStore& paths, FolderHandleCache& folders, const StopCheck& stop,
                 ScanProgress* progress);

    // Digests the batch, largest first; each group whose bytes could be read goes to done under
    // its MD5 in hex. A stop ends the batch early.
    void digest(std::vector<PendingDigest>& batch,
                std::vector<std::pair<QString, DigestEntry>>* done);

private:
    struct Lane;

    bool open(Lane& lane);
    bool fill(Lane& lane);
    bool stopRequested() const { return mStop && mStop(); }

    const PathStore& mPaths;
    FolderHandleCache& mFolders;
    const StopCheck& mStop;
    ScanProgress* mProgress;
    std::vector<char> mBuffers;
    std::string mPath;
};

} // namespace tarvik
