#pragma once

// Shared by the scan tests: builds file trees, runs one scan to its end and puts the events
// in comparable forms.

#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "testenv.h"

#include <QEventLoop>
#include <QTimer>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
        if (e->type() != DuplicateEvent::eventType)
            return QObject::event(e);
        const auto* d = static_cast<DuplicateEvent*>(e);
        events.append({d->groupId(), d->firstPath(), d->duplicatePath()});
        return true;
    }
};

// Starts a scan posting to receiver; its end quits loop, if given.
inline DuplicateFinderThread* startScan(QObject* receiver, const QStringList& folders,
                                        const QString& filter = QString(),
                                        QEventLoop* loop = nullptr)
{
    auto* thread = new DuplicateFinderThread(receiver);
    thread->mFolders = folders;
    thread->mFilter = filter;
    if (loop)
        QObject::connect(thread, SIGNAL(finished()), loop, SLOT(quit()));
    thread->start();
    return thread;
}

// Runs a scan with the event loop turning, as the result page would, and returns the events
// received before finished(). A scan that does not end in time fails the running test.
inline QVector<SeenEvent> runScan(const QStringList& folders, const QString& filter = QString(),
                                  int timeoutMs = 60000)
{
    EventSink sink;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, SLOT(quit()));
    DuplicateFinderThread* thread = startScan(&sink, folders, filter, &loop);
    loop.exec();
    QTest::qVerify(thread->isFinished(), "thread->isFinished()", "the scan did not end in time",
                   __FILE__, __LINE__);
    delete thread;
    return sink.events;
}

// A new empty folder for one case.
inline QString freshRoot()
{
    static QTemporaryDir temp;
    static int count = 0;
    const QString root = temp.filePath(QString::number(count++));
    QDir().mkpath(root);
    return root;
}

inline QStringList words(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A path relative to root; relative paths are taken from the current folder.
inline QString fromRoot(const QString& root, const QString& path)
{
    return QDir(root).relativeFilePath(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

// The events in order, with identities numbered as they appear, so that two runs compare.
inline QStringList describe(const QVector<SeenEvent>& events, const QString& root)
{
    QHash<QUuid, int> numbers;
    QStringList out;
    for (const SeenEvent& e : events) {
        const int n = numbers.value(e.groupId, numbers.size());
        numbers.insert(e.groupId, n);
        out << QStringLiteral("%1 %2 %3")
                   .arg(n)
                   .arg(fromRoot(root, e.firstPath), fromRoot(root, e.duplicatePath));
    }
    return out;
}

// Each group as its sorted files, the groups sorted and joined by "|".
inline QString groupsOf(const QVector<SeenEvent>& events, const QString& root)
{
    QHash<QUuid, QStringList> members;
    for (const SeenEvent& e : events) {
        QStringList& group = members[e.groupId];
        if (group.isEmpty())
            group << fromRoot(root, e.firstPath);
        group << fromRoot(root, e.duplicatePath);
    }
    QStringList out;
    for (QStringList group : qAsConst(members)) {
        group.sort();
        out << group.join(QLatin1Char(' '));
    }
    out.sort();
    return out.join(QLatin1Char('|'));
}

// Builds a tree below root from lines: "path=content" (a file), "path->target" (a symbolic
// link, target taken literally), "path=>existing" (a hard link).
inline bool makeTree(const QString& root, const QStringList& lines)
{
    for (const QString& line : lines) {
        const int hard = line.indexOf(QLatin1String("=>"));
        const int soft = line.indexOf(QLatin1String("->"));
        const int at = hard > 0 ? hard : soft > 0 ? soft : line.indexOf(QLatin1Char('='));
        const QString path = root + QLatin1Char('/') + line.left(at);
        QDir().mkpath(QFileInfo(path).absolutePath());
        bool ok = false;
        if (hard > 0) {
#ifdef Q_OS_UNIX
            ok = ::link(QFile::encodeName(root + QLatin1Char('/') + line.mid(hard + 2)).constData(),
                        QFile::encodeName(path).constData()) == 0;
#endif
        } else if (soft > 0) {
            ok = QFile::link(line.mid(soft + 2), path);
        } else {
            ok = writeFile(path, line.mid(at + 1).toUtf8());
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace tarvik::test
