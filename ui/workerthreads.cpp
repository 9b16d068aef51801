// Background work of a page on threads it stops and waits for.

#include "ui/workerthreads.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace tarvik {

WorkerThreads::WorkerThreads(QObject* parent) : QObject(parent) {}

WorkerThreads::~WorkerThreads()
{
    stopAll();
}

void WorkerThreads::start(std::function<void()> work, std::function<void()> done)
{
    QThread* thread = QThread::create(std::move(work));
    thread->setParent(this);
    // Queued: it comes after every report the work posted before it ended.
    ++mBusy;
    connect(thread, &QThread::finished, this, [this, thread, done = std::move(done)] {
        --mBusy;
        thread->deleteLater();
        if (done)
            done();
    });
    thread->start();
}

void WorkerThreads::report(std::function<void()> inGuiThread)
{
    QMetaObject::invokeMethod(this, std::move(inGuiThread), Qt::QueuedConnection);
}

void WorkerThreads::requestStop()
{
    for (QThread* thread : findChildren<QThread*>(QString(), Qt::FindDirectChildrenOnly))
        thread->requestInterruption();
}

void WorkerThreads::stopAll()
{
    const QList<QThread*> threads = findChildren<QThread*>(QString(), Qt::FindDirectChildrenOnly);
    for (QThread* thread : threads)
        thread->requestInterruption();
    for (QThread* thread : threads) {
        thread->wait();
        // Not deleteLater(): its finished() must not reach done any more.
        disconnect(thread, nullptr, this, nullptr);
        delete thread;
    }
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    mBusy = 0;
}

bool WorkerThreads::isBusy() const
{
    return mBusy > 0;
}

} // namespace tarvik
