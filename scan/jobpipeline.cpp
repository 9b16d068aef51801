#include "scan/jobpipeline.h"

#include "scan/folderhandlecache.h"
#include "scan/md5.h"
#include "scan/scancache.h"

#include <QThread>
#include <algorithm>
#ifdef Q_OS_LINUX
#include <sched.h>
#endif

namespace tarvik {

struct JobPipeline::Bucket
{
    SizeBucket files;
    // Under mMutex: the jobs waiting, and whether the bucket is queued or held by a worker.
    Job* head = nullptr;
    Job* tail = nullptr;
    bool scheduled = false;
};

// What one worker thread carries from file to file.
struct JobPipeline::Worker
{
    Worker(const PathStore& paths, GroupIds& groups, const StopCheck& stop, ScanProgress* progress,
           ScanCache* cache)
        : folders(paths), resolver(folders, groups, stop, progress, cache), digester(paths, stop),
          comparer(folders, stop, progress)
    {
    }

    // Where the next resolution may set up its comparison.
    Comparison* spare()
    {
        if (!nextComparison)
            nextComparison = std::make_unique<Comparison>();
        return nextComparison.get();
    }

    FolderHandleCache folders;
    BucketResolver resolver;
    LaneDigester digester;
    SideBySideComparer comparer;
    std::unique_ptr<Comparison> nextComparison;
    // Groups whose MD5 is known, and their entries for the table, until they are handed on.
    std::vector<PendingDigest> known;
    std::vector<std::pair<QString, DigestEntry>> entries;
};

namespace {

// The processors this process may run on, which a container or taskset may make fewer than the
// machine has.
int processorsAllowed()
{
#ifdef Q_OS_LINUX
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return qMax(1, CPU_COUNT(&set));
#endif
    return QThread::idealThreadCount();
}

} // namespace

JobPipeline::JobPipeline(const PathStore& paths, StopCheck stop, DuplicateSink sink,
                         QHash<QString, DigestEntry>* digests, GroupDigestSink digestSink,
                         ScanProgress* progress)
    : mPaths(paths), mStop(std::move(stop)), mSink(std::move(sink)), mDigests(digests),
      mDigestSink(std::move(digestSink)), mProgress(progress),
      mWorkerStop([this] { return stopRequested(); })
{
    mWorkerCount = qBound(1, processorsAllowed(), kMaxWorkers);
    mLanes = Md5::lanes();
}

JobPipeline::~JobPipeline()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mQuit = true;
    }
    mAbandon = true;
    mWorkReady.notify_all();
    for (std::thread& worker : mWorkers)
        worker.join();
}

JobPipeline::Bucket* JobPipeline::newBucket(qint64 size, const FileRef& first)
{
    mBuckets.push_back(std::make_unique<Bucket>());
    Bucket* bucket = mBuckets.back().get();
    bucket->files.size = size;
    bucket->files.pendingFirst = first;
    return bucket;
}

void JobPipeline::stage(const FileRef& file, Bucket* bucket)
{
    mStaged.emplace_back(file, bucket);
}

void JobPipeline::flush()
{
    submit();
    drain();
}

void JobPipeline::startWorkers()
{
    for (int i = 0; i < mWorkerCount; ++i)
        mWorkers.emplace_back(&JobPipeline::runWorker, this);
}

void JobPipeline::rethrowFailure()
{
    if (!mFailed.load())
        return;
    std::exception_ptr failure;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        failure = mFailure;
    }
    std::rethrow_exception(failure);
}

// Whatever a worker throws (memory running out, most likely) ends the scan, not the process.
void JobPipeline::runWorker()
{
    try {
        workerLoop();
    } catch (...) {
        fail(std::current_exception());
    }
}

void JobPipeline::fail(std::exception_ptr failure)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mFailure)
            mFailure = failure;
        mFailed = true;
    }
    mAbandon = true;
    mWorkReady.notify_all();
    mJobDone.notify_all();
}

// Hands the staged files to the workers in one go, holding back while too many wait.
void JobPipeline::submit()
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
        job->file = staged.first;
        Bucket* bucket = staged.second;
        job->bucket = bucket;
        if (bucket->tail)
            bucket->tail->next = job;
        else
            bucket->head = job;
        bucket->tail = job;
        if (!bucket->scheduled) {
            bucket->scheduled = true;
            mReady.push_back(bucket);
            woke = true;
        }
    }
    mStaged.clear();
    lock.unlock();
    if (woke)
        mWorkReady.notify_all();
}

// Waits until the oldest job is done; false when the scan was stopped instead.
bool JobPipeline::waitForFront()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mJobDone.wait(lock,
                  [this] { return mStopped || mFailed || mJobs.empty() || mJobs.front().done; });
    return !mStopped && !stopRequested();
}

