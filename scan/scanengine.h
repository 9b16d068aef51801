#pragma once

#include "scan/duplicatefinderthread.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <QUuid>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvik {

class ContentReader;

// Finds the duplicates among the files handed to it in walk order and posts one
// DuplicateEvent per duplicate, in that order, exactly as digesting every file one after
// another would, but reading only what can matter: a file is looked at once a second file of
// its size turns up, a short fingerprint of head and tail parts large files before a full read,
// a fast hash finds the candidate among several, and every match is confirmed byte for byte
// against its group's first file. The MD5 is computed once per group, as its key. Files of
// different sizes are resolved on worker threads; events leave from the owner thread only.
class ScanEngine
{
public:
    // Posted events still waiting for delivery at which the engine holds back.
    static constexpr int kMaxUndelivered = 256;
    // Files waiting to be resolved at which the walk holds back.
    static constexpr int kMaxQueued = 4096;
    // Files handed to the workers at a time, and between looks for finished ones.
    static constexpr int kBatch = 32;
    static constexpr qint64 kFlushMs = 50;
    // Files above this size are told apart by a fingerprint before any full read.
    static constexpr qint64 kFingerprintFrom = 64 * 1024;

    ScanEngine(QThread* owner, QObject* receiver, QHash<QString, DigestEntry>* digests);
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Called from the owner thread, in walk order.
    void addFile(const QString& path);
    // Waits for the files still being resolved and posts their events.
    void finish();

    // Shared with every posted event, whose destructor counts itself off; outlives the engine
    // as long as an event does.
    using Counter = std::shared_ptr<std::atomic<int>>;

private:
    struct Job;

    // Files of one content met so far: the first of them stands for all.
    struct ContentClass
    {
        QString firstPath;
        quint64 hash = 0;
        bool hashed = false;
        bool dead = false;
        QUuid groupId;
        QByteArray md5;
    };
    using Classes = std::vector<ContentClass>;

    struct SizeBucket
    {
        qint64 size = 0;
        QString pendingFirst;
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
    Outcome resolve(ContentReader& reader, SizeBucket& bucket, Job& job);
    Outcome resolveAmong(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome resolveByHash(ContentReader& reader, Classes& classes, qint64 size, Job& job);
    Outcome confirm(ContentReader& reader, ContentClass& group, qint64 size, Job& job);
    void submit();
    bool drain();
    bool post(const QUuid& groupId, const QString& firstPath, const QString& path);
    bool stopRequested() const { return mOwner->isInterruptionRequested(); }

    QThread* mOwner;
    QObject* mReceiver;
    QHash<QString, DigestEntry>* mDigests;
    Counter mUndelivered;

    // Owner thread only.
    QHash<qint64, SizeBucket*> mBuckets;
    std::vector<std::unique_ptr<SizeBucket>> mBucketStore;
    struct FileKey
    {
        quint64 device;
        quint64 inode;
        bool operator==(const FileKey& o) const { return device == o.device && inode == o.inode; }
    };
    friend uint qHash(const FileKey& key, uint seed)
    {
        return ::qHash(key.inode, seed) ^ ::qHash(key.device, seed ^ 0x9e3779b9u);
    }
    QSet<FileKey> mVisitedIds;
    QSet<QString> mVisitedPaths;
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
    std::vector<std::thread> mWorkers;
    int mWorkerCount = 1;
};

} // namespace tarvik
