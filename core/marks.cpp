#include "core/marks.h"

#include "core/trash.h"
#include "scan/contentreader.h"

#include <QDir>
#include <QFile>
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

MarkedTrashResult trashMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel)
{
    if (!task.stamp.valid || FileStamp::of(task.path) != task.stamp)
        return MarkedTrashResult::ChangedSince;
    if (task.needsKeptCopy) {
        ContentReader reader(cancel, nullptr);
        const QByteArray markedName = QFile::encodeName(task.path);
        bool present = false;
        bool equal = false;
        for (const MarkedTrashTask::Copy& copy : task.keep) {
            if (!copy.stamp.valid || FileStamp::of(copy.path) != copy.stamp)
                continue;
            present = true;
            const QByteArray keptName = QFile::encodeName(copy.path);
            const ContentReader::Match match =
                reader.compare(FileName{keptName.constData(), -1, nullptr},
                               FileName{markedName.constData(), -1, nullptr}, task.stamp.size);
            if (match == ContentReader::Match::Stopped)
                return MarkedTrashResult::Cancelled;
            if (match == ContentReader::Match::Equal) {
                equal = true;
                break;
            }
        }
        if (!equal)
            return present ? MarkedTrashResult::KeptCopyDiffers : MarkedTrashResult::NoKeptCopy;
    }
    switch (trashIfUnchanged(task.path, task.stamp)) {
    case TrashOutcome::Moved:
        return MarkedTrashResult::Moved;
    case TrashOutcome::Refused:
        return MarkedTrashResult::TrashRefused;
    case TrashOutcome::ChangedSince:
    case TrashOutcome::Gone:
        break;
    }
    return MarkedTrashResult::ChangedSince;
}

} // namespace tarvik
