#pragma once

#include "ui/linkmarkedoperation.h"

#include <QMenu>

class QTreeWidget;
class QTreeWidgetItem;

namespace tarvik {

class MarkedFileRunner;

// The Replace Marked button's menu: the marked files keep their paths and either share their
// storage with a kept copy or become hard links to one. Each action runs on the marked files
// of the tree through a runner of its own, whose dialogs belong to page.
class LinkMarkedMenu : public QMenu
{
    Q_OBJECT

public:
    LinkMarkedMenu(QTreeWidget* tree, QWidget* page, QWidget* parent);

public slots:
    // Stops at once, without a summary: call it before the rows go.
    void abandon();

signals:
    // In the GUI thread, for each file replaced, with its FileItem::Storage now; the row is
    // still in the tree.
    void fileReplaced(QTreeWidgetItem* row, int storage);
    // A summary is shown.
    void finished();

private:
    void addRunner(const char* name, const QString& text, LinkMarkedOperation::Kind kind,
                   QTreeWidget* tree, QWidget* page);

    QList<MarkedFileRunner*> mRunners;
};

} // namespace tarvik
