#pragma once

#include "scan/markedlinkaction.h"
#include "ui/markedfileoperation.h"

#include <QCoreApplication>

namespace tarvik {

// The two ways of replacing marked files that keep their paths: Share Storage, where the file
// system makes each marked file share its blocks with a kept copy, and Hard Links, where each
// marked file's name is given to a kept copy's file. A file is done once it keeps its path and
// has no storage of its own any more.
class LinkMarkedOperation : public MarkedFileOperation
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::LinkMarkedOperation)

public:
    enum class Kind { ShareStorage, HardLink };

    explicit LinkMarkedOperation(Kind kind) : mKind(kind) {}

    QString title() const override;
    QString question(int files, const QString& bytes) const override;
    QString promise() const override;
    QString acceptText() const override;
    QString everyCopyNote(int groups) const override;
    // No copy is left to link to, so such groups never take part.
    QString everyCopyText() const override { return QString(); }
    QString progressText() const override;
    QString doneText(int files, const QString& bytes) const override;
    std::unique_ptr<Run> startRun(const StopCheck& stop) const override;
    int reasonCount() const override;
    QString reason(int code) const override;

private:
    bool sharing() const { return mKind == Kind::ShareStorage; }
    int linkFile(const MarkedTrashTask& task, const StopCheck& stop) const;

    Kind mKind;
};

} // namespace tarvik
