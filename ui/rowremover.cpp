#include "ui/rowremover.h"

#include "ui/fileitem.h"
#include "ui/resulttally.h"
#include "ui/treewidget.h"

#include <QHash>
#include <QSet>
#include <QTimer>

namespace tarvik {

namespace {

// Rows wait at least this long, and longer as a pass grows costly; but not much longer, since
// a pass that took long on a busy machine may have waited for a processor, and more rows
// waiting make the next pass longer still.
constexpr qint64 kMinWaitMs = 250;
constexpr qint64 kMaxWaitMs = 1000;
constexpr int kPassCostFactor = 8;

} // namespace

RowRemover::RowRemover(TreeWidget* tree, ResultTally* tally, QObject* parent)
    : QObject(parent), mTree(tree), mTally(tally), mTimer(new QTimer(this))
{
    mTimer->setSingleShot(true);
    connect(mTimer, &QTimer::timeout, this, &RowRemover::flush);
}

void RowRemover::removeNow(QTreeWidgetItem* row)
{
    mWaiting.append(row);
    flush();
}

void RowRemover::removeSoon(QTreeWidgetItem* row)
{
    mWaiting.append(row);
    if (!mTimer->isActive())
        mTimer->start(int(qBound(kMinWaitMs, kPassCostFactor * mLastPassMs, kMaxWaitMs)));
}

void RowRemover::flush()
{
    mTimer->stop();
    if (mWaiting.isEmpty())
        return;
    QElapsedTimer clock;
    clock.start();
    // A group's rows and replaced rows before each of its rows goes, as if they went one by
    // one; the replaced ones are counted once a group and a batch.
    struct Left
    {
        int gone = 0;
        int replaced = -1;
    };
    QHash<const QTreeWidgetItem*, Left> left;
    QSet<const QTreeWidgetItem*> taken;
    QVector<QTreeWidgetItem*> rows;
    rows.reserve(mWaiting.size());
    for (QTreeWidgetItem* row : qAsConst(mWaiting)) {
        const QTreeWidgetItem* group = row->parent();
        if (!group || taken.contains(row))
            continue;
        taken.insert(row);
        Left& before = left[group];
        if (before.replaced < 0)
            before.replaced = replacedRows(group);
        mTally->fileRemoved(row, stampOf(row).size, group->childCount() - before.gone,
                            before.replaced);
        ++before.gone;
        if (storageOf(row) != FileItem::OwnStorage)
            --before.replaced;
        rows.append(row);
    }
    mWaiting.clear();
    mTree->removeRows(rows);
    mLastPassMs = clock.elapsed();
}

void RowRemover::discard()
{
    mTimer->stop();
    mWaiting.clear();
}

} // namespace tarvik
