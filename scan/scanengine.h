#pragma once

#include "scan/inputfile.h"
#include "scan/inodeset.h"
#include "scan/pathstore.h"
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
#include <string>
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
    // Files above this size are told apart by a fingerprint before any full read; files up to
    // it are read whole at once.
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
    // The same for a file that a walk has already looked at (see listFolder).
    void addListed(const ListedFile& file);
    // Waits for the files still being resolved and hands out their duplicates; after a stop,
    // hands out at once those already confirmed.
    void finish();

private:
    struct FileRef
    {
        PathStore::Ref folder = 0;
        PathStore::Ref name = 0;
        bool operator==(const FileRef& o) const { return folder == o.folder && name == o.name; }
    };

    // Files of one content met so far: the first of them stands for all. Small files are
    // keyed by their content hash, large ones by their fingerprint.
    struct ContentClass
    {
        quint64 key = 0;
        // Large files: the hash of the whole content, once known.
        quint64 hash = 0;
        FileRef first;
        // -1 until a second file of this content turns up.
        qint32 group = -1;
        bool hashed = false;
        // The first could not be read: nothing can be matched against it any more.
        bool dead = false;
    };

    struct Job;

    struct SizeBucket
    {
        qint64 size = 0;
        FileRef pendingFirst;
        // Feeding thread only.
        int listed = 0;
        // The worker that holds the bucket only.
        bool opened = false;
        std::vector<ContentClass> classes;
        // Positions + 1 in classes by key, open addressing; built once there are many.
        std::vector<quint32> index;
        // Under mMutex.
        Job* head = nullptr;
        Job* tail = nullptr;
        bool scheduled = false;
    };

    // A size met once is only remembered; its bucket comes with the second file.
    struct SizeSlot
    {
        FileRef first;
        SizeBucket* bucket = nullptr;
    };

    enum class Outcome { Unique, Duplicate, Skipped, Stopped };

    struct Job
    {
        FileRef file;
        SizeBucket* bucket = nullptr;
        Job* next = nullptr;
        Outcome outcome = Outcome::Unique;
        bool done = false;
        bool opensGroup = false;
        bool hashed = false;
        quint64 hash = 0;
        QUuid groupId;
        FileRef first;
    };

    // A new group's MD5, computed apart from the comparison that found the group, so that
    // several can share the SIMD lanes: from the bytes already read for a small file, else by
    // reading the first file again (or, should it fail, the duplicate that matched it).
    struct PendingDigest
    {
        QUuid groupId;
        FileRef first;
        FileRef duplicate;
        qint64 size = 0;
        QByteArray bytes;
    };

    // What one worker thread carries from file to file.
    struct Worker;

    void add(const char* folder, size_t folderSize, const char* name, size_t nameSize, qint64 size);
    void startWorkers();
    void workerLoop();
    Outcome resolve(Worker& w, SizeBucket& bucket, Job& job);
    Outcome resolveSmall(Worker& w, SizeBucket& bucket, Job& job);
    Outcome resolveLarge(Worker& w, SizeBucket& bucket, Job& job);
    Outcome resolveAmong(Worker& w, SizeBucket& bucket, quint64 key, Job& job);
    Outcome resolveByHash(Worker& w, SizeBucket& bucket, Job& job,
                          const std::vector<quint32>& candidates);
    Outcome confirm(Worker& w, SizeBucket& bucket, quint32 group, Job& job);
    void joinGroup(Worker& w, ContentClass& c, Job& job, const char* bytes);
    void digest(Worker& w, std::vector<PendingDigest>& batch);
    bool digestsDue() const;
    void addClass(SizeBucket& bucket, const ContentClass& c);
    void liveWithKey(const SizeBucket& bucket, quint64 key, std::vector<quint32>* out) const;
    const char* pathOf(const FileRef& file, std::string* buffer) const;
    FileName nameOf(Worker& w, const FileRef& file, std::string* buffer) const;
    QString textOf(const FileRef& file) const;
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

    // Written by the feeding thread only; read by workers behind mMutex.
    PathStore mPaths;

    // Feeding thread only.
    QHash<qint64, SizeSlot> mSizes;
    std::vector<std::unique_ptr<SizeBucket>> mBucketStore;
    InodeSet mVisited;
    QSet<QString> mVisitedPaths;
    QByteArray mLastFolder;
    PathStore::Ref mLastFolderRef = 0;
    bool mHaveFolder = false;
    std::vector<std::pair<FileRef, SizeBucket*>> mStaged;
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
    std::deque<PendingDigest> mDigestQueue;
    qint64 mDigestBytes = 0;
    int mDigesting = 0;
    std::vector<std::thread> mWorkers;
    int mWorkerCount = 1;

    // Group identities by number; any thread, under mGroupMutex.
    std::mutex mGroupMutex;
    std::deque<QUuid> mGroupIds;
};

} // namespace tarvik
