#include "ui/treewidget.h"

#include "ui/treeprivate.h"

#include <QKeyEvent>
#include <QTimer>
#include <climits>

namespace tarvik {

TreeWidget::TreeWidget(QWidget* parent)
    : QTreeWidget(parent),
      mViewItems(viewItemsFit(qVersion()) && !qEnvironmentVariableIsSet("TARVIK_TREE_QT_LAYOUT"))
{
    if (!mViewItems)
        return;
    // QTreeView forgets every view item when rows go; rows taken out here are dropped from them
    // instead, so its handler is reached through ours.
    disconnect(model(), SIGNAL(rowsRemoved(QModelIndex, int, int)), this,
               SLOT(rowsRemoved(QModelIndex, int, int)));
    connect(model(), SIGNAL(rowsRemoved(QModelIndex, int, int)), this,
            SLOT(onRowsRemoved(QModelIndex, int, int)));
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
    // Not addTopLevelItem(): only addChild() tells the item its row, which the model would
    // otherwise search all the groups for.
    invisibleRootItem()->addChild(item);
    mExpandAppended = false;
    // Where the row could not be appended here, Qt expands it its own way.
    if (item->childCount() > 0 && !item->isExpanded())
        item->setExpanded(true);
}

void TreeWidget::removeRows(const QVector<QTreeWidgetItem*>& rows)
{
    if (rows.isEmpty() || removeViewRows(rows))
        return;
    if (rows.size() <= kFewRows) {
        for (QTreeWidgetItem* row : rows) {
            row->parent()->removeChild(row);
            delete row;
        }
        // Qt has forgotten its layout: a held tree would show nothing until the next one.
        if (mLayoutHeld)
            layoutNow();
        return;
    }
    // One removal and one insertion in all, whatever the number of groups touched.
    QVector<QTreeWidgetItem*> groups;
    groups.reserve(topLevelItemCount());
    for (int g = 0; g < topLevelItemCount(); ++g)
        groups.append(topLevelItem(g));
    GroupSet collapsed;
    replaceTopLevel(groups, &collapsed, [&rows] {
        for (QTreeWidgetItem* row : rows) {
            if (QTreeWidgetItem* group = row->parent())
                group->removeChild(row);
        }
        qDeleteAll(rows);
    });
}

void TreeWidget::setTopLevelItems(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed)
{
    if (arrangeViewRows(groups, collapsed))
        return;
    replaceTopLevel(groups, collapsed, [] {});
}

void TreeWidget::replaceTopLevel(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed,
                                 const std::function<void()>& whileDetached)
{
    QTreeWidgetItem* current = currentItem();
    noteCollapsed(collapsed);
    // A layout Qt owes would be of rows about to go.
    mLayoutOwed = false;
    invisibleRootItem()->takeChildren();
    whileDetached();
    // Of a tree with no rows: at once, and nothing is owed afterwards.
    layoutNow();
    if (mViewItems && viewItemsCurrent()) {
        mExpandAppended = true;
        mCollapsedOnAppend = collapsed;
        addTopLevelItems(QList<QTreeWidgetItem*>(groups.begin(), groups.end()));
        mCollapsedOnAppend = nullptr;
        mExpandAppended = false;
        noteTopLevelRows();
    } else {
        // Expanding with a layout pending only notes the row; the layout comes once, below.
        scheduleDelayedItemsLayout();
        // One by one, at the end, where the model neither walks its persistent indexes nor
        // loses a row's place.
        for (QTreeWidgetItem* group : groups)
            invisibleRootItem()->addChild(group);
        for (QTreeWidgetItem* group : groups) {
            if (group->childCount() > 0 && !collapsed->contains(group))
                group->setExpanded(true);
        }
        layoutNow();
    }
    if (current && current->treeWidget() == this) {
        setCurrentItem(current);
        scrollToItem(current);
    }
}

void TreeWidget::noteCollapsed(GroupSet* collapsed) const
{
    for (int g = 0; g < topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = topLevelItem(g);
        if (group->childCount() == 0)
            continue;
        if (group->isExpanded())
            collapsed->remove(group);
        else
            collapsed->insert(group);
    }
}

void TreeWidget::doItemsLayout()
{
    if (mLayoutHeld) {
        mLayoutOwed = true;
        return;
    }
    mLateRows.clear();
    dropSpareRows();
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

void TreeWidget::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // What QTreeView does besides forgetting its view items.
    if (mPatching)
        QAbstractItemView::rowsAboutToBeRemoved(parent, start, end); // NOLINT
    else
        QTreeWidget::rowsAboutToBeRemoved(parent, start, end);
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

} // namespace tarvik
