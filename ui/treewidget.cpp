#include "ui/treewidget.h"

#include <QKeyEvent>

namespace tarvik {

TreeWidget::TreeWidget(QWidget* parent) : QTreeWidget(parent) {}

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
