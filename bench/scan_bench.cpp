// Runs the scan engine headless on the given folders, with no thread or event loop of its own,
// and prints what it listed, read and found, the wall time and the peak memory.
//
//   bench_scan [--filter TEXT] [--cache FOLDER] FOLDER...
//
// With --cache, through the digest cache kept in that folder, which it reads and then saves.

#include "scan/folderwalk.h"
#include "scan/scancache.h"
#include "scan/scanengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QUuid>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

long peakKiB()
{
#ifdef Q_OS_UNIX
    struct rusage usage;
    if (::getrusage(RUSAGE_SELF, &usage) == 0)
        return usage.ru_maxrss;
#endif
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QStringList args = app.arguments().mid(1);
    QString filter;
    QString cacheFolder;
    while (args.size() >= 2 && args.first().startsWith(QLatin1String("--"))) {
        (args.first() == QLatin1String("--cache") ? cacheFolder : filter) = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_scan [--filter TEXT] [--cache FOLDER] FOLDER...\n");
        return 2;
    }

    qint64 events = 0;
    QHash<QString, tarvik::DigestEntry> digests;
    tarvik::ScanProgress progress;
    QElapsedTimer timer;
    timer.start();
    tarvik::ScanCache cache(cacheFolder);
    if (!cacheFolder.isEmpty())
        cache.open();
    {
        const tarvik::StopCheck never = [] { return false; };
        tarvik::ScanEngine engine(
            never,
            [&](const QUuid&, const QString&, const QString&) {
                ++events;
                return true;
            },
            &digests, &progress);
        engine.setCache(cacheFolder.isEmpty() ? nullptr : &cache);
        tarvik::scanFolders(args, filter, engine, never);
    }
    if (!cacheFolder.isEmpty() && !cache.save())
        std::fprintf(stderr, "%s\n", qPrintable(cache.warning()));
    const double seconds = timer.nsecsElapsed() / 1e9;

    std::printf("files listed: %lld\n", static_cast<long long>(progress.filesListed.load()));
    std::printf("bytes listed: %lld\n", static_cast<long long>(progress.bytesListed.load()));
    std::printf("bytes read: %lld\n", static_cast<long long>(progress.bytesRead.load()));
    std::printf("from the cache: %lld\n", static_cast<long long>(progress.filesFromCache.load()));
    std::printf("groups: %lld\n", static_cast<long long>(progress.groups.load()));
    std::printf("duplicate events: %lld\n", static_cast<long long>(events));
    std::printf("wall time: %.3f s\n", seconds);
    std::printf("peak memory: %ld KiB\n", peakKiB());
    return 0;
}
