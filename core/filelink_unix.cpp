#include "core/filelink.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace tarvik {

namespace {

std::function<void(const QString&)>& linkHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

bool sameFile(const FileStamp& a, const FileStamp& b)
{
    return a.targetDevice == b.targetDevice && a.targetInode == b.targetInode;
}

// The open file is the one stamped: the same file, size and time.
bool isStamped(int fd, const FileStamp& stamp)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
           quint64(st.st_dev) == stamp.targetDevice && quint64(st.st_ino) == stamp.targetInode &&
           qint64(st.st_size) == stamp.size &&
           qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec == stamp.modifiedNs;
}

class Fd
{
public:
    explicit Fd(const QString& path)
        : mFd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~Fd()
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return mFd; }

private:
    int mFd;
};

#ifdef __linux__
// Btrfs took at most 16 MiB a request for years; a multiple of every block size.
constexpr quint64 kShareChunk = 16 * 1024 * 1024;

// Why the kernel shared nothing, from its error number.
LinkOutcome shareError(int error, bool sameDevice)
{
    switch (error) {
    case EXDEV:
        return LinkOutcome::OtherFileSystem;
    case EOPNOTSUPP:
    case EINVAL:
    case ENOTTY:
        // A file system that lacks the request answers for a pair across two volumes too.
        return sameDevice ? LinkOutcome::CannotShare : LinkOutcome::OtherFileSystem;
    default:
        return LinkOutcome::Refused;
    }
}
#endif

} // namespace

void setHardLinkHookForTest(std::function<void(const QString&)> hook)
{
    linkHook() = std::move(hook);
}

LinkOutcome hardLinkOver(const QString& path, const FileStamp& stamp, const QString& keptPath,
                         const FileStamp& keptStamp)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.valid || now != stamp)
        return LinkOutcome::ChangedSince;
    if (now.entryInode != now.targetInode || now.entryDevice != now.targetDevice)
        return LinkOutcome::SymbolicLink;
    if (sameFile(now, keptStamp))
        return LinkOutcome::AlreadyOneFile;

    // Beside the marked file, so that the rename stays within its folder and file system.
    const QString folder = QFileInfo(path).path();
    const QByteArray kept = QFile::encodeName(keptPath);
    QByteArray temporary;
    for (int attempt = 0;; ++attempt) {
        temporary = QFile::encodeName(
            folder + QStringLiteral("/.tarvik-link-%1")
                         .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        // Following a link: the new name is to be the kept copy's file, not a link to it.
        if (::linkat(AT_FDCWD, kept.constData(), AT_FDCWD, temporary.constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            break;
        if (errno == EXDEV)
            return LinkOutcome::OtherFileSystem;
        if (errno != EEXIST || attempt == 100)
            return LinkOutcome::Refused;
    }
    const QString temporaryPath = QFile::decodeName(temporary);
    const auto giveUp = [&](LinkOutcome outcome) {
        ::unlink(temporary.constData());
        return outcome;
    };
    // The kept copy's name may have been given to another file since it was checked.
    const FileStamp linked = FileStamp::of(temporaryPath);
    if (!sameFile(linked, keptStamp) || linked.size != keptStamp.size ||
        linked.modifiedNs != keptStamp.modifiedNs)
        return giveUp(LinkOutcome::NoKeptCopy);
    if (linkHook())
        linkHook()(temporaryPath);
    if (FileStamp::of(path) != stamp)
        return giveUp(LinkOutcome::ChangedSince);
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return giveUp(LinkOutcome::Refused);
    return LinkOutcome::Done;
}

LinkOutcome shareStorage(const QString& path, const FileStamp& stamp, const QString& keptPath,
                         const FileStamp& keptStamp, const StopCheck& stop)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.valid || now != stamp)
        return LinkOutcome::ChangedSince;
    if (sameFile(now, keptStamp))
        return LinkOutcome::AlreadyOneFile;
    // A file that is there but cannot be opened was refused, not changed.
    const Fd kept(keptPath);
    if (kept.get() < 0)
        return errno == ENOENT ? LinkOutcome::NoKeptCopy : LinkOutcome::Refused;
    if (!isStamped(kept.get(), keptStamp))
        return LinkOutcome::NoKeptCopy;
    // Read-only is enough for the owner of the file, and cannot change a byte of it.
    const Fd marked(path);
    if (marked.get() < 0)
        return errno == ENOENT ? LinkOutcome::ChangedSince : LinkOutcome::Refused;
    if (!isStamped(marked.get(), stamp))
        return LinkOutcome::ChangedSince;
    if (keptStamp.size != stamp.size)
        return LinkOutcome::KeptCopyDiffers;
#ifdef __linux__
    const bool sameDevice = keptStamp.targetDevice == stamp.targetDevice;
    const quint64 size = quint64(qMax<qint64>(0, stamp.size));
    quint64 done = 0;
    while (done < size) {
        if (stop && stop())
            return done == 0 ? LinkOutcome::Cancelled : LinkOutcome::SharedInPart;
        // One request with one destination after it.
        alignas(file_dedupe_range) unsigned char
            buffer[sizeof(file_dedupe_range) + sizeof(file_dedupe_range_info)] = {};
        auto* range = reinterpret_cast<file_dedupe_range*>(buffer);
        file_dedupe_range_info& info = range->info[0];
        range->src_offset = done;
        range->src_length = qMin(kShareChunk, size - done);
        range->dest_count = 1;
        info.dest_fd = marked.get();
        info.dest_offset = done;
        LinkOutcome failure = LinkOutcome::Done;
        if (::ioctl(kept.get(), FIDEDUPERANGE, range) != 0)
            failure = shareError(errno, sameDevice);
        else if (info.status == FILE_DEDUPE_RANGE_DIFFERS)
            failure = LinkOutcome::KeptCopyDiffers;
        else if (info.status < 0)
            failure = shareError(-info.status, sameDevice);
        else if (info.bytes_deduped == 0)
            failure = LinkOutcome::CannotShare; // no progress: asking again would not help
        // Blocks shared so far stay shared: the bytes are the same either way.
        if (failure != LinkOutcome::Done)
            return done == 0 ? failure : LinkOutcome::SharedInPart;
        done += info.bytes_deduped;
    }
    return LinkOutcome::Done;
#else
    Q_UNUSED(stop)
    return LinkOutcome::CannotShare;
#endif
}

} // namespace tarvik
