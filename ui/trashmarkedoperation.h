#pragma once

#include "ui/markedfileoperation.h"

#include <QCoreApplication>

namespace tarvik {

// Trash Marked: each marked file goes to the trash if it is still the file of its row and a
// copy that stays is present and equal to it now.
class TrashMarkedOperation : public MarkedFileOperation
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::TrashMarkedOperation)

public:
    QString title() const override;
    QString question(int files, const QString& bytes) const override;
    QString promise() const override;
    QString acceptText() const override;
    QString everyCopyNote(int groups) const override;
    QString everyCopyText() const override;
    QString progressText() const override;
    QString doneText(int files, const QString& bytes) const override;
    std::unique_ptr<Run> startRun(const StopCheck& stop) const override;
    int reasonCount() const override;
    QString reason(int code) const override;
};

} // namespace tarvik
