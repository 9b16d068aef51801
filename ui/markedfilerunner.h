#pragma once

#include "scan/markedfileaction.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVector>
#include <memory>

class QMessageBox;
class QProgressDialog;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tarvik {

class MarkedFileOperation;
class WorkerThreads;

// Carries out one operation on the marked files of the tree: takes the marked rows, asks
// once, runs the operation file by file on a worker behind a progress dialog that can cancel,
// tells the page of each file done, and ends with one summary. Cancel stops after the file in
// hand; the files not reached keep their rows and marks, and the summary counts them.
class MarkedFileRunner : public QObject
{
    Q_OBJECT

public:
    // The dialogs belong to page, which is disabled while the operation runs.
    MarkedFileRunner(std::unique_ptr<MarkedFileOperation> operation, QTreeWidget* tree,
                     QWidget* page);
    ~MarkedFileRunner() override;

    bool isBusy() const;

public slots:
    void start();
    // Stops at once, without a summary, and forgets the rows: call it before the rows go.
    void abandon();

signals:
    // In the GUI thread, for each file the operation was done on; the row is still in the tree.
    void fileDone(QTreeWidgetItem* row);
    // The summary is shown.
    void finished();

private:
    struct Planned
    {
        QTreeWidgetItem* row;
        MarkedTrashTask task;
    };

    void confirmed(bool everyCopyToo);
    // Takes the codes of the files the worker has done since the last time.
    void collect();
    // The codes of the next files of the plan, in order.
    void filesReported(const QVector<int>& codes);
    void ended();
    void closeProgress();
    void showProgress();

    std::unique_ptr<MarkedFileOperation> mOperation;
    QTreeWidget* mTree;
    QWidget* mPage;
    WorkerThreads* mThreads;
    QPointer<QMessageBox> mConfirmation;
    QPointer<QProgressDialog> mProgress;

    QVector<Planned> mPlan;
    QVector<Planned> mEveryCopy;
    int mLeftOut = 0;
    // Files reported by code: done first, then the operation's reasons.
    QVector<int> mCounts;
    int mReported = 0;
    int mNotAttempted = 0;
    qint64 mDoneBytes = 0;
    qint64 mHandledBytes = 0;
    qint64 mTotalBytes = 0;
    QElapsedTimer mSinceShown;
    QTimer* mProgressTimer;
    // Written by the worker: the codes of the files done and not yet collected.
    QMutex mDoneLock;
    QVector<int> mDoneCodes;
    QTimer* mCollectTimer;
};

} // namespace tarvik
