// Trash Marked as an operation of the marked-file runner.

#include "ui/trashmarkedoperation.h"

namespace tarvik {

namespace {

// Why a marked file stayed, in the order the summary lists them.
enum Reason {
    ChangedSince = 1,
    NoKeptCopy,
    KeptCopyDiffers,
    TrashRefused,
    ReasonCount = TrashRefused
};

int codeOf(MarkedTrashResult result)
{
    switch (result) {
    case MarkedTrashResult::Moved:
        return MarkedFileOperation::kDone;
    case MarkedTrashResult::Cancelled:
        return MarkedFileOperation::kNotAttempted;
    case MarkedTrashResult::ChangedSince:
        return ChangedSince;
    case MarkedTrashResult::NoKeptCopy:
        return NoKeptCopy;
    case MarkedTrashResult::KeptCopyDiffers:
        return KeptCopyDiffers;
    case MarkedTrashResult::TrashRefused:
        return TrashRefused;
    }
    return ChangedSince;
}

} // namespace

QString TrashMarkedOperation::title() const
{
    return tr("Trash Marked Files");
}

QString TrashMarkedOperation::question(int files, const QString& bytes) const
{
    return tr("Move %Ln marked file(s) (%1) to the trash?", nullptr, files).arg(bytes);
}

QString TrashMarkedOperation::promise() const
{
    return tr("A marked file goes only if it is unchanged since the scan and a copy that stays "
              "is present and equal to it now.");
}

QString TrashMarkedOperation::acceptText() const
{
    return tr("Move to Trash");
}

QString TrashMarkedOperation::everyCopyNote(int groups) const
{
    return tr("In %Ln group(s) every file is marked: those groups would lose every copy, so "
              "their files stay unless you choose to trash them too.",
              nullptr, groups);
}

QString TrashMarkedOperation::everyCopyText() const
{
    return tr("Trash Every Copy Too");
}

QString TrashMarkedOperation::progressText() const
{
    return tr("Moving marked files to the trash...");
}

QString TrashMarkedOperation::doneText(int files, const QString& bytes) const
{
    return tr("%Ln file(s) (%1) went to the trash.", nullptr, files).arg(bytes);
}

std::unique_ptr<MarkedFileOperation::Run>
TrashMarkedOperation::startRun(const StopCheck& stop) const
{
    // One trasher for the run: each file would otherwise find its trash and make its buffers
    // anew.
    class Trashing : public Run
    {
    public:
        explicit Trashing(const StopCheck& stop) : mTrasher(stop) {}
        int file(const MarkedTrashTask& task) override { return codeOf(mTrasher.trash(task)); }

    private:
        MarkedFileTrasher mTrasher;
    };
    return std::make_unique<Trashing>(stop);
}

int TrashMarkedOperation::reasonCount() const
{
    return ReasonCount;
}

QString TrashMarkedOperation::reason(int code) const
{
    switch (code) {
    case ChangedSince:
        return tr("changed since the scan");
    case NoKeptCopy:
        return tr("no kept copy present");
    case KeptCopyDiffers:
        return tr("the kept copy differs now");
    case TrashRefused:
        return tr("the trash refused it");
    }
    return QString();
}

} // namespace tarvik
