#pragma once

#include "scan/inputfile.h"
#include "scan/scantypes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QUuid>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvik {

class ContentReader;

// Finds the duplicates among the files handed to it in walk order and hands each one to the
// sink, in that order, exactly as digesting every file one after another would, but reading
// only what can matter: a file is looked at once a second file of its size turns up, a short
// fingerprint of head and tail parts large files before a full read, a fast hash finds the
// candidate among several, and every match is confirmed byte for byte against its group's first
// file. The MD5 is computed once per group, as its key. Files of different sizes are resolved on
// worker threads; the sink is called only from the thread that feeds the engine.
// Needs no event loop and no QThread: whoever runs it brings the stop check and the sink.
class ScanEngine
{
public:
    // Files waiting to be resolved at which the walk holds back.
    static constexpr int kMaxQueued = 4096;
    // Files handed to the workers at a time, and between looks for finished ones.
    static constexpr int kBatch = 32;
    static constexpr qint64 kFlushMs = 50;
    // Files above this size are told apart by a fingerprint before any full read.
    static constexpr qint64 kFingerprintFrom = 64 * 1024;
    // Reading is the bottleneck: more workers than cores only add seeks.
    static constexpr int kMaxWorkers = 4;

    // digests receives one entry per group, written from the worker threads: read it only once
    // finish() has returned. progress may be null.
    ScanEngine(StopCheck stop, DuplicateSink sink, QHash<QString, DigestEntry>* digests,
               ScanProgress* progress = nullptr);
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Called from the feeding thread, in walk order.
    void addFile(const QString& path);
    // Waits for the files still being resolved and hands out their duplicates; after a stop,
    // hands out at once those already confirmed.
    void finish();

private:
    struct Job;

    // Files of one content met so far: the first of them stands for all.
    struct ContentClass
    {
        ContentClass(const QString& path, quint64 contentHash, bool isHashed)
            : firstPath(path), hash(contentHash), hashed(isHashed)
        {
        }

        QString firstPath;
        quint64 hash = 0;
        bool hashed = false;
        // The first could not be read: nothing can be matched against it any more.
        bool dead = false;
        // Null until a second file of this content turns up.
        QUuid groupId;
    };
    using Classes = std::vector<ContentClass>;

    struct SizeBucket
    {
        qint64 size = 0;
        QString pendingFirst;
        // Feeding thread only.
        int listed = 0;
        bool opened = false;
        QHash<quint64, Classes> classes;
        std::deque<Job*> queue;
        bool scheduled = false;
    };

    struct Job
    {
        QString path;
        SizeBucket* bucket = nullptr;
        bool done = false;
        bool report = false;
        bool opensGroup = false;
        QUuid groupId;
        QString firstPath;
        QByteArray newGroupMd5;
        quint64 hash = 0;
        bool hashed = false;
    };

    enum class Outcome { Unique, Duplicate, Skipped, Stopped };

    bool firstVisit(const QString& path, qint64* size);
    void startWorkers();
    void workerLoop();
    void jobResolved(SizeBucket* bucket, Job* job, Outcome outcome);
    Outcome resolve(ContentReader& reader, SizeBucket& bucket, Job& job);
    Outcome resolveAmong(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome resolveByHash(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome matchHashed(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome matchUnhashed(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome confirm(ContentReader& reader, ContentClass& group, qint64 size, Job& job);
    void submit();
    bool waitForFront();
    bool drain();
    bool deliver(const Job& job);
    void handOverFound();
    bool stopRequested() const { return mStop && mStop(); }
    void count(std::atomic<qint64> ScanProgress::*figure, qint64 amount)
    {
        if (mProgress)
            ScanProgress::add(mProgress->*figure, amount);
    }

    const StopCheck mStop;
    const DuplicateSink mSink;
    QHash<QString, DigestEntry>* mDigests;
    ScanProgress* mProgress;

    // Feeding thread only.
    QHash<qint64, SizeBucket*> mBuckets;
    std::vector<std::unique_ptr<SizeBucket>> mBucketStore;
    QSet<FileId> mVisited;
    std::vector<std::pair<QString, SizeBucket*>> mStaged;
    int mSinceFlush = 0;
    QElapsedTimer mFlushTimer;

    // Shared, under mMutex.
    std::mutex mMutex;
    std::condition_variable mWorkReady;
    std::condition_variable mJobDone;
    std::deque<Job> mJobs;
    std::deque<SizeBucket*> mReady;
    bool mQuit = false;
    // A worker met the stop: the jobs it held will never be done.
    bool mStopped = false;
    std::vector<std::thread> mWorkers;
    int mWorkerCount = 1;
};

} // namespace tarvik
