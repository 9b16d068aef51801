#include "scan/scanengine.h"

#include "scan/contentreader.h"

#include <QThread>

namespace tarvik {

ScanEngine::ScanEngine(StopCheck stop, DuplicateSink sink, QHash<QString, DigestEntry>* digests,
                       ScanProgress* progress)
    : mStop(std::move(stop)), mSink(std::move(sink)), mDigests(digests), mProgress(progress)
{
    mWorkerCount = qBound(1, QThread::idealThreadCount(), kMaxWorkers);
    mFlushTimer.start();
}

ScanEngine::~ScanEngine()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mQuit = true;
    }
    mWorkReady.notify_all();
    for (std::thread& worker : mWorkers)
        worker.join();
}

void ScanEngine::startWorkers()
{
    for (int i = 0; i < mWorkerCount; ++i)
        mWorkers.emplace_back(&ScanEngine::workerLoop, this);
}

bool ScanEngine::firstVisit(const QString& path, qint64* size)
{
    FileId id;
    if (!regularFileId(path, &id, size) || mVisited.contains(id))
        return false;
    mVisited.insert(id);
    return true;
}

void ScanEngine::addFile(const QString& path)
{
    if (stopRequested())
        return;
    qint64 size = 0;
    if (!firstVisit(path, &size))
        return;
    count(&ScanProgress::filesListed, 1);
    count(&ScanProgress::bytesListed, size);

    SizeBucket*& bucket = mBuckets[size];
    if (!bucket) {
        // The first file of a size cannot be a duplicate yet; it is read only if another comes.
        mBucketStore.push_back(std::make_unique<SizeBucket>());
        bucket = mBucketStore.back().get();
        bucket->size = size;
        bucket->pendingFirst = path;
        bucket->listed = 1;
    } else {
        // The second file of a size brings the first into the comparison too.
        const int newcomers = ++bucket->listed == 2 ? 2 : 1;
        count(&ScanProgress::filesToCompare, newcomers);
        count(&ScanProgress::bytesToCompare, newcomers * size);
        mStaged.emplace_back(path, bucket);
    }
    // Work and results move in batches, but never wait long behind a slow walk.
    if (++mSinceFlush >= kBatch || mFlushTimer.hasExpired(kFlushMs)) {
        mSinceFlush = 0;
        mFlushTimer.restart();
        submit();
        drain();
    }
}

// Hands the staged files to the workers in one go, holding back while too many wait.
void ScanEngine::submit()
{
    if (mStaged.empty())
        return;
    if (mWorkers.empty())
        startWorkers();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mJobs.size() < size_t(kMaxQueued))
                break;
        }
        if (!waitForFront() || !drain())
            return;
    }
    std::unique_lock<std::mutex> lock(mMutex);
    bool woke = false;
    for (const auto& staged : mStaged) {
        mJobs.emplace_back();
        Job* job = &mJobs.back();
        job->path = staged.first;
        job->bucket = staged.second;
        job->bucket->queue.push_back(job);
        if (!job->bucket->scheduled) {
            job->bucket->scheduled = true;
            mReady.push_back(job->bucket);
            woke = true;
        }
    }
    mStaged.clear();
    lock.unlock();
    if (woke)
        mWorkReady.notify_all();
}

// Waits until the oldest job is done; false when the scan was stopped instead.
bool ScanEngine::waitForFront()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mJobDone.wait(lock, [this] { return mStopped || mJobs.empty() || mJobs.front().done; });
    return !mStopped && !stopRequested();
}

void ScanEngine::finish()
{
    if (mProgress)
        mProgress->walkDone = true;
    if (!stopRequested())
        submit();
    while (!stopRequested()) {
        if (!drain())
            return;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mJobs.empty())
                return;
        }
        waitForFront();
    }
    handOverFound();
}

// A stopped scan still hands over every duplicate already confirmed, in walk order, those behind
// a file not yet resolved too: a group's first file is resolved before any other of its files.
void ScanEngine::handOverFound()
{
    std::vector<Job> found;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Job& job : mJobs) {
            if (job.done && job.report)
                found.push_back(job);
        }
        mJobs.clear();
    }
    for (const Job& job : found) {
        if (!deliver(job))
            return;
    }
}

