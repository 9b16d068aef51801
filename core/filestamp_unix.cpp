#include "core/filestamp.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tarvik {

namespace {

qint64 modificationNs(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
}

// The stamp from the entry at the path and, for a link, what it resolves to.
FileStamp stampFrom(const QByteArray& native, const struct stat& entry)
{
    FileStamp stamp;
    // Only a link needs a second look, at what it points to.
    struct stat target = entry;
    if (S_ISLNK(entry.st_mode) && ::stat(native.constData(), &target) != 0)
        return stamp;
    if (!S_ISREG(target.st_mode))
        return stamp;
    stamp.valid = true;
    stamp.entryDevice = quint64(entry.st_dev);
    stamp.entryInode = quint64(entry.st_ino);
    stamp.targetDevice = quint64(target.st_dev);
    stamp.targetInode = quint64(target.st_ino);
    stamp.size = qint64(target.st_size);
    stamp.modifiedNs = modificationNs(target);
    return stamp;
}

} // namespace

FileStamp FileStamp::of(const QString& path)
{
    if (path.isEmpty())
        return FileStamp();
    aboutToRead(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat entry;
    if (::lstat(native.constData(), &entry) != 0)
        return FileStamp();
    return stampFrom(native, entry);
}

FileFacts FileFacts::of(const QString& path)
{
    FileFacts facts;
    if (path.isEmpty())
        return facts;
    FileStamp::aboutToRead(path);
    const QByteArray native = QFile::encodeName(path);
#ifdef STATX_BTIME
    // One call gives the stamp's fields and the birth time, where the file system keeps one.
    struct statx x;
    if (::statx(AT_FDCWD, native.constData(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &x) != 0)
        return facts;
    struct stat entry = {};
    entry.st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    entry.st_ino = ino_t(x.stx_ino);
    entry.st_mode = mode_t(x.stx_mode);
    entry.st_size = off_t(x.stx_size);
    entry.st_mtim.tv_sec = time_t(x.stx_mtime.tv_sec);
    entry.st_mtim.tv_nsec = long(x.stx_mtime.tv_nsec);
    facts.stamp = stampFrom(native, entry);
    if (!facts.stamp.valid)
        return facts;
    // A link's own times are not the file's.
    struct statx created = x;
    if (S_ISLNK(x.stx_mode) &&
        ::statx(AT_FDCWD, native.constData(), 0, STATX_CTIME | STATX_BTIME, &created) != 0)
        return facts;
    const struct statx_timestamp& time =
        (created.stx_mask & STATX_BTIME) ? created.stx_btime : created.stx_ctime;
    facts.createdMs = qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
#else
    struct stat entry;
    if (::lstat(native.constData(), &entry) != 0)
        return facts;
    facts.stamp = stampFrom(native, entry);
    struct stat target;
    if (facts.stamp.valid && ::stat(native.constData(), &target) == 0)
        facts.createdMs = qint64(target.st_ctim.tv_sec) * 1000 + target.st_ctim.tv_nsec / 1000000;
#endif
    return facts;
}

} // namespace tarvik
