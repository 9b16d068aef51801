#include "scan/duplicatefinderthread.h"

#include "core/appdirs.h"
#include "scan/contentreader.h"
#include "scan/duplicateevent.h"
#include "scan/folderwalk.h"
#include "scan/scancache.h"
#include "scan/scanengine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <exception>
#include <new>
#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tarvik {

namespace {

// How soon a scan held back by a slow receiver notices a stop request.
constexpr int kStopLatencyMs = 20;
// How much nicer than the window the scan's threads run.
constexpr int kNiceAboveWindow = 5;

} // namespace

QString fileDigest(const QString& path, const StopCheck& stop)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(int(ContentReader::kBlockSize), Qt::Uninitialized);
    for (;;) {
        if (stop && stop())
            return QString();
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return QString();
        if (got == 0)
            break;
        hash.addData(block.constData(), int(got));
    }
    return QString::fromLatin1(hash.result().toHex());
}

DuplicateFinderThread::DuplicateFinderThread(QObject* parent)
    : QThread(parent), mTally(std::make_shared<DeliveryTally>())
{
}

DuplicateFinderThread::~DuplicateFinderThread()
{
    requestInterruption();
    wait();
}

void DuplicateFinderThread::run()
{
#ifdef Q_OS_LINUX
    // Below the window's thread, so that a scan using every core never keeps the window waiting
    // for one; the engine's workers, started from here, inherit it. Qt's thread priorities do
    // nothing under Linux's default scheduler.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), qMin(nice + kNiceAboveWindow, 19));
#else
    setPriority(QThread::LowPriority);
#endif
    // A scan that fails (memory running out on a huge tree, say) ends like any other, and
    // the page says why; the process goes on.
    std::unique_ptr<ScanCache> cache;
    try {
        if (mOptions.useCache) {
            cache = std::make_unique<ScanCache>(cacheDirectory());
            cache->open();
        }
        {
            ScanEngine engine(
                [this] { return isInterruptionRequested(); },
                [this](const QUuid& groupId, const QString& firstPath, const QString& path) {
                    return post(groupId, firstPath, path);
                },
                &mDigests, &mProgress);
            engine.setCache(cache.get());
            mEngine = &engine;
            walk();
            engine.finish();
        }
        // A stopped scan leaves the cache as it was.
        if (cache && !isInterruptionRequested())
            cache->save();
    } catch (const std::bad_alloc&) {
        mFailure = tr("out of memory");
    } catch (const std::exception& e) {
        mFailure = QString::fromLocal8Bit(e.what());
        if (mFailure.isEmpty())
            mFailure = tr("unknown error");
    }
    mEngine = nullptr;
    if (cache)
        mCacheWarning = cache->warning();
    if (!mCacheWarning.isEmpty())
        qWarning("%s", qPrintable(mCacheWarning));
}

void DuplicateFinderThread::walk()
{
    const WalkRules rules(mFilter, mOptions);
    const StopCheck stop = [this] { return isInterruptionRequested(); };
    for (const QString& folder : qAsConst(mFolders)) {
        if (isInterruptionRequested())
            return;
        debugLog(QStringLiteral("mFilter: ") + mFilter);
        debugLog(mFilter.isEmpty() ? QStringLiteral("mFilter: NO")
                                   : QStringLiteral("mFilter: YES"));
        if (!walkFolderInto(folder, rules, stop, *mEngine))
            return;
    }
}

void DuplicateFinderThread::processFile(const QString& path)
{
    mEngine->addFile(path);
}

// Lets the receiver catch up before flooding its queue; a stop ends the wait, and what a
// stopped scan found still goes out: an owner that discards it removes the posted events.
bool DuplicateFinderThread::post(const QUuid& groupId, const QString& firstPath,
                                 const QString& path)
{
    mTally->makeRoom(
        kMaxUndelivered, kResumeAt, [this] { return isInterruptionRequested(); }, kStopLatencyMs);
    QObject* receiver = parent();
    if (!receiver)
        return true;
    auto* event = new DuplicateEvent(groupId, firstPath, path);
    // Read here, not by the window: a stalled mount then holds the scan, never the window.
    bool firstEvent = false;
    if (!mPostedGroups.contains(groupId)) {
        mPostedGroups.insert(groupId);
        firstEvent = true;
    }
    event->setFacts(firstEvent ? FileFacts::of(firstPath) : FileFacts(), FileFacts::of(path));
    event->mTally = mTally;
    mTally->posted();
    QCoreApplication::postEvent(receiver, event, Qt::NormalEventPriority);
    return true;
}

} // namespace tarvik