bool ScanEngine::drain()
{
    std::vector<Job> ready;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mJobs.empty() && mJobs.front().done) {
            if (mJobs.front().report)
                ready.push_back(std::move(mJobs.front()));
            mJobs.pop_front();
        }
    }
    for (const Job& job : ready) {
        if (!deliver(job))
            return false;
    }
    return true;
}

bool ScanEngine::deliver(const Job& job)
{
    if (mSink && !mSink(job.groupId, job.firstPath, job.path))
        return false;
    count(&ScanProgress::groups, job.opensGroup ? 1 : 0);
    count(&ScanProgress::duplicates, 1);
    count(&ScanProgress::reclaimableBytes, job.bucket->size);
    return true;
}

void ScanEngine::workerLoop()
{
    ContentReader reader(mStop, mProgress);
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock, [this] { return mQuit || !mReady.empty(); });
        if (mQuit)
            return;
        SizeBucket* bucket = mReady.front();
        mReady.pop_front();
        Job* job = bucket->queue.front();
        bucket->queue.pop_front();
        lock.unlock();
        const Outcome outcome = stopRequested() ? Outcome::Stopped : resolve(reader, *bucket, *job);
        lock.lock();
        if (outcome == Outcome::Stopped) {
            mStopped = true;
            mJobDone.notify_all();
            return;
        }
        jobResolved(bucket, job, outcome);
    }
}

// Under mMutex.
void ScanEngine::jobResolved(SizeBucket* bucket, Job* job, Outcome outcome)
{
    job->report = outcome == Outcome::Duplicate;
    job->done = true;
    count(&ScanProgress::filesCompared, 1);
    count(&ScanProgress::bytesCompared, bucket->size);
    if (job->opensGroup) {
        const QString hex = QString::fromLatin1(job->newGroupMd5.toHex());
        if (!mDigests->contains(hex))
            mDigests->insert(hex, DigestEntry{job->groupId, job->firstPath});
    }
    if (bucket->queue.empty()) {
        bucket->scheduled = false;
    } else {
        mReady.push_back(bucket);
        mWorkReady.notify_one();
    }
    mJobDone.notify_all();
}

ScanEngine::Outcome ScanEngine::resolve(ContentReader& reader, SizeBucket& bucket, Job& job)
{
    const qint64 size = bucket.size;
    const bool large = size > kFingerprintFrom;
    if (!bucket.opened) {
        bucket.opened = true;
        const QString first = bucket.pendingFirst;
        bucket.pendingFirst.clear();
        count(&ScanProgress::filesCompared, 1);
        count(&ScanProgress::bytesCompared, size);
        quint64 key = 0;
        const ContentReader::Result r =
            large ? reader.fingerprint(first, size, &key) : ContentReader::Result::Ok;
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        if (r == ContentReader::Result::Ok)
            bucket.classes[key].emplace_back(first, 0, false);
    }
    quint64 key = 0;
    if (large) {
        const ContentReader::Result r = reader.fingerprint(job.path, size, &key);
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        if (r == ContentReader::Result::Failed)
            return Outcome::Skipped;
    }
    return resolveAmong(reader, bucket.classes[key], size, job);
}

// With one candidate, a direct comparison settles it; with more, a hash picks the candidate.
ScanEngine::Outcome ScanEngine::resolveAmong(ContentReader& reader, Classes& classes, qint64 size,
                                             Job& job)
{
    int live = 0;
    ContentClass* only = nullptr;
    for (ContentClass& c : classes) {
        if (!c.dead) {
            ++live;
            only = &c;
        }
    }
    if (live > 1)
        return resolveByHash(reader, classes, size, job);
    if (live == 0) {
        classes.emplace_back(job.path, 0, false);
        return Outcome::Unique;
    }
    const Outcome outcome = confirm(reader, *only, size, job);
    if (outcome != Outcome::Unique)
        return outcome;
    if (!only->dead) {
        classes.emplace_back(job.path, job.hash, job.hashed);
        return Outcome::Unique;
    }
    // A first that cannot be read was never a first; one already shown stays, unmatched.
    if (only->groupId.isNull())
        classes.erase(classes.begin() + (only - classes.data()));
    return resolveAmong(reader, classes, size, job);
}