void JobPipeline::finish()
{
    rethrowFailure();
    if (!stopRequested())
        submit();
    while (!stopRequested()) {
        if (!drain())
            return;
        std::unique_lock<std::mutex> lock(mMutex);
        if (mJobs.empty()) {
            // The groups are all out; their digests may still be on the way.
            mJobDone.wait(lock, [this] {
                return mStopped || mFailed || (mDigestQueue.isEmpty() && mDigesting == 0);
            });
            lock.unlock();
            rethrowFailure();
            return;
        }
        lock.unlock();
        waitForFront();
    }
    rethrowFailure();
    handOverFound();
    // Digests under way end at the stop; once they have, the table holds what was computed.
    std::unique_lock<std::mutex> lock(mMutex);
    mJobDone.wait(lock, [this] { return mFailed || mDigesting == 0; });
}

// A stopped scan still hands over every duplicate already confirmed, in walk order, those behind
// a file not yet resolved too: a group's first file is resolved before any other of its files.
void JobPipeline::handOverFound()
{
    std::vector<Found> found;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Job& job : mJobs) {
            if (job.done && job.result.outcome == Resolution::Outcome::Duplicate)
                found.push_back({job.result, job.file, job.bucket->files.size});
        }
    }
    for (const Found& one : found) {
        if (!deliver(one))
            return;
    }
}

bool JobPipeline::drain()
{
    std::vector<Found> ready;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mJobs.empty() && mJobs.front().done) {
            const Job& job = mJobs.front();
            if (job.result.outcome == Resolution::Outcome::Duplicate)
                ready.push_back({job.result, job.file, job.bucket->files.size});
            mJobs.pop_front();
        }
    }
    for (const Found& one : ready) {
        if (!deliver(one))
            return false;
    }
    return true;
}

bool JobPipeline::deliver(const Found& found)
{
    if (mSink &&
        !mSink(found.result.groupId, mPaths.text(found.result.first), mPaths.text(found.file)))
        return false;
    if (mProgress) {
        ScanProgress::add(mProgress->groups, found.result.opensGroup ? 1 : 0);
        ScanProgress::add(mProgress->duplicates, 1);
        ScanProgress::add(mProgress->reclaimableBytes, found.size);
    }
    return true;
}

bool JobPipeline::digestsDue() const
{
    return mDigestQueue.due(!mReady.empty());
}

// A worker takes every job waiting in one bucket and resolves them in order; the bucket is
// its own until they are done, or until one waits for its comparison, so its classes need no
// lock.
void JobPipeline::workerLoop()
{
    Worker w(mPaths, mGroups, mWorkerStop, mProgress, mCache);
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock, [this] {
            return mQuit || mFailed || !mReady.empty() || comparisonsWaiting() || digestsDue();
        });
        if (mQuit || mFailed)
            return;
        if (digestsDue()) {
            std::vector<PendingDigest> batch = mDigestQueue.take(2 * mLanes);
            if (!mDigestQueue.isEmpty())
                mWorkReady.notify_one();
            ++mDigesting;
            lock.unlock();
            w.digester.digest(batch, &w.known);
            collectKnown(w);
            lock.lock();
            --mDigesting;
            publish(w);
            mJobDone.notify_all();
            continue;
        }
        // New files while the lanes have room: they may bring more comparisons to run together.
        if (!mReady.empty() && (mComparing.size() < size_t(mLanes) || mComparing.empty())) {
            Bucket* bucket = mReady.front();
            mReady.pop_front();
            Job* jobs = bucket->head;
            bucket->head = bucket->tail = nullptr;
            lock.unlock();
            Job* waiting = nullptr;
            const bool stopped = !resolveFrom(w, bucket, jobs, &waiting);
            collectKnown(w);
            lock.lock();
            if (!settle(w, bucket, jobs, waiting, stopped))
                return;
            continue;
        }
        if (!compareTurn(w, lock))
            return;
    }
}

bool JobPipeline::resolveFrom(Worker& w, Bucket* bucket, Job* job, Job** waiting)
{
    for (; job; job = job->next) {
        if (stopRequested()) {
            job->result.outcome = Resolution::Outcome::Stopped;
            return false;
        }
        job->result = w.resolver.resolve(bucket->files, job->file, w.spare());
        switch (job->result.outcome) {
        case Resolution::Outcome::Stopped:
            return false;
        case Resolution::Outcome::Waiting:
            job->comparison = std::move(w.nextComparison);
            *waiting = job;
            return true;
        default:
            break;
        }
    }
    return true;
}

void JobPipeline::collectKnown(Worker& w)
{
    std::vector<PendingDigest>& found = w.resolver.found();
    for (auto it = found.begin(); it != found.end();) {
        if (it->digest.isEmpty()) {
            ++it;
            continue;
        }
        w.known.push_back(std::move(*it));
        it = found.erase(it);
    }
    if (mDigests) {
        for (size_t i = w.entries.size(); i < w.known.size(); ++i)
            w.entries.push_back(w.digester.entry(w.known[i]));
    }
}

