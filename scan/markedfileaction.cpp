#include "scan/markedfileaction.h"

#include "core/trash.h"
#include "scan/contentreader.h"

#include <QFile>

namespace tarvik {

MarkedCheckResult checkMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel,
                                  KeptBytes bytes)
{
    ContentReader reader(cancel, nullptr);
    return checkMarkedFile(task, reader, bytes);
}

MarkedCheckResult checkMarkedFile(const MarkedTrashTask& task, ContentReader& reader,
                                  KeptBytes bytes)
{
    if (!task.stamp.valid || FileStamp::of(task.path) != task.stamp)
        return {MarkedCheck::ChangedSince};
    if (!task.needsKeptCopy)
        return {MarkedCheck::Verified};
    const QByteArray markedName = QFile::encodeName(task.path);
    bool present = false;
    for (int i = 0; i < task.keep.size(); ++i) {
        const MarkedTrashTask::Copy& copy = task.keep.at(i);
        if (!copy.stamp.valid || FileStamp::of(copy.path) != copy.stamp)
            continue;
        present = true;
        if (bytes == KeptBytes::LeftToKernel)
            return {MarkedCheck::Verified, i};
        const QByteArray keptName = QFile::encodeName(copy.path);
        switch (reader.compare(FileName{keptName.constData(), -1, nullptr},
                               FileName{markedName.constData(), -1, nullptr}, task.stamp.size)) {
        case ContentReader::Match::Stopped:
            return {MarkedCheck::Cancelled};
        case ContentReader::Match::Equal:
            return {MarkedCheck::Verified, i};
        case ContentReader::Match::Differ:
        case ContentReader::Match::FirstFailed:
        case ContentReader::Match::SecondFailed:
            break;
        }
    }
    return {present ? MarkedCheck::KeptCopyDiffers : MarkedCheck::NoKeptCopy};
}

MarkedTrashResult trashMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel)
{
    return MarkedFileTrasher(cancel).trash(task);
}

MarkedFileTrasher::MarkedFileTrasher(const StopCheck& cancel) : mReader(cancel, nullptr) {}

MarkedTrashResult MarkedFileTrasher::trash(const MarkedTrashTask& task)
{
    switch (checkMarkedFile(task, mReader).check) {
    case MarkedCheck::Verified:
        break;
    case MarkedCheck::ChangedSince:
        return MarkedTrashResult::ChangedSince;
    case MarkedCheck::NoKeptCopy:
        return MarkedTrashResult::NoKeptCopy;
    case MarkedCheck::KeptCopyDiffers:
        return MarkedTrashResult::KeptCopyDiffers;
    case MarkedCheck::Cancelled:
        return MarkedTrashResult::Cancelled;
    }
    switch (mTrash.moveIfUnchanged(task.path, task.stamp)) {
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
