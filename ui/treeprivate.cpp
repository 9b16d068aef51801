#include "ui/treeprivate.h"

#ifdef TARVIK_TREE_VIEW_ITEMS

#include <QTreeWidgetItem>

namespace tarvik {

namespace {

// A private member, reached through an explicit instantiation, which may name one.
template <typename Tag, typename Tag::type Member> struct Reach
{
    friend typename Tag::type reach(Tag) { return Member; }
};

struct PrivatePart
{
    using type = QTreeWidgetItemPrivate* QTreeWidgetItem::*;
    friend type reach(PrivatePart);
};

struct Children
{
    using type = QList<QTreeWidgetItem*> QTreeWidgetItem::*;
    friend type reach(Children);
};

struct View
{
    using type = QTreeWidget* QTreeWidgetItem::*;
    friend type reach(View);
};

struct CreateIndex
{
    using type = QModelIndex (QAbstractItemModel::*)(int, int, void*) const;
    friend type reach(CreateIndex);
};

template struct Reach<CreateIndex, &QAbstractItemModel::createIndex>;
template struct Reach<PrivatePart, &QTreeWidgetItem::d>;
template struct Reach<Children, &QTreeWidgetItem::children>;
template struct Reach<View, &QTreeWidgetItem::view>;

} // namespace

QTreeWidgetItemPrivate* itemPrivate(const QTreeWidgetItem* item)
{
    return item->*reach(PrivatePart());
}

QList<QTreeWidgetItem*>& childrenOf(QTreeWidgetItem* item)
{
    return item->*reach(Children());
}

QModelIndex makeIndex(const QAbstractItemModel* model, int row, int column, void* pointer)
{
    return (model->*reach(CreateIndex()))(row, column, pointer);
}

void setItemTree(QTreeWidgetItem* item, QTreeWidget* tree)
{
    item->*reach(View()) = tree;
}

void setTreeOf(QTreeWidgetItem* item, QTreeWidget* tree)
{
    setItemTree(item, tree);
    for (QTreeWidgetItem* child : qAsConst(childrenOf(item)))
        setTreeOf(child, tree);
}

} // namespace tarvik

#endif
