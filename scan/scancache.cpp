#include "scan/scancache.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLockFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <new>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif

namespace tarvik {

namespace {

// Twice the coarsest clock of a local file system, and some room for a server's.
std::atomic<qint64> gRacyMarginMs{2000};
// How long a save waits for another scan's.
constexpr int kLockWaitMs = 2000;

size_t slotOf(quint64 device, quint64 inode, size_t mask)
{
    return size_t(((inode * 0x9e3779b97f4a7c15ull) ^ (device * 0xc2b2ae3d27d4eb4full)) >> 20) &
           mask;
}

} // namespace

bool stampOf(const char* path, CacheStamp* stamp)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp->device = quint64(st.st_dev);
    stamp->inode = quint64(st.st_ino);
    stamp->size = qint64(st.st_size);
    stamp->mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
#else
    Q_UNUSED(path);
    Q_UNUSED(stamp);
    return false;
#endif
}

// What the scan knows of one file it looks at: its stamp, and what the cache or the scan's own
// reads taught. The fields are written from different threads (the key and token by the
// worker holding the size, the digest by whichever publishes it), so none shares another's.
struct ScanCache::Fact
{
    CacheRecord now;
    bool hasKey = false;
    bool hasMd5 = false;
    // 1 + the position of its record in mRecords while the file is unchanged, else 0.
    quint32 cached = 0;
};

// Facts in chunks that never move, so that the feeding thread adds while workers read the
// ones handed to them.
class ScanCache::Facts
{
public:
    static constexpr quint32 kChunk = 1u << 14;
    static constexpr quint32 kMaxChunks = 1u << 14;

    Facts() : mChunks(new std::unique_ptr<Fact[]>[kMaxChunks]) {}

    // Numbers start at 1: 0 names no fact.
    Fact* add(quint32* number)
    {
        const quint32 i = mCount;
        if (i / kChunk >= kMaxChunks)
            return nullptr;
        if (i % kChunk == 0)
            mChunks[i / kChunk].reset(new Fact[kChunk]);
        ++mCount;
        *number = i + 1;
        return &at(i + 1);
    }
    Fact& at(quint32 number) const { return mChunks[(number - 1) / kChunk][(number - 1) % kChunk]; }
    quint32 count() const { return mCount; }

private:
    std::unique_ptr<std::unique_ptr<Fact[]>[]> mChunks;
    quint32 mCount = 0;
};

ScanCache::ScanCache(const QString& folder)
    : mFolder(folder), mStartedMs(QDateTime::currentMSecsSinceEpoch()),
      mToday(quint32(mStartedMs / (24 * 3600 * 1000))), mFacts(std::make_unique<Facts>())
{
}

ScanCache::~ScanCache() = default;

void ScanCache::setRacyMarginMs(qint64 ms)
{
    gRacyMarginMs = ms;
}

quint64 ScanCache::newToken()
{
    quint64 token = 0;
    while (token == 0)
        token = QRandomGenerator::global()->generate64();
    return token;
}

void ScanCache::open()
{
    const QString path = mFolder + QLatin1Char('/') + QLatin1String(kFileName);
    stampOf(QFile::encodeName(path).constData(), &mRead);
    QString problem;
    const DigestCacheFile::Load load = DigestCacheFile::read(path, &mRecords, &problem);
    mReadOk = load == DigestCacheFile::Load::Ok;
    if (load == DigestCacheFile::Load::Refused)
        mWarning =
            QCoreApplication::translate("tarvik::DigestCache",
                                        "the digest cache could not be used (%1); it is made anew")
                .arg(problem);
    buildIndex();
}

void ScanCache::buildIndex()
{
    size_t count = 64;
    while (count < mRecords.size() * 2)
        count *= 2;
    mIndex.assign(count, 0);
    const size_t mask = count - 1;
    for (size_t i = 0; i < mRecords.size(); ++i) {
        size_t s = slotOf(mRecords[i].device, mRecords[i].inode, mask);
        while (mIndex[s] != 0)
            s = (s + 1) & mask;
        mIndex[s] = quint32(i + 1);
    }
}

const CacheRecord* ScanCache::lookUp(quint64 device, quint64 inode) const
{
    const size_t mask = mIndex.size() - 1;
    for (size_t s = slotOf(device, inode, mask); mIndex[s] != 0; s = (s + 1) & mask) {
        const CacheRecord& r = mRecords[mIndex[s] - 1];
        if (r.device == device && r.inode == inode)
            return &r;
    }
    return nullptr;
}

