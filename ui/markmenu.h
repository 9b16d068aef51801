#pragma once

#include <QMenu>

class QTreeWidget;

namespace tarvik {

// The Mark button's menu: each action is a marking rule, carried in its data, that sets the
// marks of every group of the tree at once.
class MarkMenu : public QMenu
{
    Q_OBJECT

public:
    MarkMenu(QTreeWidget* tree, QWidget* parent);

signals:
    // Around a rule's marks, which may change a million rows one by one.
    void aboutToApply();
    void applied();

private slots:
    void apply(QAction* action);

private:
    QTreeWidget* mTree;
};

} // namespace tarvik
