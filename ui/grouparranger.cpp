#include "ui/grouparranger.h"

#include "ui/fileitem.h"

#include <QStringMatcher>
#include <QTreeWidgetItem>
#include <algorithm>

namespace tarvik {

namespace {

// The full path of a row; file rows keep theirs, so most need no copy through a QVariant.
QString pathOf(const QTreeWidgetItem* row)
{
    const auto* file = dynamic_cast<const FileItem*>(row);
    return file ? file->path() : row->text(3);
}

bool anyPathHolds(const QTreeWidgetItem* group, const QStringMatcher& text)
{
    for (int i = 0; i < group->childCount(); ++i) {
        if (text.indexIn(pathOf(group->child(i))) >= 0)
            return true;
    }
    return false;
}

// The size of the group's files, from the first row that has one.
qint64 fileSize(const QTreeWidgetItem* group)
{
    for (int i = 0; i < group->childCount(); ++i) {
        const QTreeWidgetItem* row = group->child(i);
        if (const auto* file = dynamic_cast<const FileItem*>(row)) {
            if (file->stamp().valid)
                return file->stamp().size;
        } else if (const FileStamp stamp = stampOf(row); stamp.valid) {
            return stamp.size;
        }
    }
    return 0;
}

} // namespace

GroupArranger::GroupArranger(TreeWidget* tree) : mTree(tree) {}

void GroupArranger::apply(const QVector<QTreeWidgetItem*>& found)
{
    QVector<QTreeWidgetItem*> shown;
    if (mFilter.isEmpty()) {
        shown = found;
    } else {
        const QStringMatcher text(mFilter, Qt::CaseInsensitive);
        shown.reserve(found.size());
        for (QTreeWidgetItem* group : found) {
            if (anyPathHolds(group, text))
                shown.append(group);
        }
    }
    if (mOrder != GroupOrder::Found) {
        // Keys made once; the sort is stable, so ties keep the order found.
        struct Keyed
        {
            qint64 number;
            QString text;
            QTreeWidgetItem* group;
        };
        QVector<Keyed> keyed;
        keyed.reserve(shown.size());
        for (QTreeWidgetItem* group : qAsConst(shown)) {
            const int files = group->childCount();
            Keyed k{0, QString(), group};
            switch (mOrder) {
            case GroupOrder::Waste:
                k.number = fileSize(group) * qMax(0, files - 1);
                break;
            case GroupOrder::Size:
                k.number = fileSize(group);
                break;
            case GroupOrder::Copies:
                k.number = files;
                break;
            case GroupOrder::Path:
                k.text = files > 0 ? pathOf(group->child(0)).toCaseFolded() : QString();
                break;
            case GroupOrder::Found:
                break;
            }
            keyed.append(k);
        }
        if (mOrder == GroupOrder::Path) {
            std::stable_sort(keyed.begin(), keyed.end(),
                             [](const Keyed& a, const Keyed& b) { return a.text < b.text; });
        } else {
            std::stable_sort(keyed.begin(), keyed.end(),
                             [](const Keyed& a, const Keyed& b) { return a.number > b.number; });
        }
        for (int g = 0; g < keyed.size(); ++g)
            shown[g] = keyed.at(g).group;
    }
    mShown = shown.size();
    mTree->setTopLevelItems(shown, &mCollapsed);
}

void GroupArranger::release(const QVector<QTreeWidgetItem*>& found)
{
    for (QTreeWidgetItem* group : found) {
        if (!group->treeWidget())
            delete group;
    }
    mCollapsed.clear();
    mShown = 0;
}

} // namespace tarvik
