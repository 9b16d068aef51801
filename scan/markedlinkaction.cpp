#include "scan/markedlinkaction.h"

namespace tarvik {

namespace {

LinkOutcome fromCheck(MarkedCheck check)
{
    switch (check) {
    case MarkedCheck::Verified:
        return LinkOutcome::Done;
    case MarkedCheck::ChangedSince:
        return LinkOutcome::ChangedSince;
    case MarkedCheck::NoKeptCopy:
        return LinkOutcome::NoKeptCopy;
    case MarkedCheck::KeptCopyDiffers:
        return LinkOutcome::KeptCopyDiffers;
    case MarkedCheck::Cancelled:
        return LinkOutcome::Cancelled;
    }
    return LinkOutcome::ChangedSince;
}

enum class Reach { AnyFileSystem, SameFileSystem };

using Replace = LinkOutcome (*)(const MarkedTrashTask& task, const MarkedTrashTask::Copy& kept,
                                const StopCheck& cancel);

// Checks the marked file and acts with the first kept copy that passes; a copy that lies on
// another file system, or that the kernel finds different, gives way to the next one.
LinkOutcome replaceMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel, KeptBytes bytes,
                              Reach reach, quint64 device, Replace replace)
{
    // The copies on the marked file's own file system come first; a name of the marked file
    // itself is no copy to share with.
    MarkedTrashTask left = task;
    left.keep.clear();
    QVector<MarkedTrashTask::Copy> elsewhere;
    bool oneFile = false;
    for (const MarkedTrashTask::Copy& copy : task.keep) {
        // Stamps without inodes (Windows) tell no two names of one file apart.
        if (copy.stamp.targetInode != 0 && copy.stamp.targetDevice == task.stamp.targetDevice &&
            copy.stamp.targetInode == task.stamp.targetInode)
            oneFile = true;
        else
            (copy.stamp.targetDevice == device ? left.keep : elsewhere).append(copy);
    }
    if (reach == Reach::AnyFileSystem)
        left.keep += elsewhere;
    if (left.keep.isEmpty()) {
        // The marked file's own state still comes first in what the summary says.
        const MarkedCheck check = checkMarkedFile(task, cancel, KeptBytes::LeftToKernel).check;
        if (check != MarkedCheck::Verified || task.keep.isEmpty())
            return check == MarkedCheck::Verified ? LinkOutcome::NoKeptCopy : fromCheck(check);
        return oneFile ? LinkOutcome::AlreadyOneFile : LinkOutcome::OtherFileSystem;
    }
    bool triedOne = false;
    LinkOutcome tried = LinkOutcome::Done;
    for (;;) {
        const MarkedCheckResult check = checkMarkedFile(left, cancel, bytes);
        if (check.check != MarkedCheck::Verified) {
            // After a copy elsewhere, what the copies left say matters less, unless it is about
            // the marked file itself.
            const bool aboutMarked =
                check.check == MarkedCheck::ChangedSince || check.check == MarkedCheck::Cancelled;
            return triedOne && !aboutMarked ? tried : fromCheck(check.check);
        }
        triedOne = true;
        tried = replace(task, left.keep.at(check.keptCopy), cancel);
        if (tried != LinkOutcome::OtherFileSystem && tried != LinkOutcome::KeptCopyDiffers)
            return tried;
        // The copies before it did not pass the check either.
        left.keep.erase(left.keep.begin(), left.keep.begin() + check.keptCopy + 1);
        if (left.keep.isEmpty())
            return tried;
    }
}

LinkOutcome share(const MarkedTrashTask& task, const MarkedTrashTask::Copy& kept,
                  const StopCheck& cancel)
{
    return shareStorage(task.path, task.stamp, kept.path, kept.stamp, cancel);
}

LinkOutcome link(const MarkedTrashTask& task, const MarkedTrashTask::Copy& kept, const StopCheck&)
{
    return hardLinkOver(task.path, task.stamp, kept.path, kept.stamp);
}

} // namespace

LinkOutcome shareMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel)
{
    // Subvolumes of one Btrfs volume have devices of their own and still share storage.
    return replaceMarkedFile(task, cancel, KeptBytes::LeftToKernel, Reach::AnyFileSystem,
                             task.stamp.targetDevice, &share);
}

LinkOutcome hardLinkMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel)
{
    // The new name goes where the marked file's entry is, in its folder's file system.
    return replaceMarkedFile(task, cancel, KeptBytes::Compare, Reach::SameFileSystem,
                             task.stamp.entryDevice, &link);
}

} // namespace tarvik
