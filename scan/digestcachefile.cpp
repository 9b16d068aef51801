#include "scan/digestcachefile.h"

#include "scan/contentreader.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvik {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'K', 'D', 'C', 'A', 'C', 'H'};
// A new layout or a new meaning of the keys needs a new version: old files are then refused.
constexpr quint32 kVersion = 1;
// Read back with the bytes swapped on a machine of the other byte order.
constexpr quint32 kByteOrder = 0x01020304;

struct Header
{
    char magic[8];
    quint32 version;
    quint32 byteOrder;
    quint32 recordSize;
    quint32 reserved;
    // The content key of a fixed text: keys made by another build of the hash cannot be
    // compared with this build's.
    quint64 keyCheck;
    quint64 count;
    quint64 checksum;
};
static_assert(sizeof(Header) == 48, "the header is written as it is in memory");

quint64 checksumOf(const std::vector<CacheRecord>& records)
{
    return ContentReader::hashBytes(reinterpret_cast<const char*>(records.data()),
                                    qint64(records.size() * sizeof(CacheRecord)));
}

quint64 keyCheck()
{
    static const char text[] = "Tarvik digest cache";
    return ContentReader::hashBytes(text, qint64(sizeof text));
}

} // namespace

namespace DigestCacheFile {

Load read(const QString& path, std::vector<CacheRecord>* records, QString* problem)
{
    records->clear();
    QFile file(path);
    if (!file.exists())
        return Load::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return Load::Refused;
    }
    Header header;
    if (file.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0) {
        *problem = QCoreApplication::translate("tarvik::DigestCache", "not a digest cache");
        return Load::Refused;
    }
    if (header.byteOrder != kByteOrder || header.version != kVersion ||
        header.recordSize != sizeof(CacheRecord) || header.keyCheck != keyCheck()) {
        *problem = QCoreApplication::translate("tarvik::DigestCache",
                                               "made by another version or machine");
        return Load::Refused;
    }
    const qint64 bytes = qint64(header.count) * qint64(sizeof(CacheRecord));
    if (header.count > quint64(1) << 32 || file.size() != qint64(sizeof header) + bytes) {
        *problem = QCoreApplication::translate("tarvik::DigestCache", "cut short");
        return Load::Refused;
    }
    records->resize(size_t(header.count));
    if (file.read(reinterpret_cast<char*>(records->data()), bytes) != bytes ||
        checksumOf(*records) != header.checksum) {
        records->clear();
        *problem = QCoreApplication::translate("tarvik::DigestCache", "damaged");
        return Load::Refused;
    }
    return Load::Ok;
}

// Not synced to the disk before the rename: a cache lost in a crash is only made again, and a
// file cut short by one is refused whole.
bool write(const QString& path, const std::vector<CacheRecord>& records, QString* problem)
{
    const QString fresh = path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    QFile file(fresh);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *problem = file.errorString();
        return false;
    }
    Header header;
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.version = kVersion;
    header.byteOrder = kByteOrder;
    header.recordSize = sizeof(CacheRecord);
    header.reserved = 0;
    header.keyCheck = keyCheck();
    header.count = records.size();
    header.checksum = checksumOf(records);
    const qint64 bytes = qint64(records.size() * sizeof(CacheRecord));
    if (file.write(reinterpret_cast<const char*>(&header), sizeof header) !=
            qint64(sizeof header) ||
        file.write(reinterpret_cast<const char*>(records.data()), bytes) != bytes ||
        !file.flush()) {
        *problem = file.errorString();
        file.close();
        QFile::remove(fresh);
        return false;
    }
    file.close();
#ifdef Q_OS_WIN
    QFile::remove(path);
#endif
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) !=
        0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(fresh);
        return false;
    }
    return true;
}

std::vector<CacheRecord> merge(const std::vector<CacheRecord>& ours,
                               const std::vector<CacheRecord>& old, quint32 oldestDay,
                               size_t maxRecords)
{
    std::vector<CacheRecord> merged;
    merged.reserve(ours.size() + old.size());
    auto o = old.begin();
    for (auto n = ours.begin(); n != ours.end() || o != old.end();) {
        // Old records of files this scan did not meet stay while they are young enough.
        if (n == ours.end() || (o != old.end() && CacheRecord::before(*o, *n))) {
            if (o->seenDay >= oldestDay && o->flags != 0)
                merged.push_back(*o);
            ++o;
            continue;
        }
        // A file met twice: its latest stamp.
        auto last = n;
        while (last + 1 != ours.end() && !CacheRecord::before(*last, *(last + 1)))
            ++last;
        if (last->flags != 0)
            merged.push_back(*last);
        while (o != old.end() && !CacheRecord::before(*last, *o))
            ++o;
        n = last + 1;
    }
    if (merged.size() > maxRecords) {
        // The files met longest ago go first.
        std::vector<CacheRecord> byAge(merged);
        std::nth_element(
            byAge.begin(), byAge.begin() + (maxRecords - 1), byAge.end(),
            [](const CacheRecord& a, const CacheRecord& b) { return a.seenDay > b.seenDay; });
        const quint32 keepFrom = byAge[maxRecords - 1].seenDay;
        std::vector<CacheRecord> kept;
        kept.reserve(maxRecords);
        for (const CacheRecord& r : merged) {
            if (r.seenDay > keepFrom || (r.seenDay == keepFrom && kept.size() < maxRecords))
                kept.push_back(r);
        }
        merged.swap(kept);
    }
    return merged;
}

} // namespace DigestCacheFile

} // namespace tarvik