ScanEngine::Outcome ScanEngine::resolveByHash(ContentReader& reader, Classes& classes, qint64 size,
                                              Job& job)
{
    switch (reader.hash(job.path, size, &job.hash, true)) {
    case ContentReader::Result::Ok:
        break;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    }
    job.hashed = true;
    // Candidates with a known hash first; the others only if none of those matched. At most
    // one class can hold the same bytes, so the order does not change the answer.
    Outcome outcome = matchHashed(reader, classes, size, job);
    if (outcome == Outcome::Unique)
        outcome = matchUnhashed(reader, classes, size, job);
    if (outcome == Outcome::Unique)
        classes.emplace_back(job.path, job.hash, true);
    return outcome;
}

ScanEngine::Outcome ScanEngine::matchHashed(ContentReader& reader, Classes& classes, qint64 size,
                                            Job& job)
{
    for (size_t i = 0; i < classes.size();) {
        ContentClass& c = classes[i];
        if (c.dead || !c.hashed || c.hash != job.hash) {
            ++i;
            continue;
        }
        const Outcome outcome = confirm(reader, c, size, job);
        if (outcome != Outcome::Unique)
            return outcome;
        if (c.dead && c.groupId.isNull())
            classes.erase(classes.begin() + qptrdiff(i));
        else
            ++i;
    }
    return Outcome::Unique;
}

// Classes whose first was never hashed: hash it now; one that cannot be read is dropped, or
// marked dead when its group is already shown.
ScanEngine::Outcome ScanEngine::matchUnhashed(ContentReader& reader, Classes& classes, qint64 size,
                                              Job& job)
{
    for (size_t i = 0; i < classes.size();) {
        ContentClass& c = classes[i];
        if (c.dead || c.hashed) {
            ++i;
            continue;
        }
        const ContentReader::Result r = reader.hash(c.firstPath, size, &c.hash);
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        if (r == ContentReader::Result::Failed && c.groupId.isNull()) {
            classes.erase(classes.begin() + qptrdiff(i));
            continue;
        }
        c.hashed = r == ContentReader::Result::Ok;
        c.dead = !c.hashed;
        if (c.dead || c.hash != job.hash) {
            ++i;
            continue;
        }
        const Outcome outcome = confirm(reader, c, size, job);
        if (outcome != Outcome::Unique)
            return outcome;
        if (c.dead && c.groupId.isNull())
            classes.erase(classes.begin() + qptrdiff(i));
        else
            ++i;
    }
    return Outcome::Unique;
}

// Compares the file with the group's first, byte for byte. Unique means not this group; if
// the first itself could not be read, the group is marked dead.
ScanEngine::Outcome ScanEngine::confirm(ContentReader& reader, ContentClass& group, qint64 size,
                                        Job& job)
{
    QByteArray md5;
    const bool newGroup = group.groupId.isNull();
    quint64 firstHash = 0;
    switch (reader.compare(group.firstPath, job.path, size, newGroup ? &md5 : nullptr,
                           group.hashed ? nullptr : &firstHash, &job.hash)) {
    case ContentReader::Match::Equal:
        if (newGroup) {
            group.groupId = QUuid::createUuid();
            job.newGroupMd5 = md5;
            job.opensGroup = true;
        }
        job.groupId = group.groupId;
        job.firstPath = group.firstPath;
        return Outcome::Duplicate;
    case ContentReader::Match::Differ:
        // Small files were read whole: keep their hashes for the next look-up.
        if (!group.hashed && size <= ContentReader::kBlockSize) {
            group.hash = firstHash;
            group.hashed = true;
            job.hashed = true;
        }
        return Outcome::Unique;
    case ContentReader::Match::FirstFailed:
        group.dead = true;
        return Outcome::Unique;
    case ContentReader::Match::SecondFailed:
        return Outcome::Skipped;
    case ContentReader::Match::Stopped:
        break;
    }
    return Outcome::Stopped;
}

} // namespace tarvik
