#pragma once

#include "scan/inputfile.h"
#include "scan/scantypes.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>

namespace tarvik {

class Md5;

// Reads file content for the scan engine: quick content hashes to find candidates, cheap
// fingerprints, whole small files and byte comparisons.
// A file counts as readable only when it holds exactly the size the walk saw, so a file that
// shrinks, grows or stops being a regular file during the scan is never matched. A stop is
// honoured between blocks. One reader per worker thread.
class ContentReader
{
public:
    enum class Result { Ok, Failed, Stopped };
    enum class Match { Equal, Differ, FirstFailed, SecondFailed, Stopped };

    static constexpr qint64 kBlockSize = 1024 * 1024;
    static constexpr qint64 kEdgeSize = 4096;

    // Both must outlive the reader; progress may be null.
    ContentReader(const StopCheck& stop, ScanProgress* progress);

    // Reads a file of at most kBlockSize bytes whole into buffer 0 or 1, with one read when it
    // can: Ok only when the file holds exactly size bytes.
    Result readWhole(const FileName& file, qint64 size, int buffer);
    const char* buffer(int which) const
    {
        return which ? mSecondBlock.constData() : mFirstBlock.constData();
    }
    // The hash() of bytes already in memory.
    static quint64 hashBytes(const char* data, qint64 size);

    // A fast 64-bit hash of the whole file, only for finding candidates: equal files have
    // equal hashes. With hold, a file that fits one block is kept in memory so that a following
    // compare() against it needs no second read.
    Result hash(const FileName& file, qint64 size, quint64* hash, bool hold = false);

    // A short key made from the first and last few KiB; equal files have equal keys.
    Result fingerprint(const FileName& file, qint64 size, quint64* key);

    // Byte-for-byte comparison of two files of the given size. If they differ and fit one
    // block, the hashes receive what hash() would give for each. firstDigest, if given, is fed
    // the first file's bytes as they are compared.
    Match compare(const FileName& first, const FileName& second, qint64 size,
                  quint64* firstHash = nullptr, quint64* secondHash = nullptr,
                  Md5* firstDigest = nullptr);

    // For tests only: called with each path just before a reader of the scan opens it, from
    // whichever thread reads, so that a test can change the file under the scan's feet.
    using OpenHook = std::function<void(const QString& path)>;
    // Installs a hook for its lifetime (the one it replaces comes back after it). Its end waits
    // for calls under way, so the hook may capture what lives no longer than the guard.
    class ScopedOpenHook
    {
    public:
        explicit ScopedOpenHook(OpenHook hook);
        ~ScopedOpenHook();
        ScopedOpenHook(const ScopedOpenHook&) = delete;
        ScopedOpenHook& operator=(const ScopedOpenHook&) = delete;

    private:
        OpenHook mPrevious;
    };
    // Calls the hook, if one is installed, for a file about to be opened.
    static void aboutToOpen(const FileName& file);

private:
    bool stopRequested() const { return mStop && mStop(); }
    void countRead(qint64 bytes);

    const StopCheck& mStop;
    ScanProgress* mProgress;
    QByteArray mFirstBlock;
    QByteArray mSecondBlock;
    std::string mHeldPath;
};

} // namespace tarvik
