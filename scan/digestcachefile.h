#pragma once

// The digest cache as it lies on disk: a header, then fixed-size records sorted by device and
// inode, then nothing. A file that is short, long, of another version or byte order, or whose
// checksum does not match is refused whole: the scan then reads as if there were no cache.

#include <QString>
#include <QtGlobal>
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

// Reads the whole file; on Refused, problem says why.
Load read(const QString& path, std::vector<CacheRecord>* records, QString* problem);
// Writes a new file beside path and renames it over path once complete.
bool write(const QString& path, const std::vector<CacheRecord>& records, QString* problem);
// What a scan learnt (ours: in order, a file's latest stamp last of its kind; flags 0 where
// its record is to go) over what the cache held (old, in order): old records of files not
// met stay if seen on oldestDay or later; at most maxRecords, those seen last.
std::vector<CacheRecord> merge(const std::vector<CacheRecord>& ours,
                               const std::vector<CacheRecord>& old, quint32 oldestDay,
                               size_t maxRecords);

} // namespace DigestCacheFile

} // namespace tarvik
