#pragma once

#include "scan/scantypes.h"

#include <QEvent>
#include <QString>
#include <QUuid>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tarvik {

// The events of one scan posted but not yet delivered (or discarded). Shared by the poster and
// each of its events, so it outlives whichever goes first.
class DeliveryTally
{
public:
    void posted();
    void delivered();
    // Once limit events wait, holds the poster until no more than resumeAt do. A stop has
    // nobody to wake this wait, so it is looked at every stopLatencyMs; false when it came first.
    bool makeRoom(int limit, int resumeAt, const StopCheck& stop, int stopLatencyMs);

private:
    std::mutex mMutex;
    std::condition_variable mDrained;
    int mWaiting = 0;
};

// One duplicate found by the scan thread, posted to the result page.
class DuplicateEvent : public QEvent
{
public:
    static const int eventType;

    DuplicateEvent(const QUuid& groupId, const QString& firstPath, const QString& duplicatePath);
    ~DuplicateEvent() override;

    QUuid groupId() const { return mGroupId; }
    QString firstPath() const { return mFirstPath; }
    QString duplicatePath() const { return mDuplicatePath; }

private:
    friend class DuplicateFinderThread;

    QUuid mGroupId;
    QString mFirstPath;
    QString mDuplicatePath;
    std::shared_ptr<DeliveryTally> mTally;
};

} // namespace tarvik
