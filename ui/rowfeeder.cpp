// Duplicates of a scan into rows of the tree, a time slice at a time.

#include "ui/rowfeeder.h"

#include "ui/fileitem.h"
#include "ui/resulttally.h"
#include "ui/treewidget.h"

#include <QTimer>

namespace tarvik {

namespace {

// While results pour in, rows go into the tree this long at a time, between turns of the event
// loop. The tree is laid out again at most this often, and less often as that grows costly.
constexpr qint64 kSliceMs = 25;
constexpr int kMinLayoutGapMs = 100;
constexpr int kLayoutCostFactor = 4;

} // namespace

RowFeeder::RowFeeder(TreeWidget* tree, ResultTally* tally, const QString& groupText,
                     QObject* parent)
    : QObject(parent), mTree(tree), mTally(tally), mGroupText(groupText)
{
    mPendingTimer = new QTimer(this);
    mPendingTimer->setInterval(0);
    connect(mPendingTimer, SIGNAL(timeout()), this, SLOT(addPending()));
    mLayoutTimer = new QTimer(this);
    mLayoutTimer->setSingleShot(true);
    connect(mLayoutTimer, SIGNAL(timeout()), this, SLOT(layOutTree()));
}

void RowFeeder::enqueue(const QUuid& groupId, const QString& firstPath,
                        const QString& duplicatePath, const FileFacts& firstFacts,
                        const FileFacts& duplicateFacts)
{
    mPending.enqueue({groupId, firstPath, duplicatePath, firstFacts, duplicateFacts});
    if (!mPendingTimer->isActive())
        mPendingTimer->start();
}

void RowFeeder::reset()
{
    mTree->clear();
    mGroupItems.clear();
    mGroupsFound.clear();
    mPaths.clear();
    mPending.clear();
    mPendingTimer->stop();
    mLayoutTimer->stop();
    mTree->releaseLayout();
    mDrainedOwed = false;
}

void RowFeeder::notifyWhenDrained()
{
    if (!mPending.isEmpty()) {
        mDrainedOwed = true;
        return;
    }
    mDrainedOwed = false;
    emit drained();
}

void RowFeeder::addPending()
{
    mTree->holdLayout();
    QElapsedTimer slice;
    slice.start();
    while (!mPending.isEmpty() && slice.elapsed() < kSliceMs)
        add(mPending.dequeue());
    if (!mLayoutTimer->isActive()) {
        const qint64 gap = qMax<qint64>(kMinLayoutGapMs, kLayoutCostFactor * mLastLayoutMs);
        const qint64 since = mSinceLayout.isValid() ? mSinceLayout.elapsed() : gap;
        mLayoutTimer->start(int(qMax<qint64>(0, gap - since)));
    }
    if (!mPending.isEmpty())
        return;
    mPendingTimer->stop();
    if (mDrainedOwed)
        notifyWhenDrained();
}

void RowFeeder::layOutNow()
{
    mLayoutTimer->stop();
    layOutTree();
}

void RowFeeder::layOutTree()
{
    QElapsedTimer clock;
    clock.start();
    mTree->releaseLayout();
    mLastLayoutMs = clock.elapsed();
    mSinceLayout.start();
}

bool RowFeeder::isFeeding() const
{
    return mPendingTimer->isActive() || mLayoutTimer->isActive();
}

void RowFeeder::add(const Duplicate& duplicate)
{
    QTreeWidgetItem* groupItem = mGroupItems.value(duplicate.groupId, nullptr);
    if (groupItem) {
        addFileItem(groupItem, duplicate.duplicatePath, duplicate.duplicateFacts);
        return;
    }
    // Numbered by the groups before it; filled before it joins the tree, which then shows it
    // expanded in one step.
    groupItem = new GroupItem(mGroupText, mGroupItems.size());
    mGroupItems.insert(duplicate.groupId, groupItem);
    mGroupsFound.append(groupItem);
    addFileItem(groupItem, duplicate.firstPath, duplicate.firstFacts);
    addFileItem(groupItem, duplicate.duplicatePath, duplicate.duplicateFacts);
    mTree->appendExpanded(groupItem);
}

FileItem* RowFeeder::addFileItem(QTreeWidgetItem* groupItem, const QString& path,
                                 const FileFacts& facts)
{
    mPaths.add(static_cast<const GroupItem*>(groupItem)->number(), path);
    auto* item = new FileItem(path, facts);
    mTally->fileAdded(item->stamp().size, groupItem->childCount());
    groupItem->addChild(item);
    return item;
}

} // namespace tarvik
