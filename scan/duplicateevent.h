#pragma once

#include <QEvent>
#include <QString>
#include <QUuid>
#include <atomic>
#include <memory>

namespace tarvik {

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
    friend class ScanEngine;

    QUuid mGroupId;
    QString mFirstPath;
    QString mDuplicatePath;
    // The scan's tally of its events not yet delivered; shared so that it outlives the scan.
    std::shared_ptr<std::atomic<int>> mUndelivered;
};

} // namespace tarvik
