#pragma once

#include <QObject>
#include <functional>

class QThread;

namespace tarvik {

// Runs a page's background work, each piece on a thread of its own made with
// QThread::create(). The work reports to the GUI thread only through report(); deleting this
// object, or stopAll(), asks every thread still running to stop, waits for it and drops what
// it had still to report, so no work outlives the page it reports to.
class WorkerThreads : public QObject
{
    Q_OBJECT

public:
    explicit WorkerThreads(QObject* parent);
    ~WorkerThreads() override;

    // Starts work on a new thread. The work learns of a stop from
    // QThread::currentThread()->isInterruptionRequested(); done runs in the GUI thread after
    // every report of the work, unless stopAll() came first.
    void start(std::function<void()> work, std::function<void()> done);

    // From a worker: runs inGuiThread in the GUI thread, in the order reported.
    void report(std::function<void()> inGuiThread);

    // Asks the work to stop and lets it end in its own time; done still comes.
    void requestStop();
    // Asks the work to stop, waits for it to end, and forgets its reports and its done.
    void stopAll();

    // Some work has not reported its end yet.
    bool isBusy() const;

private:
    int mBusy = 0;
};

} // namespace tarvik
