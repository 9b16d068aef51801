#include "scan/scanengine.h"

#include "scan/contentreader.h"
#include "scan/duplicateevent.h"
#include "scan/scancounters.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <chrono>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tarvik {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

} // namespace

ScanEngine::ScanEngine(QThread* owner, QObject* receiver, QHash<QString, DigestEntry>* digests)
    : mOwner(owner), mReceiver(receiver), mDigests(digests),
      mUndelivered(std::make_shared<std::atomic<int>>(0))
{
    mWorkerCount = qBound(1, QThread::idealThreadCount(), 4);
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
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = st.st_size;
    const FileKey key{quint64(st.st_dev), quint64(st.st_ino)};
    if (mVisitedIds.contains(key))
        return false;
    mVisitedIds.insert(key);
#else
    const QFileInfo info(path);
    const QString key = info.canonicalFilePath();
    if (key.isEmpty() || !info.isFile() || mVisitedPaths.contains(key))
        return false;
    *size = info.size();
    mVisitedPaths.insert(key);
#endif
    return true;
}

void ScanEngine::addFile(const QString& path)
{
    if (stopRequested())
        return;
    qint64 size = 0;
    if (!firstVisit(path, &size))
        return;
    ScanCounters& counters = scanCounters();
    counters.filesListed.fetch_add(1, std::memory_order_relaxed);
    counters.bytesListed.fetch_add(size, std::memory_order_relaxed);

    SizeBucket*& bucket = mBuckets[size];
    if (!bucket) {
        // The first file of a size cannot be a duplicate yet; it is read only if another comes.
        mBucketStore.push_back(std::make_unique<SizeBucket>());
        bucket = mBucketStore.back().get();
        bucket->size = size;
        bucket->pendingFirst = path;
    } else {
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
    std::unique_lock<std::mutex> lock(mMutex);
    while (mJobs.size() >= size_t(kMaxQueued)) {
        lock.unlock();
        if (!drain() || stopRequested())
            return;
        lock.lock();
        if (mJobs.size() >= size_t(kMaxQueued))
            mJobDone.wait_for(lock, kPollInterval);
    }
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

void ScanEngine::finish()
{
    submit();
    for (;;) {
        if (!drain() || stopRequested())
            return;
        std::unique_lock<std::mutex> lock(mMutex);
        if (mJobs.empty())
            return;
        if (!mJobs.front().done)
            mJobDone.wait_for(lock, kPollInterval);
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
        if (!post(job.groupId, job.firstPath, job.path))
            return false;
    }
    return true;
}

bool ScanEngine::post(const QUuid& groupId, const QString& firstPath, const QString& path)
{
    // Let the receiver catch up before flooding its queue; a stop still ends the wait.
    if (mUndelivered->load() >= kMaxUndelivered) {
        while (mUndelivered->load() > kMaxUndelivered / 2) {
            if (stopRequested())
                return false;
            QThread::usleep(500);
        }
    }
    if (stopRequested())
        return false;
    if (!mReceiver)
        return true;
    auto* event = new DuplicateEvent(groupId, firstPath, path);
    event->mUndelivered = mUndelivered;
    mUndelivered->fetch_add(1);
    QCoreApplication::postEvent(mReceiver, event, Qt::NormalEventPriority);
    return true;
}

void ScanEngine::workerLoop()
{
    ContentReader reader(mOwner);
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
        if (outcome == Outcome::Stopped)
            return;
        job->report = outcome == Outcome::Duplicate;
        job->done = true;
        if (!job->newGroupMd5.isEmpty()) {
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
        mJobDone.notify_one();
    }
}

ScanEngine::Outcome ScanEngine::resolve(ContentReader& reader, SizeBucket& bucket, Job& job)
{
    const qint64 size = bucket.size;
    const bool large = size > kFingerprintFrom;
    if (!bucket.opened) {
        bucket.opened = true;
        ContentClass first;
        first.firstPath = bucket.pendingFirst;
        bucket.pendingFirst.clear();
        quint64 key = 0;
        const ContentReader::Result r =
            large ? reader.fingerprint(first.firstPath, size, &key) : ContentReader::Result::Ok;
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        if (r == ContentReader::Result::Ok)
            bucket.classes[key].push_back(first);
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
    if (live == 1) {
        const Outcome outcome = confirm(reader, *only, size, job);
        if (outcome != Outcome::Unique)
            return outcome;
        if (!only->dead) {
            classes.push_back(
                ContentClass{job.path, job.hash, job.hashed, false, QUuid(), QByteArray()});
            return Outcome::Unique;
        }
        // A first that cannot be read was never a first; one already shown stays, unmatched.
        if (only->groupId.isNull())
            classes.erase(classes.begin() + (only - classes.data()));
        return resolveAmong(reader, classes, size, job);
    }
    classes.push_back(ContentClass{job.path, 0, false, false, QUuid(), QByteArray()});
    return Outcome::Unique;
}

ScanEngine::Outcome ScanEngine::resolveByHash(ContentReader& reader, Classes& classes, qint64 size,
                                              Job& job)
{
    quint64 hash = 0;
    switch (reader.hash(job.path, size, &hash, true)) {
    case ContentReader::Result::Ok:
        break;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    }
    // Candidates with a known hash first; the others only if none of those matched. At most
    // one class can hold the same bytes, so the order does not change the answer.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < classes.size();) {
            ContentClass& c = classes[i];
            if (c.dead || (pass == 0) != c.hashed) {
                ++i;
                continue;
            }
            if (pass == 1) {
                const ContentReader::Result r = reader.hash(c.firstPath, size, &c.hash);
                if (r == ContentReader::Result::Stopped)
                    return Outcome::Stopped;
                if (r == ContentReader::Result::Failed && c.groupId.isNull()) {
                    classes.erase(classes.begin() + qptrdiff(i));
                    continue;
                }
                c.hashed = r == ContentReader::Result::Ok;
                c.dead = !c.hashed;
            }
            if (c.dead || c.hash != hash) {
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
    }
    classes.push_back(ContentClass{job.path, hash, true, false, QUuid(), QByteArray()});
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
            group.md5 = md5;
            job.newGroupMd5 = md5;
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
