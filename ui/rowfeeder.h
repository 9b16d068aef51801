#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QUuid>

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

    void enqueue(const QUuid& groupId, const QString& firstPath, const QString& duplicatePath);

    // Empties the queue, the tree and the map: the next group is numbered 0 again.
    void reset();

    // drained() follows once every duplicate queued so far is in the tree; at once if it is.
    void notifyWhenDrained();

    // Lays the tree out now, whatever the pace.
    void layOutNow();

    // A row was taken out of the tree: Qt forgets the whole layout then, and a held tree
    // would show nothing until its next layout.
    void rowRemoved();

    const QHash<QUuid, QTreeWidgetItem*>& groupItems() const { return mGroupItems; }

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
    };

    void add(const Duplicate& duplicate);
    FileItem* addFileItem(QTreeWidgetItem* groupItem, const QString& path);

    TreeWidget* mTree;
    ResultTally* mTally;
    QString mGroupText;
    QHash<QUuid, QTreeWidgetItem*> mGroupItems;
    QQueue<Duplicate> mPending;
    QTimer* mPendingTimer;
    QTimer* mLayoutTimer;
    QElapsedTimer mSinceLayout;
    qint64 mLastLayoutMs = 0;
    bool mDrainedOwed = false;
};

} // namespace tarvik
