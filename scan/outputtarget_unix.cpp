#include "scan/outputtarget.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif

namespace tarvik {

namespace {

constexpr int kMaxLinks = 40;
constexpr unsigned long kPollPipeMs = 50;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A link in /proc/PID/fd names an open file rather than a place (it may be "pipe:[1234]"); what
// is written through it belongs at that open file's end, as the shell's >> would have it.
bool isProcessFileLink(const QString& link)
{
#ifdef Q_OS_LINUX
    constexpr long kProcMagic = 0x9fa0;
    struct statfs fs;
    const QByteArray folder = QFile::encodeName(QFileInfo(link).absolutePath());
    return ::statfs(folder.constData(), &fs) == 0 && long(fs.f_type) == kProcMagic;
#else
    Q_UNUSED(link)
    return false;
#endif
}

// The file a chain of links ends at, or an empty text where the chain passes through a
// process's open file.
QString resolveLinks(const QString& path)
{
    QString current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return info.absoluteFilePath();
        if (isProcessFileLink(current))
            return QString();
        current = info.symLinkTarget();
    }
    return QString();
}

OutputTarget refused(const QString& path, const QString& problem)
{
    return {OutputTarget::Refused, path, problem};
}

} // namespace

OutputTarget outputTarget(const QString& path)
{
    if (path == QLatin1String("-"))
        return {OutputTarget::StandardOutput, path, QString()};
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    // Nothing there yet, or nothing that may be looked at: creating it says which.
    if (::lstat(name.constData(), &st) != 0)
        return {OutputTarget::File, path, QString()};
    QString file = path;
    if (S_ISLNK(st.st_mode)) {
        if (::stat(name.constData(), &st) != 0) {
            if (errno != ENOENT)
                return refused(path, errnoText(errno));
            return refused(path,
                           QCoreApplication::translate("tarvik::OutputTarget",
                                                       "It is a link to %1, which does not exist.")
                               .arg(QFileInfo(path).symLinkTarget()));
        }
        file = resolveLinks(path);
        struct stat resolved;
        // A chain that cannot be followed by name, or that changed meanwhile, is written
        // through as it stands rather than replaced.
        if (S_ISREG(st.st_mode) &&
            (file.isEmpty() || ::stat(QFile::encodeName(file).constData(), &resolved) != 0 ||
             resolved.st_dev != st.st_dev || resolved.st_ino != st.st_ino))
            return {OutputTarget::Stream, path, QString()};
    }
    if (S_ISREG(st.st_mode))
        return {OutputTarget::File, file, QString()};
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        return {OutputTarget::Stream, path, QString()};
    if (S_ISDIR(st.st_mode))
        return refused(path,
                       QCoreApplication::translate("tarvik::OutputTarget", "It is a folder."));
    if (S_ISBLK(st.st_mode))
        return refused(path,
                       QCoreApplication::translate(
                           "tarvik::OutputTarget",
                           "It is a disk device: writing there would destroy what it holds."));
    return refused(
        path, QCoreApplication::translate("tarvik::OutputTarget",
                                          "It is neither a file, nor a device, nor a named pipe."));
}

bool openStream(const OutputTarget& target, QFile* file, QString* error, const StopCheck& stop)
{
    const QByteArray name = QFile::encodeName(target.path);
    int fd = -1;
    for (;;) {
        // Not blocking: a pipe nobody reads yet would hold the open beyond any stop.
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0)
            break;
        struct stat st;
        const int openError = errno;
        const bool waitForReader =
            openError == ENXIO && ::stat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode);
        if (openError != EINTR && !waitForReader) {
            *error = errnoText(openError);
            return false;
        }
        if (stop && stop()) {
            error->clear();
            return false;
        }
        QThread::msleep(kPollPipeMs);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        *error = errnoText(errno);
        ::close(fd);
        return false;
    }
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        *error = file->errorString();
        ::close(fd);
        return false;
    }
    return true;
}

bool withoutPipeSignal(const std::function<bool()>& write)
{
    sigset_t pipe, saved, pending;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &saved);
    const bool written = write();
    sigpending(&pending);
    if (!pendingBefore && sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{0, 0};
        sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return written;
}

} // namespace tarvik
