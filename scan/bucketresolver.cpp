#include "scan/bucketresolver.h"

#include "scan/md5.h"
#include "scan/scancache.h"

#include <cstring>

namespace tarvik {

namespace {

// Files above this size are told apart by a fingerprint before any full read; files up to it
// are read whole at once.
constexpr qint64 kFingerprintFrom = 64 * 1024;
// The first two files of a size up to this are compared at once, without fingerprints: on a
// disk that seeks, the small reads of head and tail cost more than reading such files whole.
constexpr qint64 kCompareAtOnceUpTo = 1024 * 1024;

} // namespace

QUuid GroupIds::join(ContentClass& c, bool* opened)
{
    std::lock_guard<std::mutex> lock(mMutex);
    *opened = c.group < 0;
    if (*opened) {
        c.group = qint32(mIds.size());
        mIds.push_back(QUuid::createUuid());
    }
    return mIds[size_t(c.group)];
}

BucketResolver::BucketResolver(FolderHandleCache& folders, GroupIds& groups, const StopCheck& stop,
                               ScanProgress* progress, ScanCache* cache)
    : mFolders(folders), mGroups(groups), mProgress(progress), mCache(cache),
      mReader(stop, progress)
{
}

ContentClass BucketResolver::classOf(const FileRef& first, quint64 key, bool keyed) const
{
    ContentClass c;
    c.key = key;
    c.keyed = keyed;
    c.first = first;
    if (mCache)
        c.token = mCache->tokenOf(first);
    return c;
}

void BucketResolver::learnKey(const FileRef& file, quint64 key)
{
    if (mCache)
        mCache->learnKey(file, key);
}

// The first of the size as the cache knows it, unread. Small files are found by key only.
bool BucketResolver::openCached(SizeBucket& bucket)
{
    CacheRecord first;
    if (!mCache->known(bucket.pendingFirst, &first))
        return false;
    const bool keyed = first.flags & CacheRecord::HasKey;
    if ((!keyed && bucket.size <= kFingerprintFrom) ||
        (keyed && !mCache->knownKey(bucket.pendingFirst, &first.key)))
        return false;
    bucket.opened = true;
    bucket.classes.add(classOf(bucket.pendingFirst, first.key, keyed));
    if (mProgress)
        ScanProgress::add(mProgress->filesFromCache, 1);
    return true;
}

// A file the cache knows joins the class it was once compared equal to, or is new when no
// class has its key (equal bytes give equal keys); anything else is read.
bool BucketResolver::resolveCached(SizeBucket& bucket, Probe& probe)
{
    CacheRecord mine;
    if (!mCache->known(probe.file, &mine) || (!bucket.opened && !openCached(bucket)))
        return false;
    if (mine.token) {
        const qint64 i = bucket.classes.liveWithToken(mine.token);
        if (i >= 0) {
            // A group's MD5 is on its way already; a new one's has to be known.
            QByteArray digest;
            if (bucket.classes[quint32(i)].group < 0 && !mCache->knownDigest(probe.file, &digest))
                return false;
            joinGroup(bucket, quint32(i), probe, nullptr, digest);
            probe.result.outcome = Outcome::Duplicate;
            if (mProgress)
                ScanProgress::add(mProgress->filesFromCache, 1);
            return true;
        }
    }
    if (!(mine.flags & CacheRecord::HasKey))
        return false;
    // Only the first two of a size may lack a key.
    for (quint32 i = 0; i < 2 && i < bucket.classes.size(); ++i) {
        if (!bucket.classes[i].keyed && !bucket.classes[i].dead)
            return false;
    }
    if (!mCache->knownKey(probe.file, &mine.key))
        return false;
    bucket.classes.liveWithKey(mine.key, &mCandidates);
    if (!mCandidates.empty())
        return false;
    bucket.classes.add(classOf(probe.file, mine.key));
    probe.result.outcome = Outcome::Unique;
    if (mProgress)
        ScanProgress::add(mProgress->filesFromCache, 1);
    return true;
}

Resolution BucketResolver::resolve(SizeBucket& bucket, const FileRef& file, Comparison* wait)
{
    if (!bucket.opened && mProgress) {
        ScanProgress::add(mProgress->filesCompared, 1);
        ScanProgress::add(mProgress->bytesCompared, bucket.size);
    }
    Probe probe;
    probe.file = file;
    probe.size = bucket.size;
    if (mCache && resolveCached(bucket, probe))
        return probe.result;
    probe.result.outcome = bucket.size > kFingerprintFrom ? resolveLarge(bucket, probe, wait)
                                                          : resolveSmall(bucket, probe);
    return probe.result;
}

Resolution BucketResolver::resume(SizeBucket& bucket, const FileRef& file, Comparison& done,
                                  Comparison* wait)
{
    Probe probe;
    probe.file = file;
    probe.size = bucket.size;
    Outcome outcome = judge(bucket, done.candidate, probe, done.match, done.digest);
    if (outcome == Outcome::Unique) {
        // A first that could not be read is out: look again among the others.
        if (!bucket.classes[done.candidate].dead)
            addClass(bucket, done.key, probe, done.keyed);
        else if (done.keyed)
            outcome = resolveAmong(bucket, done.key, probe, wait);
        else
            outcome = resolveByKey(bucket, probe, wait);
    }
    probe.result.outcome = outcome;
    return probe.result;
}

void BucketResolver::hold(const FileRef& file, int buffer)
{
    mHolding = true;
    mHeld = file;
    mHeldBuffer = buffer;
}

void BucketResolver::joinGroup(SizeBucket& bucket, quint32 index, Probe& probe, const char* bytes,
                               const QByteArray& digest)
{
    ContentClass& c = bucket.classes[index];
    if (mCache) {
        if (!c.token)
            bucket.classes.setToken(index, ScanCache::newToken());
        mCache->learnEqual(c.first, probe.file, c.token);
    }
    Resolution& result = probe.result;
    result.groupId = mGroups.join(c, &result.opensGroup);
    result.first = c.first;
    if (!result.opensGroup)
        return;
    PendingDigest pending;
    pending.groupId = result.groupId;
    pending.first = c.first;
    pending.size = probe.size;
    pending.digest = digest;
    if (bytes)
        pending.bytes = QByteArray(bytes, int(pending.size));
    mFound.push_back(std::move(pending));
}

void BucketResolver::addClass(SizeBucket& bucket, quint64 key, const Probe& probe, bool keyed)
{
    ContentClass c = classOf(probe.file, key, keyed);
    c.hash = probe.hash;
    c.hashed = probe.hashed;
    bucket.classes.add(c);
}

// Small files are read whole, hashed, and compared in memory with the first of the class of
// the same hash; the MD5 of a new group is taken from the bytes already read.
BucketResolver::Outcome BucketResolver::resolveSmall(SizeBucket& bucket, Probe& probe)
{
    const qint64 size = bucket.size;
    if (!bucket.opened) {
        bucket.opened = true;
        const int into = mHolding ? 1 - mHeldBuffer : 0;
        switch (mReader.readWhole(nameOf(bucket.pendingFirst, &mFirstPath), size, into)) {
        case ContentReader::Result::Stopped:
            return Outcome::Stopped;
        case ContentReader::Result::Failed:
            break;
        case ContentReader::Result::Ok:
            const quint64 key = ContentReader::hashBytes(mReader.buffer(into), size);
            learnKey(bucket.pendingFirst, key);
            const ContentClass c = classOf(bucket.pendingFirst, key);
            bucket.classes.add(c);
            hold(c.first, into);
            break;
        }
    }
    const int mine = mHolding ? 1 - mHeldBuffer : 1;
    switch (mReader.readWhole(nameOf(probe.file, &mSecondPath), size, mine)) {
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Ok:
        break;
    }
    const char* bytes = mReader.buffer(mine);
    const quint64 key = ContentReader::hashBytes(bytes, size);
    learnKey(probe.file, key);
    bucket.classes.liveWithKey(key, &mCandidates);
    const int other = 1 - mine;
    for (const quint32 i : mCandidates) {
        ContentClass& c = bucket.classes[i];
        if (!(mHolding && mHeld == c.first && mHeldBuffer == other)) {
            holdNothing();
            switch (mReader.readWhole(nameOf(c.first, &mFirstPath), size, other)) {
            case ContentReader::Result::Stopped:
                return Outcome::Stopped;
            case ContentReader::Result::Failed:
                c.dead = true;
                continue;
            case ContentReader::Result::Ok:
                break;
            }
            hold(c.first, other);
        }
        if (std::memcmp(mReader.buffer(other), bytes, size_t(size)) == 0) {
            joinGroup(bucket, i, probe, bytes, QByteArray());
            return Outcome::Duplicate;
        }
    }
    bucket.classes.add(classOf(probe.file, key));
    hold(probe.file, mine);
    return Outcome::Unique;
}

BucketResolver::Outcome BucketResolver::resolveLarge(SizeBucket& bucket, Probe& probe,
                                                     Comparison* wait)
{
    const qint64 size = bucket.size;
    // Large files go through the reader's buffers in blocks: nothing stays held.
    holdNothing();
    if (!bucket.opened) {
        bucket.opened = true;
        if (wait && size <= kCompareAtOnceUpTo) {
            const ContentClass c = classOf(bucket.pendingFirst, 0, false);
            bucket.classes.add(c);
            *wait = Comparison();
            wait->first = c.first;
            wait->second = probe.file;
            wait->size = size;
            wait->wantDigest = true;
            wait->keyed = false;
            return Outcome::Waiting;
        }
        quint64 key = 0;
        switch (mReader.fingerprint(nameOf(bucket.pendingFirst, &mFirstPath), size, &key)) {
        case ContentReader::Result::Stopped:
            return Outcome::Stopped;
        case ContentReader::Result::Failed:
            break;
        case ContentReader::Result::Ok:
            learnKey(bucket.pendingFirst, key);
            bucket.classes.add(classOf(bucket.pendingFirst, key));
            break;
        }
    }
    return resolveByKey(bucket, probe, wait);
}

BucketResolver::Outcome BucketResolver::resolveByKey(SizeBucket& bucket, Probe& probe,
                                                     Comparison* wait)
{
    quint64 key = 0;
    switch (mReader.fingerprint(nameOf(probe.file, &mSecondPath), bucket.size, &key)) {
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Ok:
        learnKey(probe.file, key);
        break;
    }
    Outcome stopped = Outcome::Unique;
    if (!keyClasses(bucket, &stopped))
        return stopped;
    return resolveAmong(bucket, key, probe, wait);
}

// The classes compared before their fingerprints were taken get them now. There are at most
// two, the first of their size, so the classes have no index yet.
bool BucketResolver::keyClasses(SizeBucket& bucket, Outcome* stopped)
{
    for (quint32 i = 0; i < 2 && i < bucket.classes.size(); ++i) {
        ContentClass& c = bucket.classes[i];
        if (c.keyed || c.dead)
            continue;
        switch (mReader.fingerprint(nameOf(c.first, &mFirstPath), bucket.size, &c.key)) {
        case ContentReader::Result::Stopped:
            *stopped = Outcome::Stopped;
            return false;
        case ContentReader::Result::Failed:
            c.dead = true;
            break;
        case ContentReader::Result::Ok:
            c.keyed = true;
            learnKey(c.first, c.key);
            break;
        }
    }
    return true;
}

// With one candidate, a direct comparison settles it; with more, a hash picks the candidate.
BucketResolver::Outcome BucketResolver::resolveAmong(SizeBucket& bucket, quint64 key, Probe& probe,
                                                     Comparison* wait)
{
    for (;;) {
        std::vector<quint32> candidates;
        bucket.classes.liveWithKey(key, &candidates);
        if (candidates.size() > 1)
            return resolveByHash(bucket, probe, candidates);
        if (candidates.empty())
            break;
        if (wait) {
            const ContentClass& c = bucket.classes[candidates[0]];
            *wait = Comparison();
            wait->first = c.first;
            wait->second = probe.file;
            wait->size = bucket.size;
            wait->wantDigest = c.group < 0;
            wait->candidate = candidates[0];
            wait->key = key;
            return Outcome::Waiting;
        }
        const Outcome outcome = confirm(bucket, candidates[0], probe);
        if (outcome != Outcome::Unique)
            return outcome;
        // A first that could not be read is out; look again among the others.
        if (!bucket.classes[candidates[0]].dead)
            break;
    }
    addClass(bucket, key, probe);
    return Outcome::Unique;
}

BucketResolver::Outcome BucketResolver::resolveByHash(SizeBucket& bucket, Probe& probe,
                                                      const std::vector<quint32>& candidates)
{
    const qint64 size = bucket.size;
    switch (mReader.hash(nameOf(probe.file, &mSecondPath), size, &probe.hash, true)) {
    case ContentReader::Result::Ok:
        break;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    }
    probe.hashed = true;
    // Candidates with a known hash first; the others only if none of those matched. At most
    // one class can hold the same bytes, so the order does not change the answer.
    for (const quint32 i : candidates) {
        const ContentClass& c = bucket.classes[i];
        if (c.dead || !c.hashed || c.hash != probe.hash)
            continue;
        const Outcome outcome = confirm(bucket, i, probe);
        if (outcome != Outcome::Unique)
            return outcome;
    }
    for (const quint32 i : candidates) {
        ContentClass& c = bucket.classes[i];
        if (c.dead || c.hashed)
            continue;
        const ContentReader::Result r = mReader.hash(nameOf(c.first, &mFirstPath), size, &c.hash);
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        c.hashed = r == ContentReader::Result::Ok;
        c.dead = !c.hashed;
        if (c.dead || c.hash != probe.hash)
            continue;
        const Outcome outcome = confirm(bucket, i, probe);
        if (outcome != Outcome::Unique)
            return outcome;
    }
    addClass(bucket, bucket.classes[candidates[0]].key, probe);
    return Outcome::Unique;
}

// Compares the file with the class's first, byte for byte. Unique means not this class; if
// the first itself could not be read, the class is marked dead.
BucketResolver::Outcome BucketResolver::confirm(SizeBucket& bucket, quint32 index, Probe& probe)
{
    ContentClass& c = bucket.classes[index];
    const qint64 size = bucket.size;
    quint64 firstHash = 0;
    Md5 md5;
    const ContentReader::Match match =
        mReader.compare(nameOf(c.first, &mFirstPath), nameOf(probe.file, &mSecondPath), size,
                        c.hashed ? nullptr : &firstHash, &probe.hash, c.group < 0 ? &md5 : nullptr);
    if (match == ContentReader::Match::Differ && !c.hashed && size <= ContentReader::kBlockSize) {
        // Files of one block were read whole: keep their hashes for the next look-up.
        c.hash = firstHash;
        c.hashed = true;
        probe.hashed = true;
    }
    return judge(bucket, index, probe, match,
                 match == ContentReader::Match::Equal && c.group < 0 ? md5.result() : QByteArray());
}

BucketResolver::Outcome BucketResolver::judge(SizeBucket& bucket, quint32 index, Probe& probe,
                                              ContentReader::Match match, const QByteArray& digest)
{
    ContentClass& c = bucket.classes[index];
    switch (match) {
    case ContentReader::Match::Equal:
        joinGroup(bucket, index, probe, nullptr, digest);
        return Outcome::Duplicate;
    case ContentReader::Match::Differ:
        return Outcome::Unique;
    case ContentReader::Match::FirstFailed:
        c.dead = true;
        return Outcome::Unique;
    case ContentReader::Match::SecondFailed:
        return Outcome::Skipped;
    case ContentReader::Match::Stopped:
        break;
    }
    return Outcome::Stopped;
}

} // namespace tarvik
