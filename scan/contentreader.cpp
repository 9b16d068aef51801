#include "scan/contentreader.h"

#include "scan/inputfile.h"
#include "scan/md5.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string_view>
#include <utility>

namespace tarvik {

namespace {

// Readers hold the lock shared while they call the hook, so that a guard that ends waits for
// them.
std::shared_mutex gHookLock;
ContentReader::OpenHook gHook;
std::atomic<bool> gHooked{false};

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

ContentReader::ContentReader(const StopCheck& stop, ScanProgress* progress)
    : mStop(stop), mProgress(progress), mFirstBlock(int(kBlockSize + 1), Qt::Uninitialized),
      mSecondBlock(int(kBlockSize + 1), Qt::Uninitialized)
{
}

ContentReader::ScopedOpenHook::ScopedOpenHook(OpenHook hook)
{
    std::unique_lock<std::shared_mutex> lock(gHookLock);
    mPrevious = std::exchange(gHook, std::move(hook));
    gHooked = bool(gHook);
}

ContentReader::ScopedOpenHook::~ScopedOpenHook()
{
    std::unique_lock<std::shared_mutex> lock(gHookLock);
    gHook = std::move(mPrevious);
    gHooked = bool(gHook);
}

void ContentReader::aboutToOpen(const FileName& file)
{
    if (!gHooked.load(std::memory_order_acquire))
        return;
    std::shared_lock<std::shared_mutex> lock(gHookLock);
    if (gHook)
        gHook(decodePath(file.path, qsizetype(std::strlen(file.path))));
}

quint64 ContentReader::hashBytes(const char* data, qint64 size)
{
    return mix(quint64(size), data, size);
}

ContentReader::Result ContentReader::readWhole(const FileName& path, qint64 size, int buffer)
{
    if (stopRequested())
        return Result::Stopped;
    aboutToOpen(path);
    InputFile file(path);
    if (!file.isOpen())
        return Result::Failed;
    if (buffer)
        mHeldPath.clear();
    if (file.size() != size)
        return Result::Failed;
    // Asking one byte more than expected tells a file that grew since it was opened; a file
    // that holds the size it was opened with has ended when one read gives that much.
    char* block = buffer ? mSecondBlock.data() : mFirstBlock.data();
    qint64 got = file.readSome(block, size + 1, 0);
    if (got >= 0 && got < size) {
        const qint64 more = file.readAt(block + got, size + 1 - got, got);
        got = more < 0 ? -1 : got + more;
    }
    countRead(got);
    return got == size ? Result::Ok : Result::Failed;
}

void ContentReader::countRead(qint64 bytes)
{
    if (mProgress && bytes > 0)
        ScanProgress::add(mProgress->bytesRead, bytes);
}

ContentReader::Result ContentReader::hash(const FileName& path, qint64 size, quint64* hash,
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
        const qint64 got = file.read(block, want);
        countRead(got);
        if (got != want)
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
        mHeldPath = path.path;
    return Result::Ok;
}

ContentReader::Result ContentReader::fingerprint(const FileName& path, qint64 size, quint64* key)
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
    const qint64 gotHead = file.readAt(block, head, 0);
    const qint64 gotTail = tail > 0 ? file.readAt(block + head, tail, tailStart) : 0;
    countRead(gotHead);
    countRead(gotTail);
    if (gotHead != head || gotTail != tail)
        return Result::Failed;
    *key = mix(quint64(size), block, head + tail);
    return Result::Ok;
}

ContentReader::Match ContentReader::compare(const FileName& first, const FileName& second,
                                            qint64 size, quint64* firstHash, quint64* secondHash,
                                            Md5* firstDigest)
{
    if (stopRequested())
        return Match::Stopped;
    const bool held = !mHeldPath.empty() && mHeldPath == second.path && size <= kBlockSize;
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
    char* x = mFirstBlock.data();
    char* y = mSecondBlock.data();
    qint64 left = size;
    while (left > 0) {
        const qint64 want = qMin(left, kBlockSize);
        const qint64 gotFirst = a.read(x, want);
        countRead(gotFirst);
        if (gotFirst != want)
            return Match::FirstFailed;
        const qint64 gotSecond = b ? b->read(y, want) : want;
        if (b)
            countRead(gotSecond);
        if (gotSecond != want)
            return Match::SecondFailed;
        if (std::memcmp(x, y, size_t(want)) != 0) {
            if (want == size && firstHash && secondHash) {
                *firstHash = mix(quint64(size), x, size);
                *secondHash = mix(quint64(size), y, size);
            }
            return Match::Differ;
        }
        if (firstDigest)
            firstDigest->add(x, size_t(want));
        left -= want;
        if (left > 0 && stopRequested())
            return Match::Stopped;
    }
    if (!atEnd(a))
        return Match::FirstFailed;
    if (b && !atEnd(*b))
        return Match::SecondFailed;
    return Match::Equal;
}

} // namespace tarvik
