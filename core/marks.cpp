#include "core/marks.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <functional>

namespace tarvik {

namespace {

// Marks all but the first file that no other file beats.
void keepBest(MarkedGroup& group,
              const std::function<bool(const MarkedFile&, const MarkedFile&)>& beats)
{
    if (group.isEmpty())
        return;
    int best = 0;
    for (int i = 1; i < group.size(); ++i) {
        if (beats(group[i], group[best]))
            best = i;
    }
    for (int i = 0; i < group.size(); ++i)
        group[i].marked = i != best;
}

bool below(const QString& path, const QString& folder)
{
    const QString file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return folder.endsWith(QLatin1Char('/')) ? file.startsWith(folder)
                                             : file.startsWith(folder + QLatin1Char('/'));
}

} // namespace

void applyMarkRule(QVector<MarkedGroup>* groups, MarkRule rule, const QString& folder)
{
    const QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (MarkedGroup& group : *groups) {
        switch (rule) {
        case MarkRule::AllButOldest:
            keepBest(group, [](const MarkedFile& a, const MarkedFile& b) {
                return a.modifiedMs < b.modifiedMs;
            });
            break;
        case MarkRule::AllButNewest:
            keepBest(group, [](const MarkedFile& a, const MarkedFile& b) {
                return a.modifiedMs > b.modifiedMs;
            });
            break;
        case MarkRule::AllButFirst:
            keepBest(group, [](const MarkedFile&, const MarkedFile&) { return false; });
            break;
        case MarkRule::AllButShortestPath:
            keepBest(group, [](const MarkedFile& a, const MarkedFile& b) {
                return a.path.size() < b.path.size();
            });
            break;
        case MarkRule::OutsideFolder: {
            const bool anyInside =
                std::any_of(group.begin(), group.end(),
                            [&](const MarkedFile& f) { return below(f.path, root); });
            for (MarkedFile& file : group)
                file.marked = anyInside && !below(file.path, root);
            break;
        }
        case MarkRule::Invert: {
            const bool anyMarked = std::any_of(group.begin(), group.end(),
                                               [](const MarkedFile& f) { return f.marked; });
            if (!anyMarked)
                break;
            for (MarkedFile& file : group)
                file.marked = !file.marked;
            break;
        }
        case MarkRule::Clear:
            for (MarkedFile& file : group)
                file.marked = false;
            break;
        }
    }
}

} // namespace tarvik
