#include "core/filestamp.h"

#include <QFile>
#include <sys/stat.h>

namespace tarvik {

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

} // namespace tarvik