void JobPipeline::publish(Worker& w)
{
    for (const auto& entry : w.entries) {
        if (!mDigests->contains(entry.first))
            mDigests->insert(entry.first, entry.second);
    }
    if (mDigestSink) {
        for (const PendingDigest& group : w.known)
            mDigestSink(group.groupId, group.digest);
    }
    if (mCache) {
        for (const PendingDigest& group : w.known)
            mCache->learnDigest(group.first, group.digest);
    }
    w.entries.clear();
    w.known.clear();
}

bool JobPipeline::settle(Worker& w, Bucket* bucket, Job* from, Job* waiting, bool stopped)
{
    if (stopped) {
        mStopped = true;
        mJobDone.notify_all();
        return false;
    }
    for (Job* job = from; job != waiting; job = job->next) {
        job->done = true;
        if (mProgress) {
            ScanProgress::add(mProgress->filesCompared, 1);
            ScanProgress::add(mProgress->bytesCompared, bucket->files.size);
        }
    }
    publish(w);
    const bool found = !w.resolver.found().empty();
    mDigestQueue.add(w.resolver.found());
    if (waiting)
        mComparing.push_back(waiting);
    else if (bucket->head)
        mReady.push_back(bucket);
    else
        bucket->scheduled = false;
    if (waiting || bucket->head || found)
        mWorkReady.notify_one();
    mJobDone.notify_all();
    return true;
}

// Two comparisons digested together take no longer than one alone: a comparison left alone in
// the pool waits for the one another worker runs alone, which comes back within a turn.
bool JobPipeline::comparisonsWaiting() const
{
    return mComparing.size() > 1 || (mComparing.size() == 1 && mComparingAlone == 0);
}

// A worker's share of the comparisons, so that every worker has some: a step of the lanes
// costs the same for five pairs or sixteen, and two digests in general registers what one
// alone does. Fewer than pay for the lanes go two at a time, taking turns.
size_t JobPipeline::comparisonsPerTurn() const
{
    const size_t all = mComparing.size() + mComparingHeld;
    const size_t share = (all + size_t(mWorkerCount) - 1) / size_t(mWorkerCount);
    return share >= size_t(Md5::kLanesFrom) ? qMin(share, size_t(mLanes)) : 2;
}

bool JobPipeline::compareTurn(Worker& w, std::unique_lock<std::mutex>& lock)
{
    // Those with the most left first: the comparisons then end together, with the digests
    // side by side to the end, instead of the longest running on alone.
    if (!comparisonsWaiting())
        return true;
    const size_t take = qMin(comparisonsPerTurn(), mComparing.size());
    const auto bytesLeft = [](const Job* job) {
        return job->comparison->size - job->comparison->offset;
    };
    std::partial_sort(mComparing.begin(), mComparing.begin() + qsizetype(take), mComparing.end(),
                      [&](const Job* a, const Job* b) { return bytesLeft(a) > bytesLeft(b); });
    std::vector<Job*> mine(mComparing.begin(), mComparing.begin() + qsizetype(take));
    mComparing.erase(mComparing.begin(), mComparing.begin() + qsizetype(take));
    mComparingHeld += mine.size();
    const bool alone = mine.size() == 1;
    mComparingAlone += alone ? 1 : 0;
    lock.unlock();
    std::vector<Comparison*> list;
    for (Job* job : mine)
        list.push_back(job->comparison.get());
    w.comparer.advance(list.data(), int(list.size()), kStepsPerTurn);

    struct Ended
    {
        Job* job;
        Job* waiting;
        bool stopped;
    };
    std::vector<Ended> ended;
    std::vector<Job*> going;
    for (Job* job : mine) {
        if (!job->comparison->done) {
            going.push_back(job);
            continue;
        }
        const std::unique_ptr<Comparison> done = std::move(job->comparison);
        Bucket* bucket = job->bucket;
        job->result = w.resolver.resume(bucket->files, job->file, *done, w.spare());
        Ended e{job, nullptr, false};
        if (job->result.outcome == Resolution::Outcome::Waiting) {
            job->comparison = std::move(w.nextComparison);
            e.waiting = job;
        } else if (job->result.outcome == Resolution::Outcome::Stopped) {
            e.stopped = true;
        } else {
            e.stopped = !resolveFrom(w, bucket, job->next, &e.waiting);
        }
        ended.push_back(e);
    }
    collectKnown(w);
    lock.lock();
    mComparingHeld -= mine.size();
    mComparingAlone -= alone ? 1 : 0;
    for (Job* job : going)
        mComparing.push_back(job);
    if (!going.empty())
        mWorkReady.notify_one();
    for (const Ended& e : ended) {
        if (!settle(w, e.job->bucket, e.job, e.waiting, e.stopped))
            return false;
    }
    return true;
}

} // namespace tarvik
