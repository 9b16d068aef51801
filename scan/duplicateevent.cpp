#include "scan/duplicateevent.h"

namespace tarvik {

const int DuplicateEvent::eventType = QEvent::registerEventType(-1);

DuplicateEvent::DuplicateEvent(const QUuid& groupId, const QString& firstPath,
                               const QString& duplicatePath)
    : QEvent(static_cast<QEvent::Type>(eventType)), mGroupId(groupId), mFirstPath(firstPath),
      mDuplicatePath(duplicatePath)
{
}

DuplicateEvent::~DuplicateEvent()
{
    if (mUndelivered)
        mUndelivered->fetch_sub(1);
}

} // namespace tarvik
