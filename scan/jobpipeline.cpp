#include "scan/jobpipeline.h"

#include "scan/folderhandlecache.h"

#include <QThread>

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
    Worker(const PathStore& paths, GroupIds& groups, const StopCheck& stop, ScanProgress* progress)
        : folders(paths), resolver(folders, groups, stop, progress),
          digester(paths, folders, stop, progress)
    {
    }

    FolderHandleCache folders;
    BucketResolver resolver;
    LaneDigester digester;
};

JobPipeline::JobPipeline(const PathStore& paths, StopCheck stop, DuplicateSink sink,
                         QHash<QString, DigestEntry>* digests, ScanProgress* progress)
    : mPaths(paths), mStop(std::move(stop)), mSink(std::move(sink)), mDigests(digests),
      mProgress(progress), mWorkerStop([this] { return stopRequested(); })
{
    mWorkerCount = qBound(1, QThread::idealThreadCount(), kMaxWorkers);
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
    std::vector<Job> found;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Job& job : mJobs) {
            if (job.done && job.result.outcome == Resolution::Outcome::Duplicate)
                found.push_back(job);
        }
    }
    for (const Job& job : found) {
        if (!deliver(job))
            return;
    }
}

bool JobPipeline::drain()
{
    std::vector<Job> ready;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mJobs.empty() && mJobs.front().done) {
            if (mJobs.front().result.outcome == Resolution::Outcome::Duplicate)
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

bool JobPipeline::deliver(const Job& job)
{
    if (mSink && !mSink(job.result.groupId, mPaths.text(job.result.first), mPaths.text(job.file)))
        return false;
    if (mProgress) {
        ScanProgress::add(mProgress->groups, job.result.opensGroup ? 1 : 0);
        ScanProgress::add(mProgress->duplicates, 1);
        ScanProgress::add(mProgress->reclaimableBytes, job.bucket->files.size);
    }
    return true;
}

bool JobPipeline::digestsDue() const
{
    return mDigestQueue.due(!mReady.empty());
}

// A worker takes every job waiting in one bucket and resolves them in order; the bucket is
// its own until they are done, so its classes need no lock.
void JobPipeline::workerLoop()
{
    Worker w(mPaths, mGroups, mWorkerStop, mProgress);
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock,
                        [this] { return mQuit || mFailed || !mReady.empty() || digestsDue(); });
        if (mQuit || mFailed)
            return;
        if (digestsDue()) {
            std::vector<PendingDigest> batch = mDigestQueue.take(mWorkerCount);
            if (!mDigestQueue.isEmpty())
                mWorkReady.notify_one();
            ++mDigesting;
            lock.unlock();
            std::vector<std::pair<QString, DigestEntry>> done;
            w.digester.digest(batch, &done);
            lock.lock();
            --mDigesting;
            for (const auto& entry : done) {
                if (!mDigests->contains(entry.first))
                    mDigests->insert(entry.first, entry.second);
            }
            mJobDone.notify_all();
            continue;
        }
        Bucket* bucket = mReady.front();
        mReady.pop_front();
        Job* jobs = bucket->head;
        bucket->head = bucket->tail = nullptr;
        lock.unlock();
        bool stopped = false;
        for (Job* job = jobs; job && !stopped; job = job->next) {
            if (stopRequested())
                job->result.outcome = Resolution::Outcome::Stopped;
            else
                job->result = w.resolver.resolve(bucket->files, job->file);
            stopped = job->result.outcome == Resolution::Outcome::Stopped;
        }
        lock.lock();
        if (stopped) {
            mStopped = true;
            mJobDone.notify_all();
            return;
        }
        for (Job* job = jobs; job; job = job->next) {
            job->done = true;
            if (mProgress) {
                ScanProgress::add(mProgress->filesCompared, 1);
                ScanProgress::add(mProgress->bytesCompared, bucket->files.size);
            }
        }
        if (bucket->head)
            mReady.push_back(bucket);
        else
            bucket->scheduled = false;
        const bool found = !w.resolver.found().empty();
        mDigestQueue.add(w.resolver.found());
        if (bucket->head || found)
            mWorkReady.notify_one();
        mJobDone.notify_all();
    }
}

} // namespace tarvik
