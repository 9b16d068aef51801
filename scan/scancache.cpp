#include "scan/scancache.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
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

// An index slot: 1 + the record's place above kTagBits bits of its stamp's hash.
constexpr int kTagBits = 10;
constexpr quint32 kTagMask = (1u << kTagBits) - 1;
static_assert(DigestCacheFile::kMaxCount + 1 < (quint64(1) << (32 - kTagBits)),
              "every place fits in a slot");

quint64 hashOf(const CacheRecord& r)
{
    quint64 h = r.device * 0xc2b2ae3d27d4eb4full ^ r.inode * 0x9e3779b97f4a7c15ull ^
                quint64(r.size) * 0x165667b19e3779f9ull ^
                quint64(r.mtimeNs) * 0x27d4eb2f165667c5ull ^
                quint64(r.ctimeNs) * 0x85ebca77c2b2ae63ull;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

size_t slotOf(quint64 hash, size_t width)
{
    return size_t(((hash >> 32) * width) >> 32);
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

// What the scan keeps in memory of each file it looks at: where its record lies while the file
// is unchanged, and for such a file its key and token as they stand now. What the scan learns of
// the others waits in the journal alone. Chunks never move, so that the feeding thread adds
// while workers read the ones handed to them.
class ScanCache::Facts
{
public:
    static constexpr quint32 kChunk = 1u << 14;
    static constexpr quint32 kMaxChunks = 1u << 14;
    // In a place word, beside 1 + the record's place:
    static constexpr quint32 kHasKey = 1u << 31;
    static constexpr quint32 kHasMd5 = 1u << 30;
    // An MD5, a key learnt by this scan.
    static constexpr quint32 kMd5Learnt = 1u << 29;
    static constexpr quint32 kKeyLearnt = 1u << 28;
    static constexpr quint32 kPlace = (1u << 24) - 1;

    // The token as it stands now.
    using Known = quint64;

    Facts() : mChunks(new std::unique_ptr<Chunk>[kMaxChunks]) {}

    // Numbers start at 1: 0 names no fact.
    bool add(quint32 number)
    {
        const quint32 i = number - 1;
        if (i / kChunk >= kMaxChunks)
            return false;
        if (i % kChunk == 0)
            mChunks[i / kChunk].reset(new Chunk);
        return true;
    }
    // Written by the worker holding the size, read by the one publishing a group's MD5.
    std::atomic<quint32>& place(quint32 number) const
    {
        return chunk(number).places[(number - 1) % kChunk];
    }
    // Feeding thread, for a file found unchanged, before it is handed over.
    Known& makeKnown(quint32 number)
    {
        Chunk& c = chunk(number);
        if (!c.known)
            c.known.reset(new Known[kChunk]);
        return c.known[(number - 1) % kChunk];
    }
    // Only for a file whose place is set.
    Known& known(quint32 number) const { return chunk(number).known[(number - 1) % kChunk]; }

private:
    struct Chunk
    {
        std::atomic<quint32> places[kChunk] = {};
        // Made with the chunk's first file found unchanged: a first scan needs none.
        std::unique_ptr<Known[]> known;
    };
    Chunk& chunk(quint32 number) const { return *mChunks[(number - 1) / kChunk]; }
    std::unique_ptr<std::unique_ptr<Chunk>[]> mChunks;
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

void ScanCache::forgetScan()
{
    std::vector<quint32>().swap(mIndex);
    mFacts.reset();
}

qint64 ScanCache::racyMarginMs()
{
    return gRacyMarginMs;
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
    size_t width = 0;
    const DigestCacheFile::Load load = mReader.open(
        path, &problem,
        [this, &width](quint32 place, const CacheRecord& r) {
            size_t s = slotOf(hashOf(r), width);
            while (mIndex[s] != 0)
                s = s + 1 == width ? 0 : s + 1;
            mIndex[s] = ((place + 1) << kTagBits) | quint32(hashOf(r) & kTagMask);
        },
        [this, &width](quint64 count) {
            width = std::max<size_t>(64, size_t(count + count / 4));
            mIndex.assign(width, 0);
        });
    mReadOk = load == DigestCacheFile::Load::Ok;
    if (!mReadOk)
        std::vector<quint32>().swap(mIndex);
    if (load == DigestCacheFile::Load::Refused)
        mWarning =
            QCoreApplication::translate("tarvik::DigestCache",
                                        "the digest cache could not be used (%1); it is made anew")
                .arg(problem);
    mJournalOpen = mJournal.open(mFolder);
}

qint64 ScanCache::lookUp(const CacheRecord& stamp, CacheRecord* record) const
{
    if (mIndex.empty())
        return -1;
    const quint64 hash = hashOf(stamp);
    const size_t width = mIndex.size();
    for (size_t s = slotOf(hash, width); mIndex[s] != 0; s = s + 1 == width ? 0 : s + 1) {
        if ((mIndex[s] & kTagMask) != (hash & kTagMask))
            continue;
        const quint32 place = (mIndex[s] >> kTagBits) - 1;
        if (mReader.at(place, record) && record->sameStamp(stamp))
            return place;
    }
    return -1;
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
    if (!mJournalOpen || !mFacts || !keepsStamps(stamp.device, pathOnDevice))
        return 0;
    const quint32 number = mJournal.count() + 1;
    if (!mFacts->add(number))
        return 0;
    CacheRecord now;
    now.device = stamp.device;
    now.inode = stamp.inode;
    now.size = stamp.size;
    now.mtimeNs = stamp.mtimeNs;
    now.ctimeNs = stamp.ctimeNs;
    CacheRecord r;
    const qint64 place = lookUp(now, &r);
    if (place >= 0) {
        if (r.seenDay != mToday)
            mChanged = true;
        mFacts->place(number).store((quint32(place) + 1) |
                                        (r.flags & CacheRecord::HasKey ? Facts::kHasKey : 0u) |
                                        (r.flags & CacheRecord::HasMd5 ? Facts::kHasMd5 : 0u),
                                    std::memory_order_relaxed);
        mFacts->makeKnown(number) = r.token;
        now.key = r.key;
        now.token = r.token;
        std::memcpy(now.md5, r.md5, sizeof r.md5);
        now.flags = r.flags & (CacheRecord::HasKey | CacheRecord::HasMd5);
    } else {
        // A new file, or a record to replace or drop.
        mChanged = true;
    }
    mJournal.begin(now);
    return number;
}

bool ScanCache::cachedRecord(quint32 fact, CacheRecord* record) const
{
    const quint32 place =
        fact ? mFacts->place(fact).load(std::memory_order_relaxed) & Facts::kPlace : 0;
    return place && mReader.at(place - 1, record);
}

bool ScanCache::known(const FileRef& file, CacheRecord* record) const
{
    const quint32 place = file.fact ? mFacts->place(file.fact).load(std::memory_order_relaxed) : 0;
    if (!(place & Facts::kPlace))
        return false;
    *record = CacheRecord();
    record->token = mFacts->known(file.fact);
    record->flags = (place & Facts::kHasKey ? quint32(CacheRecord::HasKey) : 0u) |
                    (place & Facts::kHasMd5 ? quint32(CacheRecord::HasMd5) : 0u);
    return true;
}

bool ScanCache::knownDigest(const FileRef& file, QByteArray* md5) const
{
    CacheRecord r;
    if (!cachedRecord(file.fact, &r) || !(r.flags & CacheRecord::HasMd5))
        return false;
    *md5 = QByteArray(reinterpret_cast<const char*>(r.md5), sizeof r.md5);
    return true;
}

quint64 ScanCache::tokenOf(const FileRef& file) const
{
    // Another file's token is learnt only as it joins a class, and then never asked for.
    return isKnown(file.fact) ? mFacts->known(file.fact) : 0;
}

bool ScanCache::isKnown(quint32 fact) const
{
    return fact && (mFacts->place(fact).load(std::memory_order_relaxed) & Facts::kPlace);
}

bool ScanCache::knownKey(const FileRef& file, quint64* key) const
{
    CacheRecord r;
    if (!cachedRecord(file.fact, &r) || !(r.flags & CacheRecord::HasKey))
        return false;
    *key = r.key;
    return true;
}

void ScanCache::learnKey(const FileRef& file, quint64 key)
{
    if (!file.fact)
        return;
    std::atomic<quint32>& place = mFacts->place(file.fact);
    const quint32 now = place.load(std::memory_order_relaxed);
    if (isKnown(file.fact) && (now & Facts::kHasKey)) {
        // Read bytes that agree with the record leave it as it is; else the record is not to be
        // believed. A key learnt before in this scan is not kept to compare: the journal tells.
        quint64 was = 0;
        if (!(now & Facts::kKeyLearnt) && knownKey(file, &was) && was == key)
            return;
        mFacts->known(file.fact) = 0;
        place.fetch_and(~Facts::kHasMd5, std::memory_order_relaxed);
    }
    mChanged = true;
    place.fetch_or(Facts::kHasKey | Facts::kKeyLearnt, std::memory_order_relaxed);
    mJournal.note(file.fact, CacheJournal::Key, &key, sizeof key);
}

void ScanCache::learnEqual(const FileRef& first, const FileRef& file, quint64 token)
{
    for (const FileRef& one : {first, file}) {
        if (!one.fact)
            continue;
        if (isKnown(one.fact)) {
            if (mFacts->known(one.fact) == token)
                continue;
            mFacts->known(one.fact) = token;
        }
        mChanged = true;
        mJournal.note(one.fact, CacheJournal::Token, &token, sizeof token);
    }
}

void ScanCache::learnDigest(const FileRef& first, const QByteArray& md5)
{
    if (!first.fact || md5.size() != int(sizeof CacheRecord::md5))
        return;
    std::atomic<quint32>& place = mFacts->place(first.fact);
    const quint32 now = place.load(std::memory_order_relaxed);
    // Only the record's own MD5 can be looked at again; one learnt since is noted anew.
    CacheRecord r;
    if ((now & Facts::kHasMd5) && !(now & Facts::kMd5Learnt) && cachedRecord(first.fact, &r) &&
        std::memcmp(r.md5, md5.constData(), sizeof r.md5) == 0)
        return;
    mChanged = true;
    place.fetch_or(Facts::kHasMd5 | Facts::kMd5Learnt, std::memory_order_relaxed);
    mJournal.note(first.fact, CacheJournal::Md5, md5.constData(), sizeof r.md5);
}

} // namespace tarvik
