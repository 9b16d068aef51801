#include "ui/treewidget.h"

#include <QKeyEvent>

namespace tarvik {

TreeWidget::TreeWidget(QWidget* parent) : QTreeWidget(parent) {}

void TreeWidget::holdLayout()
{
    mLayoutHeld = true;
    // With a layout pending, Qt only notes rows added and groups expanded; without one it
    // looks each parent up among all the rows laid out.
    scheduleDelayedItemsLayout();
}

void TreeWidget::releaseLayout()
{
    mLayoutHeld = false;
    if (mLayoutOwed)
        layoutNow();
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

void TreeWidget::doItemsLayout()
{
    if (mLayoutHeld) {
        mLayoutOwed = true;
        return;
    }
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

} // namespace tarvik
