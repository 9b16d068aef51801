#include "ui/treeprivate.h"

#ifdef TARVIK_TREE_VIEW_ITEMS

#include <QStack>
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

void setTreeOf(QTreeWidgetItem* item, QTreeWidget* tree)
{
    QStack<QTreeWidgetItem*> stack;
    stack.push(item);
    while (!stack.isEmpty()) {
        QTreeWidgetItem* next = stack.pop();
        next->*reach(View()) = tree;
        for (QTreeWidgetItem* child : qAsConst(childrenOf(next)))
            stack.push(child);
    }
}

} // namespace tarvik

#endif