// FAT and exFAT keep no status-change time: after a remount it is the modification time, so a
// content changed with that time put back would look unchanged. FUSE may be either of them.
bool ScanCache::keepsStamps(quint64 device, const char* path)
{
    const auto known = mDevices.find(device);
    if (known != mDevices.end())
        return known->second;
    bool keeps = true;
#ifdef Q_OS_LINUX
    struct statfs fs;
    if (::statfs(path, &fs) != 0)
        return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    keeps = type != 0x4d44 && type != 0x2011bab0 && type != 0x65735546;
#else
    Q_UNUSED(path);
#endif
    mDevices.emplace(device, keeps);
    return keeps;
}

quint32 ScanCache::track(const CacheStamp& stamp, const char* pathOnDevice)
{
    if (!keepsStamps(stamp.device, pathOnDevice))
        return 0;
    quint32 number = 0;
    Fact* f = mFacts->add(&number);
    if (!f)
        return 0;
    f->now.device = stamp.device;
    f->now.inode = stamp.inode;
    f->now.size = stamp.size;
    f->now.mtimeNs = stamp.mtimeNs;
    f->now.ctimeNs = stamp.ctimeNs;
    const CacheRecord* r = lookUp(stamp.device, stamp.inode);
    if (r && r->sameStamp(f->now)) {
        if (r->seenDay != mToday)
            mChanged = true;
        f->cached = quint32(r - mRecords.data()) + 1;
        f->now.key = r->key;
        f->now.token = r->token;
        std::memcpy(f->now.md5, r->md5, sizeof r->md5);
        f->hasKey = r->flags & CacheRecord::HasKey;
        f->hasMd5 = r->flags & CacheRecord::HasMd5;
    } else {
        // A new file, or a record to replace or drop.
        mChanged = true;
    }
    return number;
}

ScanCache::Fact* ScanCache::fact(const FileRef& file) const
{
    return file.fact ? &mFacts->at(file.fact) : nullptr;
}

const CacheRecord* ScanCache::known(const FileRef& file) const
{
    const Fact* f = fact(file);
    return f && f->cached ? &mRecords[f->cached - 1] : nullptr;
}

quint64 ScanCache::tokenOf(const FileRef& file) const
{
    const Fact* f = fact(file);
    return f ? f->now.token : 0;
}

void ScanCache::learnKey(const FileRef& file, quint64 key)
{
    Fact* f = fact(file);
    if (!f)
        return;
    // Read bytes that disagree with the record: the record is not to be believed.
    if (f->hasKey && f->now.key == key)
        return;
    mChanged = true;
    if (f->hasKey) {
        f->now.token = 0;
        f->hasMd5 = false;
    }
    f->now.key = key;
    f->hasKey = true;
}

void ScanCache::learnEqual(const FileRef& first, const FileRef& file, quint64 token)
{
    for (const FileRef& one : {first, file}) {
        Fact* f = fact(one);
        if (f && f->now.token != token) {
            f->now.token = token;
            mChanged = true;
        }
    }
}

void ScanCache::learnDigest(const FileRef& first, const QByteArray& md5)
{
    Fact* f = fact(first);
    if (!f || md5.size() != int(sizeof f->now.md5) ||
        (f->hasMd5 && std::memcmp(f->now.md5, md5.constData(), sizeof f->now.md5) == 0))
        return;
    mChanged = true;
    std::memcpy(f->now.md5, md5.constData(), sizeof f->now.md5);
    f->hasMd5 = true;
}

