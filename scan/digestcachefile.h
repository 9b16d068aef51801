#pragma once

// The digest cache as it lies on disk: a header, then fixed-size records sorted by device and
// inode, then nothing. A file that is short, long, of another version or byte order, or whose
// checksum does not match is refused whole: the scan then reads as if there were no cache.
// Neither side holds the records in memory: a reader checks the whole file once as it opens it,
// then fetches records where they lie or in order; a writer takes them in order.

#include <QFile>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <mutex>
#include <vector>

namespace tarvik {

// What a scan learnt of one file, valid only while the file's stamp is what it was.
struct CacheRecord
{
    enum Flag : quint32 { HasKey = 1, HasMd5 = 2 };

    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    // The scan's content key at this size: a hash of all bytes up to 64 KiB, else of head and
    // tail. Equal bytes give equal keys, so different keys prove different content.
    quint64 key = 0;
    // Files a byte comparison found equal share a token; 0 for none.
    quint64 token = 0;
    quint8 md5[16] = {};
    // Days since 1970 when a scan last met the file.
    quint32 seenDay = 0;
    quint32 flags = 0;

    // The order of the file: by device, then inode.
    static bool before(const CacheRecord& a, const CacheRecord& b)
    {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }

    bool sameStamp(const CacheRecord& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs &&
               ctimeNs == o.ctimeNs;
    }
};
static_assert(sizeof(CacheRecord) == 80, "records are written as they are in memory");

namespace DigestCacheFile {

enum class Load { Ok, Missing, Refused };

// Records are checked in blocks of this many, so that neither side needs them all at once.
constexpr size_t kBlock = 4096;
// More than a scan ever keeps; a file that claims more is refused.
constexpr quint64 kMaxCount = (quint64(1) << 22) - 2;

class Reader
{
public:
    // Checks the whole file; sized learns the count first, then each record is shown to visit
    // (in order) on the way. On Refused, problem says why, and nothing is kept open.
    Load open(const QString& path, QString* problem,
              const std::function<void(quint32, const CacheRecord&)>& visit = {},
              const std::function<void(quint64)>& sized = {});
    quint64 count() const { return mCount; }
    // Any thread: the record at a place; false if it cannot be read now.
    bool at(quint32 index, CacheRecord* record) const;

    // The records in order, a block at a time.
    class Cursor
    {
    public:
        explicit Cursor(const Reader* reader) : mReader(reader) { fill(); }
        bool atEnd() const { return mPos == mEnd; }
        const CacheRecord& record() const { return mBuffer[mPos - mStart]; }
        void next()
        {
            if (++mPos == mStart + mBuffer.size())
                fill();
        }

    private:
        void fill();
        const Reader* mReader;
        std::vector<CacheRecord> mBuffer;
        quint64 mStart = 0;
        quint64 mPos = 0;
        quint64 mEnd = 0;
    };

private:
    bool readAt(quint64 index, CacheRecord* records, size_t count) const;

    mutable QFile mFile;
    mutable std::mutex mMutex;
    quint64 mCount = 0;
};

class Writer
{
public:
    explicit Writer(const QString& path);
    ~Writer();
    bool begin(QString* problem);
    void add(const CacheRecord& record);
    quint64 count() const { return mCount; }
    // The header, then the new file renamed over path.
    bool commit(QString* problem);
    // Leaves path as it was.
    void discard();

private:
    bool flushBlock();

    QString mPath;
    QString mFresh;
    QFile mFile;
    std::vector<CacheRecord> mBlock;
    std::vector<quint64> mBlockSums;
    quint64 mCount = 0;
    bool mFailed = false;
};

// The whole file in memory, for looking at it.
Load read(const QString& path, std::vector<CacheRecord>* records, QString* problem);

} // namespace DigestCacheFile

} // namespace tarvik
