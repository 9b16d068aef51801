// The Replace Marked menu and its two runners.

#include "ui/linkmarkedmenu.h"

#include "ui/fileitem.h"
#include "ui/linkmarkedoperation.h"
#include "ui/markedfilerunner.h"

namespace tarvik {

LinkMarkedMenu::LinkMarkedMenu(QTreeWidget* tree, QWidget* page, QWidget* parent) : QMenu(parent)
{
#ifndef Q_OS_WIN
    // Windows shares storage only on ReFS, through a request not made here.
    addRunner("ShareStorageAction", tr("Share Storage..."),
              LinkMarkedOperation::Kind::ShareStorage, tree, page);
#endif
    addRunner("HardLinkAction", tr("Replace with Hard Links..."),
              LinkMarkedOperation::Kind::HardLink, tree, page);
}

void LinkMarkedMenu::addRunner(const char* name, const QString& text,
                               LinkMarkedOperation::Kind kind, QTreeWidget* tree, QWidget* page)
{
    auto* runner = new MarkedFileRunner(std::make_unique<LinkMarkedOperation>(kind), tree, page);
    const int storage =
        kind == LinkMarkedOperation::Kind::HardLink ? FileItem::HardLink : FileItem::SharedStorage;
    QAction* action = addAction(text);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, runner, &MarkedFileRunner::start);
    connect(runner, &MarkedFileRunner::fileDone, this,
            [this, storage](QTreeWidgetItem* row) { emit fileReplaced(row, storage); });
    connect(runner, &MarkedFileRunner::finished, this, &LinkMarkedMenu::finished);
    mRunners.append(runner);
}

void LinkMarkedMenu::abandon()
{
    for (MarkedFileRunner* runner : qAsConst(mRunners))
        runner->abandon();
}

} // namespace tarvik