// The records of this scan's files, sorted; files it learnt nothing of stay as tombstones
// (flags 0), so that their old records go.
std::vector<CacheRecord> ScanCache::learnt() const
{
    const qint64 racyFromNs = (mStartedMs - gRacyMarginMs.load()) * 1000000;
    QHash<quint64, const quint8*> digests;
    for (quint32 n = 1; n <= mFacts->count(); ++n) {
        const Fact& f = mFacts->at(n);
        if (f.hasMd5 && f.now.token)
            digests.insert(f.now.token, f.now.md5);
    }
    std::vector<CacheRecord> ours;
    ours.reserve(mFacts->count());
    for (quint32 n = 1; n <= mFacts->count(); ++n) {
        const Fact& f = mFacts->at(n);
        CacheRecord r = f.now;
        r.seenDay = mToday;
        r.flags = (f.hasKey ? quint32(CacheRecord::HasKey) : 0u) |
                  (f.hasMd5 ? quint32(CacheRecord::HasMd5) : 0u);
        // Files confirmed equal have one content, so one MD5.
        if (!f.hasMd5 && r.token) {
            if (const quint8* md5 = digests.value(r.token)) {
                std::memcpy(r.md5, md5, sizeof r.md5);
                r.flags |= CacheRecord::HasMd5;
            }
        }
        // A change now would leave the same stamp: nothing of such a file is kept.
        if (r.ctimeNs >= racyFromNs)
            r.flags = 0;
        if (r.flags == 0)
            r.token = 0;
        ours.push_back(r);
    }
    // A file met twice (the first of a size is looked at again when the second comes) keeps
    // its latest stamp: the merge takes the last of a kind.
    std::sort(ours.begin(), ours.end(), [](const CacheRecord& a, const CacheRecord& b) {
        if (a.device != b.device || a.inode != b.inode)
            return CacheRecord::before(a, b);
        return a.ctimeNs != b.ctimeNs ? a.ctimeNs < b.ctimeNs : a.mtimeNs < b.mtimeNs;
    });
    return ours;
}

bool ScanCache::save()
{
    // The scan's results are out: a cache too large for the memory left costs only itself.
    try {
        return saveNow();
    } catch (const std::bad_alloc&) {
        mWarning = QCoreApplication::translate("tarvik::DigestCache",
                                               "the digest cache could not be written (%1)")
                       .arg(QCoreApplication::translate("tarvik::DigestCache", "out of memory"));
        return false;
    }
}

bool ScanCache::saveNow()
{
    // A rescan of unchanged files, on the day of the last: nothing to keep. A second save has
    // nothing more to give.
    if ((mReadOk && !mChanged) || !mFacts)
        return true;
    if (!QDir().mkpath(mFolder)) {
        mWarning = QCoreApplication::translate("tarvik::DigestCache",
                                               "the digest cache cannot be kept in %1")
                       .arg(mFolder);
        return false;
    }
    const QString path = mFolder + QLatin1Char('/') + QLatin1String(kFileName);
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        mWarning = lock.error() == QLockFile::LockFailedError
                       ? QCoreApplication::translate(
                             "tarvik::DigestCache",
                             "the digest cache is in use by another scan; it is left as it is")
                       : QCoreApplication::translate("tarvik::DigestCache",
                                                     "the digest cache cannot be kept in %1")
                             .arg(mFolder);
        return false;
    }
    // Another scan may have saved since this one read: keep what it learnt too.
    CacheStamp now;
    const bool exists = stampOf(QFile::encodeName(path).constData(), &now);
    if (exists &&
        (now.inode != mRead.inode || now.device != mRead.device || now.size != mRead.size ||
         now.mtimeNs != mRead.mtimeNs || now.ctimeNs != mRead.ctimeNs)) {
        QString ignored;
        mReadOk = DigestCacheFile::read(path, &mRecords, &ignored) == DigestCacheFile::Load::Ok;
    }
    std::vector<CacheRecord> old;
    old.swap(mRecords);
    if (!std::is_sorted(old.begin(), old.end(), CacheRecord::before))
        std::sort(old.begin(), old.end(), CacheRecord::before);
    const quint32 oldest = mToday > quint32(kKeepDays) ? mToday - quint32(kKeepDays) : 0;
    std::vector<CacheRecord> ours = learnt();
    // Nothing asks for the scan's facts after this: their memory is the merge's.
    mFacts.reset();
    std::vector<quint32>().swap(mIndex);
    const std::vector<CacheRecord> merged = DigestCacheFile::merge(ours, old, oldest, kMaxRecords);
    std::vector<CacheRecord>().swap(ours);
    // A rescan of unchanged files on the day of the last has nothing new to keep.
    if (mReadOk && merged.size() == old.size() &&
        (merged.empty() ||
         std::memcmp(merged.data(), old.data(), merged.size() * sizeof(CacheRecord)) == 0))
        return true;
    QString problem;
    if (!DigestCacheFile::write(path, merged, &problem)) {
        mWarning = QCoreApplication::translate("tarvik::DigestCache",
                                               "the digest cache could not be written (%1)")
                       .arg(problem);
        return false;
    }
    return true;
}

} // namespace tarvik
