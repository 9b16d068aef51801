#pragma once

// Runs the files of a scan on worker threads and hands out their duplicates in the order the
// files came in. The files of one size go to one worker at a time, in order, so that the
// bucket of a size needs no lock; sizes run side by side. New groups' MD5s are computed on the
// same workers when nothing more urgent waits. A stop hands out at once what was already
// confirmed; an exception on a worker stops the others and is thrown again on the feeding
// thread.

#include "scan/bucketresolver.h"
#include "scan/digestqueue.h"
#include "scan/lanedigester.h"
#include "scan/pathstore.h"
#include "scan/scantypes.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvik {

class JobPipeline
{
public:
    // Files waiting to be resolved at which the feeding thread holds back.
    static constexpr int kMaxQueued = 4096;
    // Reading is the bottleneck: more workers than cores only add seeks.
    static constexpr int kMaxWorkers = 4;

    struct Bucket;

    // paths must outlive the pipeline; progress may be null. digests receives one entry per
    // group, written from the workers: read it only once finish() has returned.
    JobPipeline(const PathStore& paths, StopCheck stop, DuplicateSink sink,
                QHash<QString, DigestEntry>* digests, ScanProgress* progress);
    // Stops and joins the workers; never throws, so an engine may go while an exception unwinds.
    ~JobPipeline();
    JobPipeline(const JobPipeline&) = delete;
    JobPipeline& operator=(const JobPipeline&) = delete;

    // From here on, for the feeding thread only.

    // A queue for the files of one size; first, met before, is read once the second comes.
    Bucket* newBucket(qint64 size, const FileRef& first);
    void stage(const FileRef& file, Bucket* bucket);
    // Hands the staged files to the workers, holding back while too many wait, then hands out
    // the duplicates confirmed so far.
    void flush();
    // Waits for the files still being resolved and hands out their duplicates; after a stop,
    // hands out at once those already confirmed.
    void finish();
    // An exception that ended a worker, thrown again here.
    void rethrowFailure();
    // Asked by the workers between blocks: the owner's stop, a failed worker, or the end.
    bool stopRequested() const
    {
        return mAbandon.load(std::memory_order_relaxed) || (mStop && mStop());
    }

private:
    struct Job
    {
        FileRef file;
        Bucket* bucket = nullptr;
        Job* next = nullptr;
        bool done = false;
        Resolution result;
    };

    struct Worker;

    void startWorkers();
    void runWorker();
    void workerLoop();
    // Under mMutex.
    bool digestsDue() const;
    void fail(std::exception_ptr failure);
    void submit();
    bool waitForFront();
    bool drain();
    bool deliver(const Job& job);
    void handOverFound();

    const PathStore& mPaths;
    const StopCheck mStop;
    const DuplicateSink mSink;
    QHash<QString, DigestEntry>* mDigests;
    ScanProgress* mProgress;
    // What the workers ask: stopRequested().
    const StopCheck mWorkerStop;
    int mWorkerCount = 1;
    GroupIds mGroups;

    // Feeding thread only.
    std::vector<std::unique_ptr<Bucket>> mBuckets;
    std::vector<std::pair<FileRef, Bucket*>> mStaged;
    std::vector<std::thread> mWorkers;

    // Shared, under mMutex.
    std::mutex mMutex;
    std::condition_variable mWorkReady;
    std::condition_variable mJobDone;
    std::deque<Job> mJobs;
    std::deque<Bucket*> mReady;
    bool mQuit = false;
    // A worker met the stop: the jobs it held will never be done.
    bool mStopped = false;
    DigestQueue mDigestQueue;
    int mDigesting = 0;
    std::exception_ptr mFailure;

    // Set by a failure or the destructor: every worker ends as soon as it can.
    std::atomic<bool> mAbandon{false};
    std::atomic<bool> mFailed{false};
};

} // namespace tarvik
