#pragma once

// Shared by the scan tests: builds file trees and runs one scan to its end, collecting the
// events in the order in which they arrive.

#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>
#include <QVector>

namespace tarvik::test {

struct SeenEvent
{
    QUuid groupId;
    QString firstPath;
    QString duplicatePath;
};

// Stands in for the result page: receives the events and owns the thread.
class EventSink : public QObject
{
public:
    QVector<SeenEvent> events;

    bool event(QEvent* e) override
    {
        if (e->type() == DuplicateEvent::eventType) {
            const auto* d = static_cast<DuplicateEvent*>(e);
            events.append({d->groupId(), d->firstPath(), d->duplicatePath()});
            return true;
        }
        return QObject::event(e);
    }
};

// Runs a scan with the event loop turning, as the result page would, and returns the events
// received before finished() arrived. An empty optional-like flag reports a scan that did not
// end in time.
inline QVector<SeenEvent> runScan(const QStringList& folders, const QString& filter = QString(),
                                  bool* finishedInTime = nullptr, int timeoutMs = 60000)
{
    EventSink sink;
    auto* thread = new DuplicateFinderThread(&sink);
    thread->mFolders = folders;
    thread->mFilter = filter;
    QEventLoop loop;
    QObject::connect(thread, SIGNAL(finished()), &loop, SLOT(quit()));
    QTimer::singleShot(timeoutMs, &loop, SLOT(quit()));
    thread->start();
    loop.exec();
    const bool done = thread->isFinished();
    if (finishedInTime)
        *finishedInTime = done;
    delete thread;
    QCoreApplication::removePostedEvents(&sink, DuplicateEvent::eventType);
    return sink.events;
}

// The events in a form that ignores the identities' values but keeps which events share one.
inline QStringList describe(const QVector<SeenEvent>& events, const QString& root = QString())
{
    QHash<QUuid, int> numbers;
    QStringList out;
    for (const SeenEvent& e : events) {
        const int n = numbers.value(e.groupId, numbers.size());
        numbers.insert(e.groupId, n);
        QString first = e.firstPath;
        QString dup = e.duplicatePath;
        if (!root.isEmpty()) {
            first = QDir(root).relativeFilePath(first);
            dup = QDir(root).relativeFilePath(dup);
        }
        out << QStringLiteral("%1 %2 %3").arg(n).arg(first, dup);
    }
    return out;
}

} // namespace tarvik::test

namespace tarvik::test {

// Each group as the sorted list of its files (relative to root), the groups sorted; also
// checks that all events of one identity carry one first path.
inline QStringList groupsOf(const QVector<SeenEvent>& events, const QString& root,
                            bool* consistent = nullptr)
{
    QHash<QUuid, QStringList> members;
    QHash<QUuid, QString> firsts;
    bool ok = true;
    const QDir base(root);
    for (const SeenEvent& e : events) {
        if (!firsts.contains(e.groupId)) {
            firsts.insert(e.groupId, e.firstPath);
            members[e.groupId] << base.relativeFilePath(e.firstPath);
        } else if (firsts.value(e.groupId) != e.firstPath) {
            ok = false;
        }
        members[e.groupId] << base.relativeFilePath(e.duplicatePath);
    }
    if (consistent)
        *consistent = ok;
    QStringList out;
    for (QStringList group : qAsConst(members)) {
        group.sort();
        out << group.join(QLatin1Char(' '));
    }
    out.sort();
    return out;
}

} // namespace tarvik::test

#include <QDirIterator>
#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tarvik::test {

// Builds a tree below root from lines: "path=content" (a file), "path/" (an empty folder),
// "path->target" (a symbolic link, target taken literally), "path=>existing" (a hard link).
inline bool makeTree(const QString& root, const QStringList& lines)
{
    for (const QString& line : lines) {
        const int hard = line.indexOf(QLatin1String("=>"));
        const int soft = line.indexOf(QLatin1String("->"));
        const int eq = line.indexOf(QLatin1Char('='));
        if (hard > 0) {
            const QString path = root + QLatin1Char('/') + line.left(hard);
            const QString target = root + QLatin1Char('/') + line.mid(hard + 2);
            QDir().mkpath(QFileInfo(path).absolutePath());
#ifdef Q_OS_UNIX
            if (::link(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()))
                return false;
#else
            return false;
#endif
        } else if (soft > 0) {
            const QString path = root + QLatin1Char('/') + line.left(soft);
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!QFile::link(line.mid(soft + 2), path))
                return false;
        } else if (eq > 0) {
            if (!writeFile(root + QLatin1Char('/') + line.left(eq), line.mid(eq + 1).toUtf8()))
                return false;
        } else if (!QDir().mkpath(root + QLatin1Char('/') + line)) {
            return false;
        }
    }
    return true;
}

// What the walk lists, in its order, for an empty filter.
inline QStringList walkOrder(const QStringList& folders)
{
    QStringList out;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << it.next();
    }
    return out;
}

// True when every group's first path is the earliest of its files in the walk and events come
// in walk order of their duplicates.
inline bool followsWalkOrder(const QVector<SeenEvent>& events, const QStringList& walk)
{
    QHash<QUuid, int> firstIndex;
    int last = -1;
    for (const SeenEvent& e : events) {
        const int first = walk.indexOf(e.firstPath);
        const int dup = walk.indexOf(e.duplicatePath);
        if (first < 0 || dup <= first || dup <= last)
            return false;
        last = dup;
        if (!firstIndex.contains(e.groupId))
            firstIndex.insert(e.groupId, first);
    }
    return true;
}

inline bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace tarvik::test
