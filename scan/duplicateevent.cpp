#include "scan/duplicateevent.h"

#include <chrono>

namespace tarvik {

const int DuplicateEvent::eventType = QEvent::registerEventType(-1);

void DeliveryTally::posted()
{
    std::lock_guard<std::mutex> lock(mMutex);
    ++mWaiting;
}

void DeliveryTally::delivered()
{
    std::lock_guard<std::mutex> lock(mMutex);
    --mWaiting;
    mDrained.notify_all();
}

bool DeliveryTally::makeRoom(int limit, int resumeAt, const StopCheck& stop, int stopLatencyMs)
{
    std::unique_lock<std::mutex> lock(mMutex);
    if (mWaiting < limit)
        return true;
    while (mWaiting > resumeAt) {
        if (stop())
            return false;
        mDrained.wait_for(lock, std::chrono::milliseconds(stopLatencyMs),
                          [&] { return mWaiting <= resumeAt; });
    }
    return true;
}

DuplicateEvent::DuplicateEvent(const QUuid& groupId, const QString& firstPath,
                               const QString& duplicatePath)
    : QEvent(static_cast<QEvent::Type>(eventType)), mGroupId(groupId), mFirstPath(firstPath),
      mDuplicatePath(duplicatePath)
{
}

void DuplicateEvent::setFacts(const FileFacts& first, const FileFacts& duplicate)
{
    mFirstFacts = first;
    mDuplicateFacts = duplicate;
}

DuplicateEvent::~DuplicateEvent()
{
    if (mTally)
        mTally->delivered();
}

} // namespace tarvik
