// The end of a scan's use of the digest cache: what it learnt, merged with the cache file as
// both stream from disk into a new file that replaces it.

#include "scan/scancache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <unordered_map>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tarvik {

namespace {

// How long a save waits for another scan's.
constexpr int kLockWaitMs = 2000;

// What this scan learnt (ours: in order, a file's latest stamp last of its kind; flags 0 where
// its record is to go) over what the cache held (old, in order), handed to keep in order: old
// records of files not met stay if seen on oldestDay or later.
void merge(const CacheJournal& journal, const std::function<void(CacheRecord&)>& settle,
           const DigestCacheFile::Reader& old, quint32 oldestDay,
           const std::function<void(const CacheRecord&)>& keep)
{
    CacheJournal::Cursor n(&journal);
    DigestCacheFile::Reader::Cursor o(&old);
    while (!n.atEnd() || !o.atEnd()) {
        // Old records of files this scan did not meet stay while they are young enough.
        if (n.atEnd() || (!o.atEnd() && CacheRecord::before(o.record(), n.record()))) {
            if (o.record().seenDay >= oldestDay && o.record().flags != 0)
                keep(o.record());
            o.next();
            continue;
        }
        // A file met twice: its latest stamp.
        CacheRecord last = n.record();
        for (n.next(); !n.atEnd() && !CacheRecord::before(last, n.record()); n.next())
            last = n.record();
        settle(last);
        if (last.flags != 0)
            keep(last);
        while (!o.atEnd() && !CacheRecord::before(last, o.record()))
            o.next();
    }
}

} // namespace

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
    } catch (const std::runtime_error&) {
        mWarning = QCoreApplication::translate("tarvik::DigestCache",
                                               "the digest cache could not be written (%1)")
                       .arg(QCoreApplication::translate("tarvik::DigestCache",
                                                        "its journal could not be kept"));
        return false;
    }
}

bool ScanCache::saveNow()
{
    // A rescan of unchanged files, on the day of the last: nothing to keep. A second save has
    // nothing more to give.
    if ((mReadOk && !mChanged) || !mFacts)
        return true;
    // The index and the tokens are the scan's; the merge needs their room.
    forgetScan();
    if (!mJournalOpen || mJournal.failed())
        throw std::runtime_error("journal");
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
        mReadOk = mReader.open(path, &ignored) == DigestCacheFile::Load::Ok;
    }
#ifdef __GLIBC__
    // What the engine freed, handed back before the records of this scan take their room.
    malloc_trim(0);
#endif
    // Files confirmed equal have one content, so one MD5.
    std::unordered_map<quint64, std::array<quint8, 16>> digests;
    const bool sorted = mJournal.sort([this, &digests](CacheRecord& r) {
        r.seenDay = mToday;
        if ((r.flags & CacheRecord::HasMd5) && r.token)
            std::memcpy(digests[r.token].data(), r.md5, sizeof r.md5);
    });
    if (!sorted)
        throw std::runtime_error("journal");
    const qint64 racyFromNs = (mStartedMs - racyMarginMs()) * 1000000;
    const auto settle = [&digests, racyFromNs](CacheRecord& r) {
        if (!(r.flags & CacheRecord::HasMd5) && r.token) {
            const auto md5 = digests.find(r.token);
            if (md5 != digests.end()) {
                std::memcpy(r.md5, md5->second.data(), sizeof r.md5);
                r.flags |= CacheRecord::HasMd5;
            }
        }
        // A change now would leave the same stamp: nothing of such a file is kept.
        if (r.ctimeNs >= racyFromNs)
            r.flags = 0;
        if (r.flags == 0)
            r.token = 0;
    };
    const quint32 oldest = mToday > quint32(kKeepDays) ? mToday - quint32(kKeepDays) : 0;
    // Counted first: over the bound, the files met longest ago go, the rest in order.
    quint64 total = 0;
    std::map<quint32, quint64> byDay;
    // Unchanged when every record kept is the old one at its place, and all of them are kept.
    bool same = mReadOk;
    DigestCacheFile::Reader::Cursor oldAgain(&mReader);
    merge(mJournal, settle, mReader, oldest, [&](const CacheRecord& r) {
        ++total;
        ++byDay[r.seenDay];
        if (same) {
            same =
                !oldAgain.atEnd() && std::memcmp(&r, &oldAgain.record(), sizeof(CacheRecord)) == 0;
            if (same)
                oldAgain.next();
        }
    });
    // A rescan of unchanged files on the day of the last has nothing new to keep.
    if (same && oldAgain.atEnd())
        return true;
    quint32 keepFrom = 0;
    quint64 quota = total;
    if (total > kMaxRecords) {
        quint64 newer = 0;
        for (auto day = byDay.rbegin(); day != byDay.rend(); ++day) {
            if (newer + day->second >= kMaxRecords) {
                keepFrom = day->first;
                quota = kMaxRecords - newer;
                break;
            }
            newer += day->second;
        }
    }
    DigestCacheFile::Writer writer(path);
    QString problem;
    bool written = writer.begin(&problem);
    if (written) {
        merge(mJournal, settle, mReader, oldest, [&](const CacheRecord& r) {
            if (r.seenDay > keepFrom || (r.seenDay == keepFrom && quota > 0)) {
                if (r.seenDay == keepFrom)
                    --quota;
                writer.add(r);
            }
        });
        written = writer.commit(&problem);
    }
    if (!written) {
        mWarning = QCoreApplication::translate("tarvik::DigestCache",
                                               "the digest cache could not be written (%1)")
                       .arg(problem);
        return false;
    }
    return true;
}

} // namespace tarvik
