#pragma once

#include "ui/pathindex.h"
#include "ui/treewidget.h"

#include <QString>
#include <QVector>

class QTreeWidgetItem;

namespace tarvik {

// The orders the groups can be shown in. Ties keep the order found.
enum class GroupOrder {
    Found,
    // Size times the files beyond the first, largest first.
    Waste,
    // File size, largest first.
    Size,
    // Files in the group, most first.
    Copies,
    // The group's first path, A to Z, case ignored.
    Path,
};

// Which groups the tree shows, and in which order: the order chosen, and only the groups with a
// file whose full path holds the filter text (case ignored). Groups left out are taken out of
// the tree whole, with their rows and marks, and come back as they were; they are owned here
// meanwhile. The tree is rearranged in one removal and one insertion, so that the cost grows
// with the rows, not with the groups moved.
class GroupArranger
{
public:
    explicit GroupArranger(TreeWidget* tree);

    void setOrder(GroupOrder order) { mOrder = order; }
    GroupOrder order() const { return mOrder; }
    void setFilter(const QString& text) { mFilter = text; }
    const QString& filter() const { return mFilter; }
    // Nothing to rearrange: found order, no filter.
    bool isPlain() const { return mOrder == GroupOrder::Found && mFilter.isEmpty(); }

    // Shows the groups of found, every group made since the last reset in the order found,
    // as chosen; paths, where given, holds those of their rows.
    void apply(const QVector<QTreeWidgetItem*>& found, const PathIndex* paths = nullptr);
    // Deletes the groups of found that are not in the tree; the tree deletes its own.
    void release(const QVector<QTreeWidgetItem*>& found);

    int shownCount() const { return mShown; }

private:
    // Puts groups in the order chosen.
    void sortGroups(QVector<QTreeWidgetItem*>* groups) const;

    TreeWidget* mTree;
    GroupOrder mOrder = GroupOrder::Found;
    QString mFilter;
    TreeWidget::GroupSet mCollapsed;
    int mShown = 0;
};

} // namespace tarvik
