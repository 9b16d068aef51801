#pragma once

#include "core/filestamp.h"
#include "ui/pathindex.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QUuid>
#include <QVector>

class QTimer;
class QTreeWidgetItem;

namespace tarvik {

class FileItem;
class ResultTally;
class TreeWidget;

// Turns the duplicates a scan hands over into rows of the tree. They wait in a queue in
// arrival order and go into the tree a few milliseconds' worth at a time, so that a flood of
// them never keeps the window from its event loop for long; the tree's layout is held
// meanwhile and released at a pace its cost allows. Numbers the groups from 0 and keeps the
// map from group identity to group row.
class RowFeeder : public QObject
{
    Q_OBJECT

public:
    // groupText is the group rows' label before their number.
    RowFeeder(TreeWidget* tree, ResultTally* tally, const QString& groupText, QObject* parent);

    // The facts are what the scan read of each file; a first file's are used only in a group's
    // first duplicate.
    void enqueue(const QUuid& groupId, const QString& firstPath, const QString& duplicatePath,
                 const FileFacts& firstFacts, const FileFacts& duplicateFacts);

    // Empties the queue, the tree and the map: the next group is numbered 0 again.
    void reset();

    // drained() follows once every duplicate queued so far is in the tree; at once if it is.
    void notifyWhenDrained();

    // Lays the tree out now, whatever the pace.
    void layOutNow();

    // Whether rows are still being added or laid out.
    bool isFeeding() const;

    const QHash<QUuid, QTreeWidgetItem*>& groupItems() const { return mGroupItems; }
    // Every group row made since the reset, in the order found: its place is its number.
    const QVector<QTreeWidgetItem*>& groupsFound() const { return mGroupsFound; }
    // The paths of every row made since the reset, by group number.
    const PathIndex& paths() const { return mPaths; }

signals:
    void drained();

private slots:
    void addPending();
    void layOutTree();

private:
    struct Duplicate
    {
        QUuid groupId;
        QString firstPath;
        QString duplicatePath;
        FileFacts firstFacts;
        FileFacts duplicateFacts;
    };

    void add(const Duplicate& duplicate);
    FileItem* addFileItem(QTreeWidgetItem* groupItem, const QString& path, const FileFacts& facts);

    TreeWidget* mTree;
    ResultTally* mTally;
    QString mGroupText;
    QHash<QUuid, QTreeWidgetItem*> mGroupItems;
    QVector<QTreeWidgetItem*> mGroupsFound;
    PathIndex mPaths;
    QQueue<Duplicate> mPending;
    QTimer* mPendingTimer;
    QTimer* mLayoutTimer;
    QElapsedTimer mSinceLayout;
    qint64 mLastLayoutMs = 0;
    bool mDrainedOwed = false;
};

} // namespace tarvik
