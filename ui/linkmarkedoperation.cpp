// Share Storage and Hard Links as operations of the marked-file runner.

#include "ui/linkmarkedoperation.h"

namespace tarvik {

QString LinkMarkedOperation::title() const
{
    return sharing() ? tr("Share Storage of Marked Files")
                     : tr("Replace Marked Files with Hard Links");
}

QString LinkMarkedOperation::question(int files, const QString& bytes) const
{
    return (sharing() ? tr("Make %Ln marked file(s) (%1) share their storage with a kept copy?",
                           nullptr, files)
                      : tr("Replace %Ln marked file(s) (%1) with hard links to a kept copy?",
                           nullptr, files))
        .arg(bytes);
}

QString LinkMarkedOperation::promise() const
{
    if (sharing())
        return tr("The file system compares the bytes itself and shares only what is equal. "
                  "Each file keeps its path, owner, permissions and times, and stays a file of "
                  "its own: a later change to one does not touch the other. A marked file takes "
                  "part only if it is unchanged since the scan and a copy that stays is present "
                  "as it was. Where the file system cannot share storage (ext4, another volume), "
                  "the file stays as it was.");
    return tr("Each marked file's name then leads to its kept copy: the two names are one file. "
              "A change made through one name shows through the other, and the owner, "
              "permissions and times become the kept copy's. A marked file is replaced only if "
              "it is unchanged since the scan and a copy that stays, on the same file system, is "
              "present and equal to it now; its path never goes missing.");
}

QString LinkMarkedOperation::acceptText() const
{
    return sharing() ? tr("Share Storage") : tr("Replace with Hard Links");
}

QString LinkMarkedOperation::everyCopyNote(int groups) const
{
    return sharing() ? tr("In %Ln group(s) every file is marked: with no copy that stays to "
                          "share with, their files stay as they are.",
                          nullptr, groups)
                     : tr("In %Ln group(s) every file is marked: with no copy that stays to link "
                          "to, their files stay as they are.",
                          nullptr, groups);
}

QString LinkMarkedOperation::progressText() const
{
    return sharing() ? tr("Sharing the storage of marked files...")
                     : tr("Replacing marked files with hard links...");
}

QString LinkMarkedOperation::doneText(int files, const QString& bytes) const
{
    return (sharing() ? tr("%Ln file(s) (%1) now share storage with a kept copy.", nullptr, files)
                      : tr("%Ln file(s) (%1) are now hard links to a kept copy.", nullptr, files))
        .arg(bytes);
}

std::unique_ptr<MarkedFileOperation::Run> LinkMarkedOperation::startRun(const StopCheck& stop) const
{
    // Nothing found for one file serves the next: each is linked on its own.
    class Linking : public Run
    {
    public:
        Linking(const LinkMarkedOperation& operation, const StopCheck& stop)
            : mOperation(operation), mStop(stop)
        {
        }
        int file(const MarkedTrashTask& task) override { return mOperation.linkFile(task, mStop); }

    private:
        const LinkMarkedOperation& mOperation;
        const StopCheck& mStop;
    };
    return std::make_unique<Linking>(*this, stop);
}

int LinkMarkedOperation::linkFile(const MarkedTrashTask& task, const StopCheck& stop) const
{
    const LinkOutcome outcome =
        sharing() ? shareMarkedFile(task, stop) : hardLinkMarkedFile(task, stop);
    // The summary lists the reasons in the order of the outcomes.
    static_assert(int(LinkOutcome::Done) == kDone, "done is the runner's own code");
    return outcome == LinkOutcome::Cancelled ? kNotAttempted : int(outcome);
}

int LinkMarkedOperation::reasonCount() const
{
    return int(LinkOutcome::Refused);
}

QString LinkMarkedOperation::reason(int code) const
{
    switch (LinkOutcome(code)) {
    case LinkOutcome::ChangedSince:
        return tr("changed since the scan");
    case LinkOutcome::NoKeptCopy:
        return tr("no kept copy present");
    case LinkOutcome::KeptCopyDiffers:
        return tr("the kept copy differs now");
    case LinkOutcome::OtherFileSystem:
        return tr("the kept copy is on another file system");
    case LinkOutcome::AlreadyOneFile:
        return tr("already one file with the kept copy");
    case LinkOutcome::SymbolicLink:
        return tr("a symbolic link, not a file of its own");
    case LinkOutcome::CannotShare:
        return tr("the file system cannot share storage");
    case LinkOutcome::SharedInPart:
        return tr("the file system shared only part of it");
    case LinkOutcome::Refused:
        return tr("the file system refused it");
    case LinkOutcome::Done:
    case LinkOutcome::Cancelled:
        break;
    }
    return QString();
}

} // namespace tarvik
