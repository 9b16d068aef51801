#include "scan/inputfile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {

// Whole files read in order gain from a larger read-ahead window.
static constexpr qint64 kSequentialFrom = 1024 * 1024;

InputFile::InputFile(const QString& path)
    : InputFile(FileName{QFile::encodeName(path).constData(), -1, nullptr})
{
}

InputFile::InputFile(const FileName& name)
{
    // O_NONBLOCK means nothing to a regular file, but keeps a FIFO from hanging the open.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    mFd = name.folder >= 0 ? ::openat(name.folder, name.name, flags) : ::open(name.path, flags);
    if (mFd < 0)
        return;
    struct stat st;
    if (::fstat(mFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(mFd);
        mFd = -1;
        return;
    }
    mSize = qint64(st.st_size);
}

InputFile::~InputFile()
{
    if (mFd >= 0)
        ::close(mFd);
}

bool InputFile::isOpen() const
{
    return mFd >= 0;
}

void InputFile::expectSequential(qint64 size)
{
#ifdef POSIX_FADV_SEQUENTIAL
    if (size > kSequentialFrom)
        ::posix_fadvise(mFd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    Q_UNUSED(size);
#endif
}

void InputFile::willNeed(qint64 offset, qint64 length)
{
#ifdef POSIX_FADV_WILLNEED
    ::posix_fadvise(mFd, off_t(offset), off_t(length), POSIX_FADV_WILLNEED);
#else
    Q_UNUSED(offset);
    Q_UNUSED(length);
#endif
}

qint64 InputFile::readAt(char* data, qint64 count, qint64 offset)
{
    qint64 done = 0;
    while (done < count) {
        const ssize_t got = ::pread(mFd, data + done, size_t(count - done), off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

int openFolder(const char* path)
{
#ifdef O_PATH
    return ::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
    return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

void closeFolder(int folder)
{
    if (folder >= 0)
        ::close(folder);
}

qint64 InputFile::readSome(char* data, qint64 count, qint64 offset)
{
    for (;;) {
        const ssize_t got = ::pread(mFd, data, size_t(count), off_t(offset));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool regularFileId(const QString& path, FileId* id, qint64* size)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    id->device = quint64(st.st_dev);
    id->inode = quint64(st.st_ino);
    *size = qint64(st.st_size);
    return true;
}

QByteArray encodePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString decodePath(const char* path, qsizetype size)
{
    return QFile::decodeName(QByteArray::fromRawData(path, int(size)));
}

} // namespace tarvik
