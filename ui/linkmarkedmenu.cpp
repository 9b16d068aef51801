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
    addRunner("ShareStorageAction", tr("Share Storage with a Kept Copy..."),
              new MarkedFileRunner(
                  std::make_unique<LinkMarkedOperation>(LinkMarkedOperation::Kind::ShareStorage),
                  tree, page),
              FileItem::SharedStorage);
#endif
    addRunner(
        "HardLinkAction", tr("Replace with Hard Links..."),
        new MarkedFileRunner(
            std::make_unique<LinkMarkedOperation>(LinkMarkedOperation::Kind::HardLink), tree, page),
        FileItem::HardLink);
}

void LinkMarkedMenu::addRunner(const char* name, const QString& text, MarkedFileRunner* runner,
                               int storage)
{
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
