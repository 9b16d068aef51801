#pragma once

// What one scan learns for the digest cache, kept in two unnamed files beside it until the scan
// ends, so that a million files cost the scan's memory a few bytes each instead of a record each:
// each file's record as the scan began with it (its stamp, and what the cache knew), and what
// the workers learnt since, in the order they learnt it.

#include "scan/digestcachefile.h"

#include <QString>
#include <QTemporaryFile>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace tarvik {

class CacheJournal
{
public:
    enum Kind : quint32 { Key = 1, Token = 2, Md5 = 3 };

    // In folder where it can be written, else in the temporary folder; false if neither.
    bool open(const QString& folder);
    bool failed() const { return mFailed; }

    // Feeding thread: the next file's record as the scan begins with it, flags saying which of
    // key and MD5 it holds. Files are numbered in this order from 1.
    void begin(const CacheRecord& base);
    quint32 count() const { return mCount; }
    // Any thread: something learnt of file number fact.
    void note(quint32 fact, Kind kind, const void* value, size_t size);
    // Once the scan has ended: every file's record with what was learnt applied, shown to visit,
    // then put in the cache's order (device, inode, a file met twice by its times) a part at a
    // time. False if the journal could not be kept.
    bool sort(const std::function<void(CacheRecord&)>& visit);

    // The sorted records, in order, merged from the parts as they are read.
    class Cursor
    {
    public:
        explicit Cursor(const CacheJournal* journal);
        bool atEnd() const { return mCurrent < 0; }
        const CacheRecord& record() const { return mParts[size_t(mCurrent)].at(); }
        void next();

    private:
        struct Part
        {
            quint64 pos = 0, end = 0, start = 0;
            std::vector<CacheRecord> buffer;
            const CacheRecord& at() const { return buffer[size_t(pos - start)]; }
            bool done() const { return pos == end; }
        };
        void fill(Part& part);
        void choose();
        const CacheJournal* mJournal;
        std::vector<Part> mParts;
        qint64 mCurrent = -1;
    };

private:
    struct Entry
    {
        quint32 fact;
        quint32 kind;
        quint8 value[16];
    };
    static constexpr size_t kBuffer = 4096;

    bool writeOut(QTemporaryFile& file, const void* data, size_t bytes);
    bool replay(quint32 from, std::vector<CacheRecord>* records);
    bool readAt(quint64 index, CacheRecord* records, size_t count) const;
    static void apply(CacheRecord& r, const Entry& e);

    QTemporaryFile mBases;
    QTemporaryFile mLearnt;
    QTemporaryFile mSorted;
    QString mFolder;
    // Where each sorted part starts in mSorted, and the end of the last.
    std::vector<quint64> mPartStarts;
    std::vector<CacheRecord> mBaseBuffer;
    std::mutex mMutex;
    std::vector<Entry> mEntries;
    quint32 mCount = 0;
    std::atomic<bool> mFailed{false};
};

} // namespace tarvik
