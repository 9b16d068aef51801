#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QVector>

class QTimer;
class QTreeWidgetItem;

namespace tarvik {

class ResultTally;
class TreeWidget;

// Takes the rows whose files have left their folders out of the tree, keeping the tally in
// step. Taking rows out costs a pass over the tree however many go at once, so rows reported
// one by one as a long action goes on wait a moment and leave together, at a pace that the
// cost of a pass allows.
class RowRemover : public QObject
{
    Q_OBJECT

public:
    RowRemover(TreeWidget* tree, ResultTally* tally, QObject* parent);

    // At once, with any rows waiting.
    void removeNow(QTreeWidgetItem* row);
    // With the next batch.
    void removeSoon(QTreeWidgetItem* row);
    // The rows waiting go now.
    void flush();
    // Forgets the rows waiting: they are about to go with the whole tree.
    void discard();

private:
    TreeWidget* mTree;
    ResultTally* mTally;
    QVector<QTreeWidgetItem*> mWaiting;
    QTimer* mTimer;
    qint64 mLastPassMs = 0;
};

} // namespace tarvik
