// The tree's use of Qt's private view items: rows appended, merged and taken out in place.

#include "ui/treewidget.h"

#include <climits>
#include <cstring>

#ifdef TARVIK_TREE_VIEW_ITEMS
#include "ui/treeprivate.h"

#include <QtCore/private/qabstractitemmodel_p.h>
#include <QtWidgets/private/qtreewidget_p.h>
#endif

namespace tarvik {

#ifdef TARVIK_TREE_VIEW_ITEMS

namespace {

// The last row at the top level: the view items end with its subtree.
int lastTopLevel(const QVector<QTreeViewItem>& items)
{
    for (int i = items.size() - 1; i >= 0; --i)
        if (items.at(i).level == 0)
            return i;
    return -1;
}

} // namespace

bool TreeWidget::viewItemsCurrent() const
{
    if (!mViewItems)
        return false;
    const QTreeViewPrivate* d = viewOf(d_ptr);
    return !mLayoutOwed && !d->delayedPendingLayout && d->uniformRowHeights &&
           !isSortingEnabled() && d->hiddenIndexes.isEmpty() && d->spanningIndexes.isEmpty() &&
           !rootIndex().isValid() && state() != AnimatingState;
}

bool TreeWidget::noteTopLevelRows()
{
    if (!mViewItems)
        return false;
    for (int g = 0; g < topLevelItemCount(); ++g)
        itemPrivate(topLevelItem(g))->rowGuess = g;
    return true;
}

bool TreeWidget::removeViewRows(const QVector<QTreeWidgetItem*>& rows)
{
    showLateRows();
    if (!viewItemsCurrent())
        return false;
    QTreeViewPrivate* d = viewOf(d_ptr);
    GroupSet groups;
    QSet<const void*> gone;
    gone.reserve(rows.size());
    for (const QTreeWidgetItem* row : rows) {
        const QTreeWidgetItem* group = row->parent();
        if (!group || group->parent())
            return false; // not a tree this knows
        groups.insert(group);
        gone.insert(row);
    }
    // Where Qt would leave the current row, set beforehand: the nearest row that stays below it
    // in its group, else above, else the group. Qt would make an index of the group meanwhile,
    // beside the one set aside below.
    if (QTreeWidgetItem* current = currentItem(); current && gone.contains(current)) {
        QTreeWidgetItem* group = current->parent();
        const int at = group->indexOfChild(current);
        QTreeWidgetItem* next = nullptr;
        for (int r = at + 1; r < group->childCount() && !next; ++r)
            next = gone.contains(group->child(r)) ? nullptr : group->child(r);
        for (int r = at - 1; r >= 0 && !next; --r)
            next = gone.contains(group->child(r)) ? nullptr : group->child(r);
        setCurrentItem(next ? next : group);
    }
    // Each row taken out makes the model walk every persistent index, and each expanded group
    // is one. Only those under the groups touched can move or go, so all others are set aside
    // meanwhile: found by looking up the rows of those groups, since a walk over every group
    // at each pass would cost the whole tree.
    QMultiHash<QModelIndex, QPersistentModelIndexData*>& live =
        static_cast<QAbstractItemModelPrivate*>(QObjectPrivate::get(model()))->persistent.indexes;
    QMultiHash<QModelIndex, QPersistentModelIndexData*> aside;
    aside.swap(live);
    QVector<bool> touchedRow(topLevelItemCount(), false);
    const int columns = columnCount();
    for (const QTreeWidgetItem* group : qAsConst(groups)) {
        const QModelIndex groupIndex = indexFromItem(group);
        touchedRow[groupIndex.row()] = true;
        for (int r = 0; r < group->childCount(); ++r) {
            for (int c = 0; c < columns; ++c) {
                const QModelIndex key = model()->index(r, c, groupIndex);
                for (auto it = aside.find(key); it != aside.end() && it.key() == key;) {
                    live.insert(it.key(), it.value());
                    it = aside.erase(it);
                }
            }
        }
    }
    mPatching = true;
    for (QTreeWidgetItem* row : rows) {
        QTreeWidgetItem* group = row->parent();
        group->takeChild(group->indexOfChild(row));
    }
    mPatching = false;
    for (auto it = live.cbegin(); it != live.cend(); ++it) {
        Q_ASSERT(!aside.contains(it.key()));
        aside.insert(it.key(), it.value());
    }
    live.swap(aside);

    // One pass: the rows that stay move up over those gone; under the groups touched, their
    // indexes and siblings are made again.
    QVector<QTreeViewItem>& items = d->viewItems;
    QTreeViewItem* item = items.data();
    const int count = items.size();
    int kept = 0;
    int firstChanged = INT_MAX;
    int group = -1;
    bool touched = false;
    QModelIndex groupIndex;
    int childRow = 0;
    int groupTotal = 0;
    bool deeper = false;
    for (int i = 0; i < count; ++i) {
        deeper = deeper || item[i].level > 1;
        if (item[i].level == 0) {
            group = kept;
            groupIndex = item[i].index;
            touched = touchedRow.at(groupIndex.row());
            childRow = 0;
            if (touched) {
                firstChanged = qMin(firstChanged, kept);
                item[i].hasChildren = d->hasVisibleChildren(groupIndex);
                if (item[i].expanded)
                    item[i].total = uint(model()->rowCount(groupIndex));
            }
            groupTotal = int(item[i].total);
        } else if (touched && gone.contains(item[i].index.internalPointer())) {
            continue;
        } else if (touched) {
            item[i].index = model()->index(childRow, 0, groupIndex);
            item[i].hasMoreSiblings = ++childRow < groupTotal;
        }
        if (item[i].level > 0)
            item[i].parentItem = group;
        if (kept != i)
            std::memcpy(static_cast<void*>(item + kept), item + i, sizeof(QTreeViewItem));
        ++kept;
    }
    items.resize(kept);
    d->lastViewedItem = qMax(0, kept - 1);
    d->hoverBranch = -1;
    qDeleteAll(rows);
    if (deeper)
        QTreeView::doItemsLayout(); // not a tree this pass knows
    else
        updateGeometriesLater(firstChanged);
    return true;
}

void TreeWidget::onRowsRemoved(const QModelIndex& parent, int start, int end)
{
    if (mPatching)
        viewOf(d_ptr)->_q_rowsRemoved(parent, start, end);
    else
        QTreeView::rowsRemoved(parent, start, end);
}

int TreeWidget::rowHeightShown() const
{
    if (!mViewItems)
        return 0;
    return viewOf(d_ptr)->defaultItemHeight;
}

int TreeWidget::appendViewRows(const QModelIndex& parent, int start, int end)
{
    if (!mViewItems)
        return -1;
    auto* d = static_cast<QTreeViewPrivate*>(d_ptr.data());
    // Anything but rows appended to laid-out rows of a plain tree goes Qt's own way.
    if (!viewItemsCurrent() || model()->rowCount(parent) != end + 1)
        return -1;
    QVector<QTreeViewItem>& items = d->viewItems;
    const int last = lastTopLevel(items);
    const int firstNew = items.size();
    if (!parent.isValid()) {
        if (last < 0 ? start != 0 : items.at(last).index.row() != start - 1)
            return -1;
        if (last >= 0)
            items[last].hasMoreSiblings = true;
        for (int row = start; row <= end; ++row) {
            QTreeViewItem item;
            item.index = model()->index(row, 0);
            item.hasMoreSiblings = row < end;
            if (mExpandAppended &&
                !(mCollapsedOnAppend && mCollapsedOnAppend->contains(itemFromIndex(item.index))) &&
                d->storeExpanded(item.index))
                emit expanded(item.index);
            items.append(item);
            const int i = items.size() - 1;
            if (d->isIndexExpanded(item.index)) {
                items[i].expanded = true;
                d->layout(i, false, true);
                items[i].hasChildren = items.at(i).total > 0;
            } else {
                items[i].hasChildren = d->hasVisibleChildren(item.index);
            }
        }
        // A tree laid out while empty has no row height yet; Qt takes the first row's.
        if (d->defaultItemHeight <= 0)
            d->defaultItemHeight = indexRowSizeHint(items.first().index);
        return firstNew;
    }
    // A collapsed parent costs Qt no layout; deeper rows are not worth the care.
    if (parent.column() != 0 || parent.parent().isValid() || !d->isIndexExpanded(parent))
        return -1;
    for (int row = start; row <= end; ++row)
        if (d->isIndexExpanded(model()->index(row, 0, parent)))
            return -1;
    if (last < 0 || items.at(last).index != parent) {
        mLateRows.insert(parent.row());
        return INT_MAX; // shown by showLateRows()
    }
    // The last group: its children are the last items, and all of them leaves.
    if (int(items.at(last).total) != start || items.size() != last + 1 + start)
        return -1;
    if (start > 0)
        items.last().hasMoreSiblings = true;
    for (int row = start; row <= end; ++row)
        items.append(childItem(d, model()->index(row, 0, parent), last, row < end));
    items[last].total += end - start + 1;
    items[last].hasChildren = true;
    return firstNew;
}

void TreeWidget::showLateRows()
{
    if (mLateRows.isEmpty())
        return;
    const QSet<int> late = std::exchange(mLateRows, {});
    QTreeViewPrivate* d = viewOf(d_ptr);
    if (mLayoutOwed || d->delayedPendingLayout)
        return; // the full layout shows them
    QVector<QTreeViewItem>& items = d->viewItems;
    // The groups that have more rows than they show, in view order, and where their rows end.
    struct Grown
    {
        int at;
        int shown;
        int added;
    };
    QVector<Grown> grown;
    int added = 0;
    const int count = items.size();
    for (int k = 0; k < count;) {
        const QTreeViewItem& group = items.at(k);
        if (group.level != 0) {
            layoutNow(); // not a tree this merge knows
            return;
        }
        const int shown = group.expanded ? int(group.total) : 0;
        // Collapsed before its rows were merged: Qt kept what it knew of its children then.
        if (!group.expanded && late.contains(group.index.row()))
            items[k].hasChildren = d->hasVisibleChildren(group.index);
        if (group.expanded && late.contains(group.index.row())) {
            const int rows = model()->rowCount(group.index);
            for (int c = k + 1; c <= k + shown; ++c)
                if (items.at(c).level != 1 || items.at(c).total != 0) {
                    layoutNow();
                    return;
                }
            if (rows > shown) {
                grown.append({k, shown, rows - shown});
                added += rows - shown;
            }
        }
        k += 1 + shown;
    }
    if (grown.isEmpty())
        return;
    // In place, from the end: every stretch between two grown groups moves down by the rows
    // added above its end, and the new rows go in behind each grown group's last one.
    items.resize(count + added);
    QTreeViewItem* item = items.data();
    int stretchEnd = count; // one past the stretch still to move
    int shift = added;
    for (int i = grown.size() - 1; i >= 0; --i) {
        const Grown& g = grown.at(i);
        const int stretchBegin = g.at + g.shown + 1;
        std::memmove(static_cast<void*>(item + stretchBegin + shift), item + stretchBegin,
                     sizeof(QTreeViewItem) * size_t(stretchEnd - stretchBegin));
        for (int j = stretchBegin + shift; j < stretchEnd + shift; ++j)
            if (item[j].parentItem >= 0)
                item[j].parentItem += shift;
        shift -= g.added;
        // The group and the rows it shows move later, with the stretch above them.
        QTreeViewItem& group = item[g.at];
        const int groupAt = g.at + shift;
        for (int row = g.shown; row < g.shown + g.added; ++row)
            item[groupAt + 1 + row] = childItem(d, model()->index(row, 0, group.index), groupAt,
                                                row + 1 < g.shown + g.added);
        if (g.shown > 0)
            item[g.at + g.shown].hasMoreSiblings = true;
        group.total = g.shown + g.added;
        group.hasChildren = true;
        stretchEnd = g.at + g.shown + 1;
    }
    d->lastViewedItem = qMax(0, items.size() - 1);
    d->hoverBranch = -1;
    updateGeometriesLater(grown.first().at);
}

#else

bool TreeWidget::noteTopLevelRows()
{
    return false;
}

bool TreeWidget::viewItemsCurrent() const
{
    return false;
}

bool TreeWidget::removeViewRows(const QVector<QTreeWidgetItem*>&)
{
    return false;
}

void TreeWidget::onRowsRemoved(const QModelIndex& parent, int start, int end)
{
    QTreeView::rowsRemoved(parent, start, end);
}

int TreeWidget::rowHeightShown() const
{
    return 0;
}

int TreeWidget::appendViewRows(const QModelIndex&, int, int)
{
    return -1;
}

void TreeWidget::showLateRows() {}

#endif

} // namespace tarvik
