// The tree's groups put in another order, or some of them left out, in place: the model's list
// of top-level rows, its persistent indexes and the view's laid-out rows are rewritten in one
// pass each, instead of Qt taking every group out and putting them back one by one.

#include "ui/treeprivate.h"
#include "ui/treewidget.h"

#ifdef TARVIK_TREE_VIEW_ITEMS

#include <QAccessible>
#include <QHash>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QtCore/private/qabstractitemmodel_p.h>
#include <QtWidgets/private/qtreewidget_p.h>
#include <cstdlib>
#include <cstring>
#endif

namespace tarvik {

#ifdef TARVIK_TREE_VIEW_ITEMS

namespace {

QTreeWidgetItem* topOf(QTreeWidgetItem* item)
{
    while (QTreeWidgetItem* parent = item->parent())
        item = parent;
    return item;
}

// A row not hidden, whose indicator shows only when it has children, as laid out here.
bool isPlainRow(const QTreeWidgetItem* row)
{
    // Out of a tree, an item keeps whether it is hidden to itself until it is put back.
    return row->childIndicatorPolicy() == QTreeWidgetItem::DontShowIndicatorWhenChildless &&
           !itemPrivate(row)->hidden;
}

// The rows of the top level before the change, found by the guess the model keeps in each
// item, else by a table made the first time a guess misses.
class OldRows
{
public:
    explicit OldRows(const QList<QTreeWidgetItem*>& rows) : mRows(rows) {}

