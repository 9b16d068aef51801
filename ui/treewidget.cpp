#include "ui/treewidget.h"

#include <QKeyEvent>
#include <QTimer>
#include <climits>
#include <cstring>

#ifdef TARVIK_TREE_VIEW_ITEMS
#include <QtWidgets/private/qtreeview_p.h>
#endif

namespace tarvik {

TreeWidget::TreeWidget(QWidget* parent)
    : QTreeWidget(parent),
      mViewItems(viewItemsFit(qVersion()) && !qEnvironmentVariableIsSet("TARVIK_TREE_QT_LAYOUT"))
{
}

bool TreeWidget::viewItemsFit(const char* qtVersion)
{
#ifdef TARVIK_TREE_VIEW_ITEMS
    return qstrcmp(qtVersion, QT_VERSION_STR) == 0;
#else
    Q_UNUSED(qtVersion)
    return false;
#endif
}

void TreeWidget::holdLayout()
{
    mLayoutHeld = true;
    // With a layout pending, Qt only notes rows added and groups expanded; without one it
    // looks each parent up among all the rows laid out.
    if (!mViewItems)
        scheduleDelayedItemsLayout();
}

void TreeWidget::releaseLayout()
{
    mLayoutHeld = false;
    if (mLayoutOwed)
        layoutNow();
    else
        showLateRows();
}

void TreeWidget::layoutNow()
{
    mLayoutOwed = false;
    const bool held = mLayoutHeld;
    mLayoutHeld = false;
    // Through the pending layout, so that it is not done a second time when its timer fires.
    scheduleDelayedItemsLayout();
    executeDelayedItemsLayout();
    mLayoutHeld = held;
}

void TreeWidget::appendExpanded(QTreeWidgetItem* item)
{
    mExpandAppended = true;
    addTopLevelItem(item);
    mExpandAppended = false;
    // Where the row could not be appended here, Qt expands it its own way.
    if (item->childCount() > 0 && !item->isExpanded())
        item->setExpanded(true);
}

void TreeWidget::doItemsLayout()
{
    if (mLayoutHeld) {
        mLayoutOwed = true;
        return;
    }
    mLateRows.clear();
    QTreeWidget::doItemsLayout();
}

void TreeWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Enter:
        emit enterPress();
        return;
    case Qt::Key_Delete:
        emit deletePress();
        return;
    default:
        QTreeView::keyPressEvent(event);
    }
}

void TreeWidget::rowsInserted(const QModelIndex& parent, int start, int end)
{
    const int changedRow = appendViewRows(parent, start, end);
    if (changedRow < 0) {
        QTreeWidget::rowsInserted(parent, start, end);
        return;
    }
    // What QTreeView would do beyond its layout.
    QAbstractItemView::rowsInserted(parent, start, end); // NOLINT(bugprone-parent-virtual-call)
    updateGeometriesLater(changedRow);
    if (!mLayoutHeld)
        showLateRows();
}

void TreeWidget::updateGeometries()
{
    if (mLayoutHeld) {
        updateGeometriesLater(INT_MAX);
        return;
    }
    QTreeWidget::updateGeometries();
}

void TreeWidget::updateGeometriesLater(int changedRow)
{
    mFirstChangedRow = mGeometriesOwed ? qMin(mFirstChangedRow, changedRow) : changedRow;
    if (mGeometriesOwed)
        return;
    mGeometriesOwed = true;
    QTimer::singleShot(0, this, [this]() {
        mGeometriesOwed = false;
        QTreeWidget::updateGeometries();
        if (mFirstChangedRow == INT_MAX)
            return; // nothing shown has changed yet
        const int height = rowHeightShown();
        if (height <= 0 ||
            qint64(mFirstChangedRow) * height - verticalOffset() < viewport()->height())
            viewport()->update();
    });
}

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

// A row under a group at the top level, laid out at view item parentItem.
QTreeViewItem childItem(const QTreeViewPrivate* d, const QModelIndex& index, int parentItem,
                        bool moreSiblings)
{
    QTreeViewItem item;
    item.index = index;
    item.parentItem = parentItem;
    item.level = 1;
    item.hasMoreSiblings = moreSiblings;
    item.hasChildren = d->hasVisibleChildren(index);
    return item;
}

} // namespace

int TreeWidget::rowHeightShown() const
{
    if (!mViewItems)
        return 0;
    return static_cast<const QTreeViewPrivate*>(d_ptr.data())->defaultItemHeight;
}

int TreeWidget::appendViewRows(const QModelIndex& parent, int start, int end)
{
    if (!mViewItems)
        return -1;
    auto* d = static_cast<QTreeViewPrivate*>(d_ptr.data());
    // Anything but rows appended to laid-out rows of a plain tree goes Qt's own way.
    if (mLayoutOwed || d->delayedPendingLayout || !d->uniformRowHeights || isSortingEnabled() ||
        !d->hiddenIndexes.isEmpty() || !d->spanningIndexes.isEmpty() || rootIndex().isValid() ||
        state() == AnimatingState || model()->rowCount(parent) != end + 1)
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
            if (mExpandAppended && d->storeExpanded(item.index))
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
    auto* d = static_cast<QTreeViewPrivate*>(d_ptr.data());
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
