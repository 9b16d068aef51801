#pragma once

#include "scan/inodeset.h"
#include "scan/jobpipeline.h"
#include "scan/pathstore.h"
#include "scan/scantypes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QString>
#include <string>

namespace tarvik {

class ScanCache;

// Finds the duplicates among the files handed to it in walk order and hands each one to the
// sink, in that order, exactly as digesting every file one after another would, but reading
// only what can matter: a file is looked at once a second file of its size turns up, a short
// fingerprint of head and tail parts large files before a full read, a fast hash finds the
// candidate among several, and every match is confirmed byte for byte against its group's first
// file. The MD5 is computed once per group, as its key. Files of different sizes are resolved on
// worker threads; the sink is called only from the thread that feeds the engine.
// Needs no event loop and no QThread: whoever runs it brings the stop check and the sink.
// An exception on a worker thread ends the scan and is thrown again from the next call.
class ScanEngine
{
public:
    // Files waiting to be resolved at which the walk holds back.
    static constexpr int kMaxQueued = JobPipeline::kMaxQueued;
    // Files handed to the workers at a time, and between looks for finished ones.
    static constexpr int kBatch = 32;
    static constexpr qint64 kFlushMs = 50;

    // digests receives one entry per group, written from the worker threads: read it only once
    // finish() has returned. progress may be null.
    ScanEngine(StopCheck stop, DuplicateSink sink, QHash<QString, DigestEntry>* digests,
               ScanProgress* progress = nullptr);
    // The same, each group's MD5 going to digestSink instead of a table.
    ScanEngine(StopCheck stop, DuplicateSink sink, GroupDigestSink digestSink,
               ScanProgress* progress = nullptr);
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Before the first file: what earlier scans learnt, and where this one notes what it
    // learns (see ScanCache). cache must outlive the engine; null for none.
    void setCache(ScanCache* cache);

    // Called from the feeding thread, in walk order.
    void addFile(const QString& path);
    // The same for a file that a walk has already looked at (see listFolder).
    void addListed(const ListedFile& file);
    // Waits for the files still being resolved and hands out their duplicates; after a stop,
    // hands out at once those already confirmed.
    void finish();

private:
    // A size met once is only remembered; its bucket comes with the second file.
    struct SizeSlot
    {
        FileRef first;
        JobPipeline::Bucket* bucket = nullptr;
    };

    void add(const char* folder, size_t folderSize, const char* name, size_t nameSize, qint64 size,
             const ListedFile* listed);
    // The cache's number for a file about to be looked at: from what the walk saw, or for the
    // first of a size, met before, from a fresh look.
    quint32 track(const ListedFile* listed, qint64 size);
    quint32 trackFirst(const FileRef& first, qint64 size);

    ScanProgress* mProgress;
    ScanCache* mCache = nullptr;
    std::string mPathBuffer;
    // Written by the feeding thread only; read by the workers, so it outlives the pipeline.
    PathStore mPaths;
    QHash<qint64, SizeSlot> mSizes;
    InodeSet mVisited;
    QSet<QString> mVisitedPaths;
    QByteArray mLastFolder;
    PathStore::Ref mLastFolderRef = 0;
    bool mHaveFolder = false;
    int mSinceFlush = 0;
    QElapsedTimer mFlushTimer;
    JobPipeline mPipeline;
};

} // namespace tarvik
