// Runs the scan engine headless on the given folders, as the result page would, and prints
// what it listed, read and found, the wall time and the peak memory.
//
//   bench_scan [--filter TEXT] FOLDER...

#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "scan/scancounters.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSet>
#include <QUuid>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

class Counter : public QObject
{
public:
    qint64 events = 0;
    QSet<QUuid> groups;

    bool event(QEvent* e) override
    {
        if (e->type() != tarvik::DuplicateEvent::eventType)
            return QObject::event(e);
        ++events;
        groups.insert(static_cast<tarvik::DuplicateEvent*>(e)->groupId());
        return true;
    }
};

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
    if (args.size() >= 2 && args.first() == QLatin1String("--filter")) {
        filter = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_scan [--filter TEXT] FOLDER...\n");
        return 2;
    }

    Counter counter;
    auto* thread = new tarvik::DuplicateFinderThread(&counter);
    thread->mFolders = args;
    thread->mFilter = filter;
    QObject::connect(thread, SIGNAL(finished()), &app, SLOT(quit()));
    tarvik::scanCounters().reset();
    QElapsedTimer timer;
    timer.start();
    thread->start();
    app.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    delete thread;

    const tarvik::ScanCounters& c = tarvik::scanCounters();
    std::printf("files listed: %lld\n", static_cast<long long>(c.filesListed.load()));
    std::printf("bytes listed: %lld\n", static_cast<long long>(c.bytesListed.load()));
    std::printf("bytes read: %lld\n", static_cast<long long>(c.bytesRead.load()));
    std::printf("groups: %d\n", counter.groups.size());
    std::printf("duplicate events: %lld\n", static_cast<long long>(counter.events));
    std::printf("wall time: %.3f s\n", seconds);
    std::printf("peak memory: %ld KiB\n", peakKiB());
    return 0;
}
