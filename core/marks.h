#pragma once

#include <QString>
#include <QVector>

namespace tarvik {

// One file of a duplicate group as the marking rules see it; marked means "to go".
struct MarkedFile
{
    QString path;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    bool marked = false;
};
// A group's files in the order the scan met them.
using MarkedGroup = QVector<MarkedFile>;

enum class MarkRule {
    AllButOldest,
    AllButNewest,
    AllButFirst,
    AllButShortestPath,
    // Keeps the files below a folder and marks the rest, in groups with a file below it.
    OutsideFolder,
    Invert,
    Clear,
};

// Replaces the marks of every group by the rule. No rule ever marks every file of a group:
// where inverting would, the group is left as it was.
void applyMarkRule(QVector<MarkedGroup>* groups, MarkRule rule, const QString& folder = QString());

} // namespace tarvik
