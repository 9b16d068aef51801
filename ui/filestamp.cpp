#include "ui/filestamp.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QFile>
#include <sys/stat.h>
#else
#include <QDateTime>
#endif

namespace tarvik {

#ifdef Q_OS_UNIX

static qint64 modificationNs(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + qint64(st.st_mtim.tv_nsec);
}

FileStamp FileStamp::of(const QString& path)
{
    FileStamp stamp;
    if (path.isEmpty())
        return stamp;
    const QByteArray native = QFile::encodeName(path);
    struct stat entry;
    if (::lstat(native.constData(), &entry) != 0)
        return stamp;
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

#else

FileStamp FileStamp::of(const QString& path)
{
    FileStamp stamp;
    if (path.isEmpty())
        return stamp;
    const QFileInfo info(path);
    if (!info.isFile())
        return stamp;
    stamp.valid = true;
    stamp.canonicalPath = info.canonicalFilePath();
    stamp.size = info.size();
    stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return stamp;
}

#endif

bool FileStamp::sameEntry(const FileStamp& other) const
{
    return valid && other.valid && entryDevice == other.entryDevice &&
           entryInode == other.entryInode && canonicalPath == other.canonicalPath;
}

bool FileStamp::operator==(const FileStamp& other) const
{
    return sameEntry(other) && targetDevice == other.targetDevice &&
           targetInode == other.targetInode && size == other.size && modifiedNs == other.modifiedNs;
}

} // namespace tarvik
