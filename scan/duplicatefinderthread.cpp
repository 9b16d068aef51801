#include "scan/duplicatefinderthread.h"

#include "core/appdirs.h"
#include "scan/duplicateevent.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegExp>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tarvik {

namespace {

constexpr qint64 kBlockSize = 1024 * 1024;

enum class ReadResult { Ok, Unreadable, Stopped };

// Feeds the whole file to an MD5 block by block; a stop request is honoured between blocks.
ReadResult md5OfFile(const QString& path, const QThread* thread, QByteArray* digest)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return ReadResult::Unreadable;
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(kBlockSize, Qt::Uninitialized);
    for (;;) {
        if (thread && thread->isInterruptionRequested())
            return ReadResult::Stopped;
        const qint64 got = file.read(block.data(), kBlockSize);
        if (got < 0)
            return ReadResult::Unreadable;
        if (got == 0)
            break;
        hash.addData(block.constData(), static_cast<int>(got));
    }
    *digest = hash.result().toHex();
    return ReadResult::Ok;
}

} // namespace

QString fileDigest(const QString& path)
{
    QByteArray digest;
    if (md5OfFile(path, nullptr, &digest) != ReadResult::Ok)
        return QString();
    return QString::fromLatin1(digest);
}

DuplicateFinderThread::DuplicateFinderThread(QObject* parent) : QThread(parent) {}

DuplicateFinderThread::~DuplicateFinderThread()
{
    requestInterruption();
    wait();
}

void DuplicateFinderThread::run()
{
    for (const QString& folder : qAsConst(mFolders)) {
        if (isInterruptionRequested())
            return;
        debugLog(QStringLiteral("mFilter: ") + mFilter);
        QDirIterator::IteratorFlags flags = QDirIterator::Subdirectories;
        QStringList nameFilters;
        if (mFilter.isEmpty()) {
            debugLog(QStringLiteral("mFilter: NO"));
        } else {
            debugLog(QStringLiteral("mFilter: YES"));
            nameFilters = mFilter.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
            const QRegExp leadingBlanks(QStringLiteral("^\\s+"), Qt::CaseSensitive,
                                        QRegExp::RegExp);
            for (QString& part : nameFilters)
                part.replace(leadingBlanks, QString());
        }
        QDirIterator it(folder, nameFilters, QDir::Files, flags);
        while (it.hasNext()) {
            if (isInterruptionRequested())
                return;
            processFile(it.next());
        }
    }
}

bool DuplicateFinderThread::firstVisit(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    const FileId id{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino), QString()};
#else
    const FileId id{0, 0, QFileInfo(path).canonicalFilePath()};
    if (id.canonicalPath.isEmpty())
        return false;
#endif
    if (mVisited.contains(id))
        return false;
    mVisited.insert(id);
    return true;
}

void DuplicateFinderThread::processFile(const QString& path)
{
    if (!firstVisit(path))
        return;
    QByteArray hex;
    if (md5OfFile(path, this, &hex) != ReadResult::Ok)
        return;
    const QString digest = QString::fromLatin1(hex);
    const auto found = mDigests.constFind(digest);
    if (found == mDigests.constEnd()) {
        mDigests.insert(digest, DigestEntry{QUuid::createUuid(), path});
        return;
    }
    if (isInterruptionRequested())
        return;
    QCoreApplication::postEvent(parent(),
                                new DuplicateEvent(found->groupId, found->firstPath, path),
                                Qt::NormalEventPriority);
}

} // namespace tarvik
