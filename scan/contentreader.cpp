#include "scan/contentreader.h"

#include "scan/scancounters.h"

#include <QCryptographicHash>
#include <QFile>
#include <QThread>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvik {

ScanCounters& scanCounters()
{
    static ScanCounters counters;
    return counters;
}

namespace {

std::atomic<ContentReader::OpenHook> gOpenHook{nullptr};

#ifdef Q_OS_UNIX
// A read-only regular file. Opening never blocks, even if a name now stands for a FIFO; the flag
// means nothing to regular files, so it stays.
class InputFile
{
public:
    explicit InputFile(const QString& path)
    {
        mFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (mFd < 0)
            return;
        struct stat st;
        if (::fstat(mFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(mFd);
            mFd = -1;
            return;
        }
    }
    ~InputFile()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return mFd >= 0; }

    void expectSequential(qint64 size)
    {
#ifdef POSIX_FADV_SEQUENTIAL
        if (size > ContentReader::kBlockSize)
            ::posix_fadvise(mFd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
        Q_UNUSED(size);
#endif
    }

    // Reads up to count bytes, fewer only at the end of the file; -1 on failure.
    qint64 read(char* data, qint64 count)
    {
        const qint64 done = readAt(data, count, mOffset);
        if (done > 0)
            mOffset += done;
        return done;
    }

    qint64 readAt(char* data, qint64 count, qint64 offset)
    {
        qint64 done = 0;
        while (done < count) {
            const ssize_t got =
                ::pread(mFd, data + done, size_t(count - done), off_t(offset + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            if (got == 0)
                break;
            done += got;
        }
        scanCounters().bytesRead.fetch_add(done, std::memory_order_relaxed);
        return done;
    }

private:
    int mFd = -1;
    qint64 mOffset = 0;
};
#else
class InputFile
{
public:
    explicit InputFile(const QString& path) : mFile(path)
    {
        mOpen = mFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && !mFile.isSequential();
    }
    bool isOpen() const { return mOpen; }
    void expectSequential(qint64) {}
    qint64 read(char* data, qint64 count)
    {
        qint64 done = 0;
        while (done < count) {
            const qint64 got = mFile.read(data + done, count - done);
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            done += got;
        }
        scanCounters().bytesRead.fetch_add(done, std::memory_order_relaxed);
        return done;
    }
    qint64 readAt(char* data, qint64 count, qint64 offset)
    {
        if (!mFile.seek(offset))
            return -1;
        return read(data, count);
    }

private:
    QFile mFile;
    bool mOpen = false;
};
#endif

quint64 mix(quint64 seed, const char* data, qint64 size)
{
    const quint64 h = std::hash<std::string_view>()(std::string_view(data, size_t(size)));
    return (seed ^ h) * 0x9e3779b97f4a7c15ull + (h >> 29);
}

// True when the file ends where it should: one more byte would mean it grew.
bool atEnd(InputFile& file)
{
    char extra;
    return file.read(&extra, 1) == 0;
}

} // namespace

ContentReader::ContentReader(const QThread* owner)
    : mOwner(owner), mFirstBlock(int(kBlockSize), Qt::Uninitialized),
      mSecondBlock(int(kBlockSize), Qt::Uninitialized)
{
}

void ContentReader::setOpenHook(OpenHook hook)
{
    gOpenHook = hook;
}

void ContentReader::aboutToOpen(const QString& path)
{
    if (const OpenHook hook = gOpenHook.load(std::memory_order_relaxed))
        hook(path);
}

bool ContentReader::stopRequested() const
{
    return mOwner && mOwner->isInterruptionRequested();
}

ContentReader::Result ContentReader::hash(const QString& path, qint64 size, quint64* hash,
                                          bool hold)
{
    if (hold)
        mHeldPath.clear();
    if (stopRequested())
        return Result::Stopped;
    aboutToOpen(path);
    InputFile file(path);
    if (!file.isOpen())
        return Result::Failed;
    file.expectSequential(size);
    char* block = hold ? mSecondBlock.data() : mFirstBlock.data();
    quint64 h = quint64(size);
    qint64 left = size;
    while (left > 0) {
        const qint64 want = qMin(left, kBlockSize);
        if (file.read(block, want) != want)
            return Result::Failed;
        h = mix(h, block, want);
        left -= want;
        if (left > 0 && stopRequested())
            return Result::Stopped;
    }
    if (!atEnd(file))
        return Result::Failed;
    *hash = h;
    if (hold && size <= kBlockSize)
        mHeldPath = path;
    return Result::Ok;
}

ContentReader::Result ContentReader::fingerprint(const QString& path, qint64 size, quint64* key)
{
    if (stopRequested())
        return Result::Stopped;
    aboutToOpen(path);
    InputFile file(path);
    if (!file.isOpen())
        return Result::Failed;
    const qint64 head = qMin(size, kEdgeSize);
    const qint64 tailStart = qMax(head, size - kEdgeSize);
    const qint64 tail = size - tailStart;
    char* block = mFirstBlock.data();
    if (file.readAt(block, head, 0) != head ||
        (tail > 0 && file.readAt(block + head, tail, tailStart) != tail))
        return Result::Failed;
    *key = mix(quint64(size), block, head + tail);
    return Result::Ok;
}

ContentReader::Match ContentReader::compare(const QString& first, const QString& second,
                                            qint64 size, QByteArray* firstMd5, quint64* firstHash,
                                            quint64* secondHash)
{
    if (stopRequested())
        return Match::Stopped;
    const bool held = !mHeldPath.isEmpty() && mHeldPath == second && size <= kBlockSize;
    aboutToOpen(first);
    InputFile a(first);
    if (!a.isOpen())
        return Match::FirstFailed;
    std::optional<InputFile> b;
    if (!held) {
        mHeldPath.clear();
        aboutToOpen(second);
        b.emplace(second);
        if (!b->isOpen())
            return Match::SecondFailed;
        b->expectSequential(size);
    }
    a.expectSequential(size);
    QCryptographicHash hash(QCryptographicHash::Md5);
    char* x = mFirstBlock.data();
    char* y = mSecondBlock.data();
    qint64 left = size;
    while (left > 0) {
        const qint64 want = qMin(left, kBlockSize);
        if (a.read(x, want) != want)
            return Match::FirstFailed;
        if (b && b->read(y, want) != want)
            return Match::SecondFailed;
        if (std::memcmp(x, y, size_t(want)) != 0) {
            if (want == size && firstHash && secondHash) {
                *firstHash = mix(quint64(size), x, size);
                *secondHash = mix(quint64(size), y, size);
            }
            return Match::Differ;
        }
        if (firstMd5)
            hash.addData(x, int(want));
        left -= want;
        if (left > 0 && stopRequested())
            return Match::Stopped;
    }
    if (!atEnd(a))
        return Match::FirstFailed;
    if (b && !atEnd(*b))
        return Match::SecondFailed;
    if (firstMd5)
        *firstMd5 = hash.result();
    return Match::Equal;
}

} // namespace tarvik
