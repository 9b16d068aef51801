#pragma once

#include "scan/markedlinkaction.h"
#include "ui/markedfileoperation.h"

#include <QCoreApplication>

namespace tarvik {

// What the two ways of replacing marked files share: the reasons a file stayed. A file is done
// once it keeps its path and no longer has storage of its own.
class LinkMarkedOperation : public MarkedFileOperation
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::LinkMarkedOperation)

public:
    // No copy is left to link to, so such groups never take part.
    QString everyCopyText() const override { return QString(); }
    int reasonCount() const override;
    QString reason(int code) const override;

protected:
    static int code(LinkOutcome outcome);
};

// Share Storage: the file system makes each marked file share its blocks with a kept copy.
class ShareStorageOperation : public LinkMarkedOperation
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::ShareStorageOperation)

public:
    QString title() const override;
    QString question(const QString& files, const QString& bytes) const override;
    QString promise() const override;
    QString acceptText() const override;
    QString everyCopyNote(const QString& groups) const override;
    QString progressText() const override;
    QString doneText(const QString& files, const QString& bytes) const override;
    int run(const MarkedTrashTask& task, const StopCheck& stop) const override;
};

// Hard links: each marked file's name is given to a kept copy's file.
class HardLinkOperation : public LinkMarkedOperation
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::HardLinkOperation)

public:
    QString title() const override;
    QString question(const QString& files, const QString& bytes) const override;
    QString promise() const override;
    QString acceptText() const override;
    QString everyCopyNote(const QString& groups) const override;
    QString progressText() const override;
    QString doneText(const QString& files, const QString& bytes) const override;
    int run(const MarkedTrashTask& task, const StopCheck& stop) const override;
};

} // namespace tarvik
