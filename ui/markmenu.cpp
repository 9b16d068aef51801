// The Mark menu's rules, applied to every group of the tree.

#include "ui/markmenu.h"

#include "core/marks.h"
#include "ui/fileitem.h"
#include "ui/toolbar.h"

#include <QTreeWidget>

namespace tarvik {

MarkMenu::MarkMenu(QTreeWidget* tree, QWidget* parent) : QMenu(parent), mTree(tree)
{
    const struct
    {
        const char* name;
        QString text;
        MarkRule rule;
    } rules[] = {
        {"MarkAllButOldestAction", tr("Mark All but the Oldest"), MarkRule::AllButOldest},
        {"MarkAllButNewestAction", tr("Mark All but the Newest"), MarkRule::AllButNewest},
        {"MarkAllButFirstAction", tr("Mark All but the First Found"), MarkRule::AllButFirst},
        {"MarkAllButShortestPathAction", tr("Mark All but the Shortest Path"),
         MarkRule::AllButShortestPath},
        {"MarkOutsideFolderAction", tr("Mark Copies Outside a Folder..."), MarkRule::OutsideFolder},
        {"InvertMarksAction", tr("Invert Marks"), MarkRule::Invert},
        {"ClearMarksAction", tr("Clear Marks"), MarkRule::Clear},
    };
    for (const auto& rule : rules) {
        QAction* action = addAction(rule.text);
        action->setObjectName(QLatin1String(rule.name));
        action->setData(int(rule.rule));
    }
    connect(this, &QMenu::triggered, this, &MarkMenu::apply);
}

void MarkMenu::apply(QAction* action)
{
    bool known = false;
    const auto rule = MarkRule(action->data().toInt(&known));
    if (!known)
        return;
    QString folder;
    if (rule == MarkRule::OutsideFolder) {
        folder = askForFolder(mTree->window(), tr("Keep the Copies in Folder"));
        if (folder.isEmpty())
            return;
    }
    QVector<MarkedGroup> groups;
    groups.reserve(mTree->topLevelItemCount());
    for (int g = 0; g < mTree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = mTree->topLevelItem(g);
        MarkedGroup group;
        group.reserve(groupItem->childCount());
        for (int i = 0; i < groupItem->childCount(); ++i) {
            const QTreeWidgetItem* item = groupItem->child(i);
            const FileStamp stamp = stampOf(item);
            group.append({pathOf(item), stamp.size, stamp.modifiedNs / 1000000, isMarked(item)});
        }
        groups.append(group);
    }
    applyMarkRule(&groups, rule, folder);
    emit aboutToApply();
    for (int g = 0; g < groups.size(); ++g) {
        QTreeWidgetItem* groupItem = mTree->topLevelItem(g);
        for (int i = 0; i < groups[g].size(); ++i) {
            QTreeWidgetItem* row = groupItem->child(i);
            const bool marked = groups[g][i].marked;
            if (isMarked(row) != marked)
                row->setCheckState(0, marked ? Qt::Checked : Qt::Unchecked);
        }
    }
    emit applied();
}

} // namespace tarvik
