#pragma once

#include "core/filestamp.h"
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

// One duplicate found by the scan thread, posted to the result page. It carries what the page
// shows of its files, read in the scan's thread, so that the window never waits on the file
// system for a row: the facts of the file just found and, in a group's first event, of the
// group's first file.
class DuplicateEvent : public QEvent
{
public:
    static const int eventType;

    DuplicateEvent(const QUuid& groupId, const QString& firstPath, const QString& duplicatePath);
    ~DuplicateEvent() override;

    QUuid groupId() const { return mGroupId; }
    QString firstPath() const { return mFirstPath; }
    QString duplicatePath() const { return mDuplicatePath; }
    const FileFacts& firstFacts() const { return mFirstFacts; }
    const FileFacts& duplicateFacts() const { return mDuplicateFacts; }
    void setFacts(const FileFacts& first, const FileFacts& duplicate);

private:
    friend class DuplicateFinderThread;

    QUuid mGroupId;
    QString mFirstPath;
    QString mDuplicatePath;
    FileFacts mFirstFacts;
    FileFacts mDuplicateFacts;
    std::shared_ptr<DeliveryTally> mTally;
};

} // namespace tarvik