    int of(const QTreeWidgetItem* group)
    {
        const int guess = itemPrivate(group)->rowGuess;
        if (guess >= 0 && guess < mRows.size() && mRows.at(guess) == group)
            return guess;
        if (mTable.isEmpty()) {
            mTable.reserve(mRows.size());
            for (int r = 0; r < mRows.size(); ++r)
                mTable.insert(mRows.at(r), r);
        }
        return mTable.value(group, -1);
    }

private:
    const QList<QTreeWidgetItem*>& mRows;
    QHash<const QTreeWidgetItem*, int> mTable;
};

// glibc keeps the small blocks freed in lists it tidies at its next large request, each block a
// cache miss when there are hundreds of thousands, long gone from the cache. Asked every few
// thousand blocks, it tidies them while they are still there.
class FreedBlocks
{
public:
    void note()
    {
#ifdef __GLIBC__
        if (++mCount % 4096 == 0) {
            void* volatile block = std::malloc(1 << 16);
            std::free(block);
        }
#endif
    }

private:
    int mCount = 0;
};

} // namespace

bool TreeWidget::arrangeViewRows(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed)
{
    showLateRows();
    // Screen readers are told of rows by Qt's own insertions and removals.
    if (!viewItemsCurrent() || QAccessible::isActive())
        return false;
    QTreeViewPrivate* d = viewOf(d_ptr);
    // Open editors are found by their rows' persistent indexes.
    if (!d->indexEditorHash.isEmpty())
        return false;
    QList<QTreeWidgetItem*>& topLevel = childrenOf(invisibleRootItem());
    const int oldCount = topLevel.size();
    QVector<QTreeViewItem>& items = d->viewItems;

    // Where each group's rows begin among the view items, by its row; only a tree of groups
    // and their files is one this knows.
    QVector<int> at(oldCount + 1);
    int row = 0;
    for (int i = 0; i < items.size(); ++i) {
        const QTreeViewItem& item = items.at(i);
        if (item.level == 0) {
            if (row >= oldCount || item.index.internalPointer() != topLevel.at(row))
                return false;
            at[row++] = i;
        } else if (item.level != 1) {
            return false;
        }
    }
    if (row != oldCount)
        return false;
    at[oldCount] = items.size();

    // Each group's row before, -1 for one coming back.
    QVector<int> from(groups.size(), -1);
    QVector<bool> stays(oldCount, false);
    int addedRows = 0;
    // Groups coming back join the tree as they are checked, their rows still in the cache;
    // given back if one cannot be laid out here.
    QVector<QTreeWidgetItem*> joined;
    const auto refuse = [&joined] {
        for (QTreeWidgetItem* group : qAsConst(joined))
            setTreeOf(group, nullptr);
        return false;
    };
    {
        OldRows oldRows(topLevel);
        for (int n = 0; n < groups.size(); ++n) {
            QTreeWidgetItem* group = groups.at(n);
            if (group->parent())
                return refuse();
            if (group->treeWidget() == this) {
                const int r = oldRows.of(group);
                if (r < 0 || stays.at(r))
                    return refuse();
                stays[r] = true;
                from[n] = r;
                continue;
            }
            if (group->treeWidget() || !isPlainRow(group))
                return refuse();
            joined.append(group);
            setItemTree(group, this);
            const QList<QTreeWidgetItem*>& files = childrenOf(group);
            for (QTreeWidgetItem* file : files) {
                if (!childrenOf(file).isEmpty() || !isPlainRow(file))
                    return refuse();
                setItemTree(file, this);
            }
            addedRows += 1 + files.size();
        }
    }
    const int returning = joined.size();

    // What Qt would do with the current row and the selection when rows go: a current row
    // that leaves leaves nothing current; the selection is made again below.
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (!selected.isEmpty())
        selectionModel()->clearSelection();
    QTreeWidgetItem* current = currentItem();
    if (current) {
        const int r = OldRows(topLevel).of(topOf(current));
        if (r < 0 || !stays.at(r)) {
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
            current = nullptr;
        }
    }
    for (int r = 0; r < oldCount; ++r) {
        const QTreeWidgetItem* group = topLevel.at(r);
        if (!items.at(at.at(r)).hasChildren)
            continue;
        if (items.at(at.at(r)).expanded)
            collapsed->remove(group);
        else
            collapsed->insert(group);
    }

    // The persistent indexes, while the rows before are known: a group's moves with it, those
    // of groups gone and of their rows are no longer valid, as when Qt takes rows out. The rows
    // of a group keep theirs. Most of a narrowing's time goes in cache misses over these, so
    // each old entry is erased as it is met, while it is still in the cache.
    QVector<int> to(oldCount, -1);
    for (int n = 0; n < groups.size(); ++n)
        if (from.at(n) >= 0)
            to[from.at(n)] = n;
    QAbstractItemModel* const treeModel = model();
    QMultiHash<QModelIndex, QPersistentModelIndexData*>& live =
        static_cast<QAbstractItemModelPrivate*>(QObjectPrivate::get(treeModel))->persistent.indexes;
    QMultiHash<QModelIndex, QPersistentModelIndexData*> before;
    FreedBlocks freed;
    before.swap(live);
    live.reserve(qMin(before.size(), groups.size() - returning) + returning);
    {
        OldRows oldRows(topLevel);
        for (auto it = before.begin(); it != before.end(); it = before.erase(it), freed.note()) {
            QPersistentModelIndexData* data = it.value();
            // The model keeps each under its index.
            const QModelIndex index = it.key();
            void* const pointer = index.internalPointer();
            const bool isGroup = index.row() < oldCount && topLevel.at(index.row()) == pointer;
            const int r =
                isGroup ? index.row() : oldRows.of(topOf(static_cast<QTreeWidgetItem*>(pointer)));
            if (r < 0 || to.at(r) < 0) {
                data->index = QModelIndex();
                continue;
            }
            if (isGroup)
                data->index = makeIndex(treeModel, to.at(r), index.column(), pointer);
            live.insert(data->index, data);
        }
    }
    // The view's set of expanded rows hashes them by row: made again, of those still valid; the
    // others go, with their indexes unless held elsewhere.
    QSet<QPersistentModelIndex> expandedSet;
    expandedSet.reserve(groups.size());
    for (auto it = d->expandedIndexes.begin(); it != d->expandedIndexes.end();
         it = d->expandedIndexes.erase(it), freed.note())
        if (it->isValid())
            expandedSet.insert(*it);

    // The model's rows.
    for (int r = 0; r < oldCount; ++r)
        if (to.at(r) < 0)
            setTreeOf(topLevel.at(r), nullptr);
    topLevel = QList<QTreeWidgetItem*>(groups.begin(), groups.end());
    for (int n = 0; n < groups.size(); ++n)
        itemPrivate(groups.at(n))->rowGuess = n;

    // The view's rows, group by group in the new order: those of a group that stays are
    // copied, those of a group back are laid out as Qt would, expanded unless it was collapsed.
    // Into the buffer the rows were in before the last time: a fresh one costs a page fault
    // for every few rows.
    if (!mSpareRows)
        mSpareRows = std::make_unique<SpareRows>();
    QVector<QTreeViewItem>& laidOut = mSpareRows->items;
    int keptRows = 0;
    for (int r = 0; r < oldCount; ++r)
        if (to.at(r) >= 0)
            keptRows += at.at(r + 1) - at.at(r);
    // Only rows beyond the buffer's size are made before they are written.
    if (laidOut.capacity() < keptRows + addedRows)
        laidOut = QVector<QTreeViewItem>();
    laidOut.resize(keptRows + addedRows);
    QTreeViewItem* out = laidOut.data();
    int next = 0;
    QVector<QModelIndex> expandedNow;
    const int count = groups.size();
    for (int n = 0; n < count; ++n) {
        const int first = next;
        QTreeWidgetItem* group = groups.at(n);
        const QModelIndex index = makeIndex(treeModel, n, 0, group);
        if (from.at(n) >= 0) {
            const int begin = at.at(from.at(n));
            const int rows = at.at(from.at(n) + 1) - begin;
            std::memcpy(static_cast<void*>(out + first), items.constData() + begin,
                        sizeof(QTreeViewItem) * size_t(rows));
            next += rows;
            for (int i = first + 1; i < next; ++i)
                out[i].parentItem = first;
        } else {
            // Every row checked above: a file without children, shown without an indicator.
            const QList<QTreeWidgetItem*>& files = childrenOf(group);
            const int rows = files.size();
            QTreeViewItem& item = out[next++] = QTreeViewItem();
            item.hasChildren = rows > 0;
            item.expanded = rows > 0 && !collapsed->contains(group);
            item.total = item.expanded ? uint(rows) : 0;
            if (item.expanded) {
                expandedSet.insert(index);
                expandedNow.append(index);
                for (int r = 0; r < rows; ++r) {
                    QTreeViewItem& file = out[next++] = QTreeViewItem();
                    file.index = makeIndex(treeModel, r, 0, files.at(r));
                    file.parentItem = first;
                    file.level = 1;
                    file.hasMoreSiblings = r + 1 < rows;
                }
            }
        }
        QTreeViewItem& item = out[first];
        item.index = index;
        item.parentItem = -1;
        item.level = 0;
        item.hasMoreSiblings = n + 1 < count;
    }
    laidOut.resize(next);
    items.swap(laidOut);
    // Kept for the next time only while it is of a size the tree may need again: a narrowing
    // is often undone.
    if (laidOut.capacity() > 2 * qMax(items.size(), laidOut.size()) + 4096)
        mSpareRows.reset();
    d->expandedIndexes.swap(expandedSet);
    d->lastViewedItem = 0;
    d->hoverBranch = -1;
    if (d->defaultItemHeight <= 0 && !items.isEmpty())
        d->defaultItemHeight = indexRowSizeHint(items.first().index);
    for (const QModelIndex& index : qAsConst(expandedNow))
        emit expanded(index);

    for (QTreeWidgetItem* item : selected)
        if (item->treeWidget() == this)
            selectionModel()->select(indexFromItem(item),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTreeWidget::updateGeometries();
    viewport()->update();
    if (current)
        scrollToItem(current);
    else
        verticalScrollBar()->setValue(0);
    return true;
}

#else

bool TreeWidget::arrangeViewRows(const QVector<QTreeWidgetItem*>&, GroupSet*)
{
    return false;
}

#endif

TreeWidget::~TreeWidget() = default;

void TreeWidget::dropSpareRows()
{
    mSpareRows.reset();
}

} // namespace tarvik
