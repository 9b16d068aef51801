#pragma once

#include <QStyledItemDelegate>

namespace tarvik {

// Draws a column's texts cut in the middle when they do not fit: a path keeps its folder's
// start and its file name, where copies differ.
class MiddleElideDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

} // namespace tarvik
