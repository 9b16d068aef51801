#pragma once

// What the tree reaches of Qt's private data: the view's laid-out rows, and the parts of an item
// that the model keeps to itself. Only for the Qt version the program was built against.

#include "ui/treewidget.h"

#ifdef TARVIK_TREE_VIEW_ITEMS

#include <QList>
#include <QTreeView>
#include <QtWidgets/private/qtreeview_p.h>

class QTreeWidget;
class QTreeWidgetItem;
class QTreeWidgetItemPrivate;

namespace tarvik {

inline QTreeViewPrivate* viewOf(const QScopedPointer<QObjectData>& d)
{
    return static_cast<QTreeViewPrivate*>(d.data());
}

// A row under a group at the top level, laid out at view item parentItem.
inline QTreeViewItem childItem(const QTreeViewPrivate* d, const QModelIndex& index, int parentItem,
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

// The item's private part, which holds where the model last found it among its siblings.
QTreeWidgetItemPrivate* itemPrivate(const QTreeWidgetItem* item);
// The item's children as the model sees them; for the invisible root, the top-level rows.
QList<QTreeWidgetItem*>& childrenOf(QTreeWidgetItem* item);
// An index of the model, made as the model itself makes them.
QModelIndex makeIndex(const QAbstractItemModel* model, int row, int column, void* pointer);
// Tells the item and every row below it which tree they are in, nullptr for none.
void setTreeOf(QTreeWidgetItem* item, QTreeWidget* tree);
// The same for the item alone.
void setItemTree(QTreeWidgetItem* item, QTreeWidget* tree);

struct TreeWidget::SpareRows
{
    QVector<QTreeViewItem> items;
};

} // namespace tarvik

#else

struct tarvik::TreeWidget::SpareRows
{
};

#endif
