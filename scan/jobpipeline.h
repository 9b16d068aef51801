#pragma once

// Runs the files of a scan on worker threads and hands out their duplicates in the order the
// files came in. The files of one size go to one worker at a time, in order, so that the
// bucket of a size needs no lock; sizes run side by side. A large file's comparison waits in a
// pool that any worker takes from, several at a time, to run them side by side; its bucket
// waits with it. Small groups' MD5s are computed on the same workers when nothing more urgent
// waits. Nothing is tied to a worker for long, so a worker that gets less of a processor than
// the others holds nothing back. A stop hands out at once what was already confirmed; an
// exception on a worker stops the others and is thrown again on the feeding thread.

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
    // Blocks a worker compares of each file before it lets another take the comparisons.
    static constexpr int kStepsPerTurn = 8;

    struct Bucket;

    // paths must outlive the pipeline; progress may be null. digests receives one entry per
    // group, written from the workers: read it only once finish() has returned; and digestSink,
    // if set, each group's MD5.
    JobPipeline(const PathStore& paths, StopCheck stop, DuplicateSink sink,
                QHash<QString, DigestEntry>* digests, GroupDigestSink digestSink,
                ScanProgress* progress);
    // Stops and joins the workers; never throws, so an engine may go while an exception unwinds.
    ~JobPipeline();
    JobPipeline(const JobPipeline&) = delete;
    JobPipeline& operator=(const JobPipeline&) = delete;

    // From here on, for the feeding thread only.

    // Before the first file; cache may be null.
    void setCache(ScanCache* cache) { mCache = cache; }

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
        // While it waits for its comparison.
        std::unique_ptr<Comparison> comparison;
    };

    // A confirmed duplicate, as the sink gets it.
    struct Found
    {
        Resolution result;
        FileRef file;
        qint64 size = 0;
    };

    struct Worker;

    void startWorkers();
    void runWorker();
    void workerLoop();
    // Resolves the jobs from job on, in order, until one waits for a comparison, which it
    // returns; false when one met the stop. Under no lock.
    bool resolveFrom(Worker& w, Bucket* bucket, Job* job, Job** waiting);
    // Takes comparisons from the pool, runs them a turn, and resumes the jobs of those that
    // ended. Called and returns under the lock; false when one met the stop.
    bool compareTurn(Worker& w, std::unique_lock<std::mutex>& lock);
    // Under mMutex: whether a worker should take comparisons, and how many for a turn.
    bool comparisonsWaiting() const;
    size_t comparisonsPerTurn() const;
    // Under mMutex: the jobs from `from` up to `waiting` are done; the waiting one joins the
    // pool, and the bucket goes back in line if more came for it. False after a stop.
    bool settle(Worker& w, Bucket* bucket, Job* from, Job* waiting, bool stopped);
    // Under no lock: the groups whose MD5 a comparison computed, and the table's entries.
    void collectKnown(Worker& w);
    // Under mMutex: hands the worker's digests on.
    void publish(Worker& w);
    // Under mMutex.
    bool digestsDue() const;
    void fail(std::exception_ptr failure);
    void submit();
    bool waitForFront();
    bool drain();
    bool deliver(const Found& found);
    void handOverFound();

    const PathStore& mPaths;
    const StopCheck mStop;
    const DuplicateSink mSink;
    QHash<QString, DigestEntry>* mDigests;
    const GroupDigestSink mDigestSink;
    ScanProgress* mProgress;
    ScanCache* mCache = nullptr;
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
    // Jobs whose comparison no worker is running.
    std::deque<Job*> mComparing;
    // Comparisons the workers are running a turn of.
    size_t mComparingHeld = 0;
    // Workers running a turn of a single comparison.
    int mComparingAlone = 0;
    int mLanes = 1;
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
