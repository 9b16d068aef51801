#pragma once

// Resolves each file of a size against the files of that size met before it: a new content, a
// duplicate of an earlier file (confirmed byte for byte), or a file that could not be read.
// Small files are read whole and compared in memory; large ones are told apart by a
// fingerprint of head and tail first, and by a hash of the whole content where several share
// it. A large file's comparison with the one class it may belong to can be left to run side by
// side with others (SideBySideComparer): the resolution then waits, and resumes on its verdict.

#include "scan/contentclasses.h"
#include "scan/contentreader.h"
#include "scan/folderhandlecache.h"
#include "scan/lanedigester.h"
#include "scan/pathstore.h"
#include "scan/scantypes.h"
#include "scan/sidebysidecomparer.h"

#include <QUuid>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tarvik {

class ScanCache;

// The files of one size as far as they have been resolved; only the worker that holds it
// touches it.
struct SizeBucket
{
    qint64 size = 0;
    // The first file of the size, read once the second turns up.
    FileRef pendingFirst;
    bool opened = false;
    ContentClasses classes;
};

// The identities of the groups found, by number, shared by all workers.
class GroupIds
{
public:
    // The identity of the class's group, made now if it has none yet (then opened is true).
    QUuid join(ContentClass& c, bool* opened);

private:
    std::mutex mMutex;
    std::deque<QUuid> mIds;
};

struct Resolution
{
    enum class Outcome { Unique, Duplicate, Skipped, Stopped, Waiting };
    Outcome outcome = Outcome::Unique;
    // Duplicates: the group, its first file, and whether this file made it a group.
    bool opensGroup = false;
    QUuid groupId;
    FileRef first;
};

// One per worker thread.
class BucketResolver
{
public:
    // All must outlive the resolver; progress and cache may be null.
    BucketResolver(FolderHandleCache& folders, GroupIds& groups, const StopCheck& stop,
                   ScanProgress* progress, ScanCache* cache = nullptr);

    // The file against those of its bucket met before it, in the order they were given. With
    // wait, a large file's comparison may be set up there instead of run: the outcome is then
    // Waiting, and resume() takes it up once the comparison is done.
    Resolution resolve(SizeBucket& bucket, const FileRef& file, Comparison* wait = nullptr);
    Resolution resume(SizeBucket& bucket, const FileRef& file, Comparison& done,
                      Comparison* wait = nullptr);
    // The groups opened since this was last emptied, waiting for their MD5.
    std::vector<PendingDigest>& found() { return mFound; }

private:
    using Outcome = Resolution::Outcome;
    // What one resolution learns on its way.
    struct Probe
    {
        FileRef file;
        qint64 size = 0;
        bool hashed = false;
        quint64 hash = 0;
        Resolution result;
    };

    // From the digest cache alone, where it can tell; false where the file must be read.
    bool resolveCached(SizeBucket& bucket, Probe& probe);
    bool openCached(SizeBucket& bucket);
    // A class led by first, with the token the cache knows for it.
    ContentClass classOf(const FileRef& first, quint64 key, bool keyed = true) const;
    void learnKey(const FileRef& file, quint64 key);
    Outcome resolveSmall(SizeBucket& bucket, Probe& probe);
    Outcome resolveLarge(SizeBucket& bucket, Probe& probe, Comparison* wait);
    // By fingerprint, once every class has one.
    Outcome resolveByKey(SizeBucket& bucket, Probe& probe, Comparison* wait);
    bool keyClasses(SizeBucket& bucket, Outcome* stopped);
    Outcome resolveAmong(SizeBucket& bucket, quint64 key, Probe& probe, Comparison* wait);
    Outcome resolveByHash(SizeBucket& bucket, Probe& probe, const std::vector<quint32>& candidates);
    Outcome confirm(SizeBucket& bucket, quint32 index, Probe& probe);
    // What a comparison's verdict means for the file; Unique when it belongs elsewhere.
    Outcome judge(SizeBucket& bucket, quint32 index, Probe& probe, ContentReader::Match match,
                  const QByteArray& digest);
    void addClass(SizeBucket& bucket, quint64 key, const Probe& probe, bool keyed = true);
    // The first file's MD5 is known here (small files: their bytes; large ones: the digest).
    void joinGroup(SizeBucket& bucket, quint32 index, Probe& probe, const char* bytes,
                   const QByteArray& digest);
    void holdNothing() { mHolding = false; }
    void hold(const FileRef& file, int buffer);
    FileName nameOf(const FileRef& file, std::string* buffer)
    {
        return mFolders.name(file, buffer);
    }

    FolderHandleCache& mFolders;
    GroupIds& mGroups;
    ScanProgress* mProgress;
    ScanCache* mCache;
    ContentReader mReader;
    std::string mFirstPath;
    std::string mSecondPath;
    std::vector<quint32> mCandidates;
    // The small file whose bytes are still in one of the reader's buffers.
    bool mHolding = false;
    FileRef mHeld;
    int mHeldBuffer = 0;
    std::vector<PendingDigest> mFound;
};

} // namespace tarvik
