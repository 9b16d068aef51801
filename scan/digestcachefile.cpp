#include "scan/digestcachefile.h"

#include "scan/contentreader.h"

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tarvik {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'K', 'D', 'C', 'A', 'C', 'H'};
// A new layout or a new meaning of the keys needs a new version: old files are then refused.
// 2: the checksum is taken over the checksums of blocks.
constexpr quint32 kVersion = 2;
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

quint64 blockSum(const CacheRecord* records, size_t count)
{
    return ContentReader::hashBytes(reinterpret_cast<const char*>(records),
                                    qint64(count * sizeof(CacheRecord)));
}

quint64 checksumOf(const std::vector<quint64>& blockSums)
{
    return ContentReader::hashBytes(reinterpret_cast<const char*>(blockSums.data()),
                                    qint64(blockSums.size() * sizeof(quint64)));
}

quint64 keyCheck()
{
    static const char text[] = "Tarvik digest cache";
    return ContentReader::hashBytes(text, qint64(sizeof text));
}

} // namespace

namespace DigestCacheFile {

Load Reader::open(const QString& path, QString* problem,
                  const std::function<void(quint32, const CacheRecord&)>& visit,
                  const std::function<void(quint64)>& sized)
{
    mFile.close();
    mCount = 0;
    mFile.setFileName(path);
    if (!mFile.exists())
        return Load::Missing;
    if (!mFile.open(QIODevice::ReadOnly)) {
        *problem = mFile.errorString();
        return Load::Refused;
    }
    const auto refuse = [&](const QString& why) {
        *problem = why;
        mFile.close();
        mCount = 0;
        return Load::Refused;
    };
    Header header;
    if (mFile.read(reinterpret_cast<char*>(&header), sizeof header) != qint64(sizeof header) ||
        std::memcmp(header.magic, kMagic, sizeof kMagic) != 0)
        return refuse(QCoreApplication::translate("tarvik::DigestCache", "not a digest cache"));
    if (header.byteOrder != kByteOrder || header.version != kVersion ||
        header.recordSize != sizeof(CacheRecord) || header.keyCheck != keyCheck())
        return refuse(QCoreApplication::translate("tarvik::DigestCache",
                                                  "made by another version or machine"));
    if (header.count > kMaxCount ||
        mFile.size() != qint64(sizeof header) + qint64(header.count * sizeof(CacheRecord)))
        return refuse(QCoreApplication::translate("tarvik::DigestCache", "cut short"));
    if (sized)
        sized(header.count);
    std::vector<CacheRecord> block(kBlock);
    std::vector<quint64> sums;
    for (quint64 done = 0; done < header.count;) {
        const size_t n = size_t(std::min<quint64>(kBlock, header.count - done));
        const qint64 bytes = qint64(n * sizeof(CacheRecord));
        if (mFile.read(reinterpret_cast<char*>(block.data()), bytes) != bytes)
            return refuse(QCoreApplication::translate("tarvik::DigestCache", "damaged"));
        sums.push_back(blockSum(block.data(), n));
        if (visit) {
            for (size_t i = 0; i < n; ++i)
                visit(quint32(done + i), block[i]);
        }
        done += n;
    }
    if (checksumOf(sums) != header.checksum)
        return refuse(QCoreApplication::translate("tarvik::DigestCache", "damaged"));
    mCount = header.count;
    return Load::Ok;
}

bool Reader::readAt(quint64 index, CacheRecord* records, size_t count) const
{
    if (index + count > mCount)
        return false;
    const qint64 offset = qint64(sizeof(Header) + index * sizeof(CacheRecord));
    const qint64 bytes = qint64(count * sizeof(CacheRecord));
#ifdef Q_OS_UNIX
    // Workers fetch records at once; pread keeps no shared position.
    char* to = reinterpret_cast<char*>(records);
    for (qint64 got = 0; got < bytes;) {
        const ssize_t n = ::pread(mFile.handle(), to + got, size_t(bytes - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
#else
    std::lock_guard<std::mutex> hold(mMutex);
    return mFile.seek(offset) && mFile.read(reinterpret_cast<char*>(records), bytes) == bytes;
#endif
}

bool Reader::at(quint32 index, CacheRecord* record) const
{
    return readAt(index, record, 1);
}

void Reader::Cursor::fill()
{
    mStart = mPos;
    const quint64 count = mReader->count();
    const size_t n = size_t(std::min<quint64>(kBlock, count - std::min(count, mPos)));
    mBuffer.resize(n);
    // A file that cannot be read on now ends the records early: the merge then keeps less.
    mEnd = n && mReader->readAt(mPos, mBuffer.data(), n) ? mPos + n : mPos;
}

Writer::Writer(const QString& path)
    : mPath(path), mFresh(path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid()))
{
}

Writer::~Writer()
{
    discard();
}

bool Writer::begin(QString* problem)
{
    mFile.setFileName(mFresh);
    if (!mFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *problem = mFile.errorString();
        return false;
    }
    // The header goes in last, once the count and checksum are known.
    const Header blank{};
    mFailed =
        mFile.write(reinterpret_cast<const char*>(&blank), sizeof blank) != qint64(sizeof blank);
    mBlock.reserve(kBlock);
    return !mFailed;
}

bool Writer::flushBlock()
{
    if (mBlock.empty())
        return true;
    const qint64 bytes = qint64(mBlock.size() * sizeof(CacheRecord));
    mBlockSums.push_back(blockSum(mBlock.data(), mBlock.size()));
    mFailed = mFailed || mFile.write(reinterpret_cast<const char*>(mBlock.data()), bytes) != bytes;
    mBlock.clear();
    return !mFailed;
}

void Writer::add(const CacheRecord& record)
{
    mBlock.push_back(record);
    ++mCount;
    if (mBlock.size() == kBlock)
        flushBlock();
}

// Not synced to the disk before the rename: a cache lost in a crash is only made again, and a
// file cut short by one is refused whole.
bool Writer::commit(QString* problem)
{
    flushBlock();
    Header header;
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.version = kVersion;
    header.byteOrder = kByteOrder;
    header.recordSize = sizeof(CacheRecord);
    header.reserved = 0;
    header.keyCheck = keyCheck();
    header.count = mCount;
    header.checksum = checksumOf(mBlockSums);
    if (mFailed || !mFile.seek(0) ||
        mFile.write(reinterpret_cast<const char*>(&header), sizeof header) !=
            qint64(sizeof header) ||
        !mFile.flush()) {
        *problem = mFile.errorString();
        discard();
        return false;
    }
    mFile.close();
#ifdef Q_OS_WIN
    QFile::remove(mPath);
#endif
    if (std::rename(QFile::encodeName(mFresh).constData(), QFile::encodeName(mPath).constData()) !=
        0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        discard();
        return false;
    }
    mFresh.clear();
    return true;
}

void Writer::discard()
{
    mFile.close();
    if (!mFresh.isEmpty())
        QFile::remove(mFresh);
    mFresh.clear();
}

Load read(const QString& path, std::vector<CacheRecord>* records, QString* problem)
{
    records->clear();
    Reader reader;
    const Load load = reader.open(
        path, problem, [records](quint32, const CacheRecord& r) { records->push_back(r); });
    if (load != Load::Ok)
        records->clear();
    return load;
}

} // namespace DigestCacheFile

} // namespace tarvik
