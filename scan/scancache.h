#pragma once

// One scan's use of the digest cache. Before the walk it checks what earlier scans learnt and
// keeps only a small index of it; as the walk hands files over, it pairs each with its record
// where the file's stamp (device, inode, size, modification and status-change times in ns) is
// exactly what was recorded; the resolvers take keys and tokens from those records instead of
// reading, and note what they learn in a journal on disk; after a complete scan, save() merges
// that in under a lock, streaming the old file into a new one that replaces it.
// A cache that cannot be read or written only costs speed, and one warning.

#include "scan/cachejournal.h"
#include "scan/digestcachefile.h"
#include "scan/pathstore.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tarvik {

// A file's identity and times as a walk sees them.
struct CacheStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
};

// The stamp of a file by path (links followed); false when it cannot be had.
bool stampOf(const char* path, CacheStamp* stamp);

class ScanCache
{
public:
    // Entries of files no scan has met for this long are dropped.
    static constexpr int kKeepDays = 60;
    // At most this many entries (80 bytes each) are kept, those met last.
    static constexpr size_t kMaxRecords = 2000000;
    static constexpr const char* kFileName = "digests.bin";

    // folder: where the cache lives; nothing is read or written before open() and save().
    explicit ScanCache(const QString& folder);
    ~ScanCache();
    ScanCache(const ScanCache&) = delete;
    ScanCache& operator=(const ScanCache&) = delete;

    // Reads the cache; a missing one is no problem, any other failure is the warning.
    void open();
    // Merges what this scan learnt into the cache file; false with the warning set if it
    // could not (another scan holding the lock, a folder that cannot be written).
    bool save();
    // At most one line: why the cache could not be used or kept. Empty when all went well.
    QString warning() const { return mWarning; }

    // From here, for the engine.

    // Feeding thread: a file about to be looked at, and a path on its file system; returns its
    // number for FileRef::fact, 0 where the file system keeps no stamp the cache could trust.
    quint32 track(const CacheStamp& stamp, const char* pathOnDevice);
    // Any thread holding the file: its record's token and flags if the file is unchanged since,
    // else false. Key and MD5 are left out: knownKey() and knownDigest() fetch them.
    bool known(const FileRef& file, CacheRecord* record) const;
    // The key of a file known unchanged; false when there is none.
    bool knownKey(const FileRef& file, quint64* key) const;
    // The MD5 of a file known unchanged; false when there is none.
    bool knownDigest(const FileRef& file, QByteArray* md5) const;
    // The worker holding the file's size: the token it shares with the files it was found
    // equal to, 0 for none.
    quint64 tokenOf(const FileRef& file) const;
    // The worker holding the file's size: what it read.
    void learnKey(const FileRef& file, quint64 key);
    // The worker holding the size: file was compared equal to first, which holds token now.
    void learnEqual(const FileRef& first, const FileRef& file, quint64 token);
    // A group's MD5, from its first file.
    void learnDigest(const FileRef& first, const QByteArray& md5);
    static quint64 newToken();

    // For tests only: files whose status changed this close before the scan began are not
    // recorded, as a change within the same tick of the file system's clock would not show.
    static void setRacyMarginMs(qint64 ms);

private:
    class Facts;

    bool keepsStamps(quint64 device, const char* path);
    // The place of the record with this stamp in the cache file, or -1.
    qint64 lookUp(const CacheRecord& stamp, CacheRecord* record) const;
    bool cachedRecord(quint32 fact, CacheRecord* record) const;
    // The file was found unchanged since its record.
    bool isKnown(quint32 fact) const;
    // save() without its guard.
    bool saveNow();
    static qint64 racyMarginMs();
    // What only the running scan needs.
    void forgetScan();

    QString mFolder;
    QString mWarning;
    qint64 mStartedMs = 0;
    quint32 mToday = 0;
    // The cache file as it was checked, kept open: a scan that saves meanwhile replaces it
    // by a rename, so this one goes on reading what it checked.
    DigestCacheFile::Reader mReader;
    // The cache file as it was read, to tell whether another scan has written it since.
    CacheStamp mRead;
    bool mReadOk = false;
    // Something learnt differs from what the cache holds, or a record's day is not today's.
    std::atomic<bool> mChanged{false};
    std::unordered_map<quint64, bool> mDevices;
    // Open addressing by a hash of the whole stamp: 1 + a record's place above a few bits of
    // that hash, 0 for none.
    std::vector<quint32> mIndex;
    std::unique_ptr<Facts> mFacts;
    CacheJournal mJournal;
    bool mJournalOpen = false;
};

} // namespace tarvik
