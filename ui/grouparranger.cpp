#include "ui/grouparranger.h"

#include "ui/fileitem.h"

#include <QStringMatcher>
#include <QTreeWidgetItem>
#include <algorithm>

namespace tarvik {

namespace {

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
        if (const FileStamp stamp = stampOf(group->child(i)); stamp.valid)
            return stamp.size;
    }
    return 0;
}

// A group and what it is sorted by.
struct Keyed
{
    qint64 number;
    // The case-folded path's first units after those all paths share, packed in order, so
    // that most comparisons need not reach the strings.
    quint64 head[2];
    QString text;
    QTreeWidgetItem* group;
};

void packHeads(QVector<Keyed>* keyed)
{
    if (keyed->isEmpty())
        return;
    const QString& first = keyed->first().text;
    int shared = first.size();
    for (const Keyed& k : qAsConst(*keyed)) {
        shared = qMin(shared, k.text.size());
        int i = 0;
        while (i < shared && k.text.at(i) == first.at(i))
            ++i;
        shared = i;
    }
    for (Keyed& k : *keyed) {
        // A string that ends packs as units of 0: never after a longer one it begins.
        for (int word = 0; word < 2; ++word) {
            quint64 packed = 0;
            for (int u = 0; u < 4; ++u) {
                const int at = shared + word * 4 + u;
                packed = packed << 16 | (at < k.text.size() ? k.text.at(at).unicode() : 0);
            }
            k.head[word] = packed;
        }
    }
}

} // namespace

void GroupArranger::sortGroups(QVector<QTreeWidgetItem*>* groups) const
{
    // Keys made once; the sort is stable, so ties keep the order found.
    QVector<Keyed> keyed;
    keyed.reserve(groups->size());
    for (QTreeWidgetItem* group : qAsConst(*groups)) {
        const int files = group->childCount();
        Keyed k{0, {0, 0}, QString(), group};
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
        packHeads(&keyed);
        std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
            if (a.head[0] != b.head[0])
                return a.head[0] < b.head[0];
            if (a.head[1] != b.head[1])
                return a.head[1] < b.head[1];
            return a.text < b.text;
        });
    } else {
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const Keyed& a, const Keyed& b) { return a.number > b.number; });
    }
    for (int g = 0; g < keyed.size(); ++g)
        (*groups)[g] = keyed.at(g).group;
}

GroupArranger::GroupArranger(TreeWidget* tree) : mTree(tree) {}

void GroupArranger::apply(const QVector<QTreeWidgetItem*>& found, const PathIndex* paths)
{
    QVector<QTreeWidgetItem*> shown;
    if (mFilter.isEmpty()) {
        shown = found;
    } else {
        const QStringMatcher text(mFilter, Qt::CaseInsensitive);
        const QVector<bool> maybe =
            paths ? paths->candidates(mFilter, found.size()) : QVector<bool>(found.size(), true);
        for (int g = 0; g < found.size(); ++g) {
            if (maybe.at(g) && anyPathHolds(found.at(g), text))
                shown.append(found.at(g));
        }
    }
    if (mOrder != GroupOrder::Found)
        sortGroups(&shown);
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
