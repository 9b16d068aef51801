// One operation on the marked files: confirmation, worker, progress and summary.

#include "ui/markedfilerunner.h"

#include "ui/fileitem.h"
#include "ui/markedfileoperation.h"
#include "ui/sizetext.h"
#include "ui/workerthreads.h"

#include <QLocale>
#include <QMessageBox>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

namespace tarvik {

namespace {

// A quick run shows no progress at all.
constexpr int kProgressDelayMs = 500;
// A modal progress dialog runs the event loop at each step; thousands of files a second need
// not be shown one by one.
constexpr int kProgressStepMs = 50;
// The files done are taken from the worker this often: a report a file would wake the window's
// thread thousands of times a second, which cost both threads more than small files do.
constexpr int kCollectEveryMs = 20;

QMessageBox* openBox(QWidget* page, QMessageBox::Icon icon, const QString& title,
                     const QString& text)
{
    auto* box = new QMessageBox(icon, title, text, QMessageBox::NoButton, page);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

MarkedFileRunner::MarkedFileRunner(std::unique_ptr<MarkedFileOperation> operation,
                                   QTreeWidget* tree, QWidget* page)
    : QObject(page), mOperation(std::move(operation)), mTree(tree), mPage(page),
      mThreads(new WorkerThreads(this)), mProgressTimer(new QTimer(this)),
      mCollectTimer(new QTimer(this))
{
    connect(mCollectTimer, &QTimer::timeout, this, &MarkedFileRunner::collect);
    mProgressTimer->setSingleShot(true);
    connect(mProgressTimer, &QTimer::timeout, this, &MarkedFileRunner::showProgress);
}

MarkedFileRunner::~MarkedFileRunner()
{
    // The work reads the operation: it must have ended before the operation goes. The page
    // is going too, so no dialog is touched here.
    mThreads->stopAll();
}

bool MarkedFileRunner::isBusy() const
{
    return mConfirmation || mThreads->isBusy();
}

void MarkedFileRunner::start()
{
    if (isBusy())
        return;
    mPlan.clear();
    mEveryCopy.clear();
    int everyCopyGroups = 0;
    qint64 markedBytes = 0;
    for (int g = 0; g < mTree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = mTree->topLevelItem(g);
        QVector<MarkedTrashTask::Copy> keep;
        QVector<Planned> marked;
        for (int i = 0; i < groupItem->childCount(); ++i) {
            QTreeWidgetItem* item = groupItem->child(i);
            const FileStamp stamp = stampOf(item);
            if (isMarked(item)) {
                marked.append({item, {pathOf(item), stamp, {}, true}});
                markedBytes += qMax<qint64>(0, stamp.size);
            } else {
                keep.append({pathOf(item), stamp});
            }
        }
        if (marked.isEmpty())
            continue;
        if (keep.isEmpty()) {
            ++everyCopyGroups;
            for (Planned& p : marked)
                p.task.needsKeptCopy = false;
            mEveryCopy += marked;
            continue;
        }
        for (Planned& p : marked)
            p.task.keep = keep;
        mPlan += marked;
    }
    const int markedCount = mPlan.size() + mEveryCopy.size();
    if (markedCount == 0) {
        QMessageBox* box = openBox(mPage, QMessageBox::Information, mOperation->title(),
                                   tr("No file is marked. Tick the files to go, or use Mark."));
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->open();
        return;
    }

    QString text = mOperation->question(markedCount, compactSize(markedBytes));
    const QString everyCopyText = mOperation->everyCopyText();
    if (everyCopyGroups > 0)
        text += QLatin1String("\n\n") + mOperation->everyCopyNote(everyCopyGroups);
    text += QLatin1String("\n\n") + mOperation->promise();
    mConfirmation = openBox(mPage, QMessageBox::Question, mOperation->title(), text);
    QPushButton* accept =
        mConfirmation->addButton(mOperation->acceptText(), QMessageBox::AcceptRole);
    QPushButton* all = everyCopyGroups > 0 && !everyCopyText.isEmpty()
                           ? mConfirmation->addButton(everyCopyText, QMessageBox::DestructiveRole)
                           : nullptr;
    mConfirmation->addButton(QMessageBox::Cancel);
    mConfirmation->setDefaultButton(accept);
    QMessageBox* box = mConfirmation;
    connect(box, &QDialog::finished, this, [this, box, accept, all] {
        QAbstractButton* clicked = box->clickedButton();
        mConfirmation = nullptr;
        if (clicked == accept || (all && clicked == all))
            confirmed(all && clicked == all);
    });
    mConfirmation->open();
}

void MarkedFileRunner::confirmed(bool everyCopyToo)
{
    mLeftOut = 0;
    if (everyCopyToo)
        mPlan += mEveryCopy;
    else
        mLeftOut = mEveryCopy.size();
    mEveryCopy.clear();
    mCounts.fill(0, 1 + mOperation->reasonCount());
    mReported = 0;
    mNotAttempted = 0;
    mDoneBytes = 0;
    mHandledBytes = 0;
    mTotalBytes = 0;
    QVector<MarkedTrashTask> tasks;
    tasks.reserve(mPlan.size());
    for (const Planned& p : qAsConst(mPlan)) {
        tasks.append(p.task);
        mTotalBytes += qMax<qint64>(0, p.task.stamp.size);
    }

    mPage->setEnabled(false);
    mProgress = new QProgressDialog(mOperation->progressText(), tr("Cancel"), 0, tasks.size(),
                                    mPage->window());
    mProgress->setWindowModality(Qt::WindowModal);
    mProgress->setMinimumDuration(kProgressDelayMs);
    mProgress->setAutoClose(false);
    mProgress->setAutoReset(false);
    connect(mProgress, &QProgressDialog::canceled, mThreads, &WorkerThreads::requestStop);
    showProgress();

    const MarkedFileOperation* operation = mOperation.get();
    mCollectTimer->start(kCollectEveryMs);
    mThreads->start(
        [this, tasks, operation] {
            const StopCheck stop = [] {
                return QThread::currentThread()->isInterruptionRequested();
            };
            const std::unique_ptr<MarkedFileOperation::Run> run = operation->startRun(stop);
            for (int i = 0; i < tasks.size() && !stop(); ++i) {
                const int code = run->file(tasks.at(i));
                const QMutexLocker lock(&mDoneLock);
                mDoneCodes.append(code);
            }
        },
        [this] { ended(); });
}

void MarkedFileRunner::collect()
{
    QVector<int> codes;
    {
        const QMutexLocker lock(&mDoneLock);
        codes.swap(mDoneCodes);
    }
    if (!codes.isEmpty())
        filesReported(codes);
}

void MarkedFileRunner::filesReported(const QVector<int>& codes)
{
    for (const int code : codes) {
        const Planned& planned = mPlan.at(mReported++);
        const qint64 size = qMax<qint64>(0, planned.task.stamp.size);
        mHandledBytes += size;
        if (code == MarkedFileOperation::kNotAttempted) {
            ++mNotAttempted;
        } else if (code >= 0 && code < mCounts.size()) {
            ++mCounts[code];
            if (code == MarkedFileOperation::kDone) {
                mDoneBytes += size;
                emit fileDone(planned.row);
            }
        }
    }
    if (mReported == mPlan.size() || mSinceShown.hasExpired(kProgressStepMs))
        showProgress();
    else if (!mProgressTimer->isActive())
        mProgressTimer->start(kProgressStepMs);
}

void MarkedFileRunner::showProgress()
{
    if (!mProgress || mProgress->wasCanceled())
        return;
    const QLocale locale;
    mProgress->setLabelText(
        mOperation->progressText() + QLatin1Char('\n') +
        tr("%1 of %Ln file(s) · %2 of %3", nullptr, mPlan.size())
            .arg(locale.toString(mReported), compactSize(mHandledBytes), compactSize(mTotalBytes)));
    mProgress->setValue(mReported);
    mSinceShown.start();
}

void MarkedFileRunner::closeProgress()
{
    // Not deleted here: a modal dialog's setValue() lets events in, among them the one that
    // ends the run, and goes on with the dialog afterwards.
    if (mProgress) {
        mProgress->hide();
        mProgress->deleteLater();
        mProgress = nullptr;
    }
}

void MarkedFileRunner::ended()
{
    mCollectTimer->stop();
    collect();
    mProgressTimer->stop();
    closeProgress();
    mPage->setEnabled(true);
    const int notAttempted = mNotAttempted + (mPlan.size() - mReported);
    mPlan.clear();

    QStringList lines;
    lines << mOperation->doneText(mCounts.value(MarkedFileOperation::kDone),
                                  compactSize(mDoneBytes));
    for (int code = 1; code < mCounts.size(); ++code) {
        if (mCounts[code] > 0)
            lines << tr("%Ln stayed: %1.", nullptr, mCounts[code]).arg(mOperation->reason(code));
    }
    if (mLeftOut > 0)
        lines << tr("%Ln stayed: %1.", nullptr, mLeftOut)
                     .arg(tr("every copy of its group was marked"));
    if (notAttempted > 0)
        lines << tr("%Ln not attempted: cancelled.", nullptr, notAttempted);
    QMessageBox* box = openBox(mPage, QMessageBox::Information, mOperation->title(),
                               lines.join(QLatin1Char('\n')));
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->open();
    emit finished();
}

void MarkedFileRunner::abandon()
{
    if (mConfirmation) {
        disconnect(mConfirmation, nullptr, this, nullptr);
        delete mConfirmation;
    }
    mThreads->stopAll();
    mCollectTimer->stop();
    mDoneCodes.clear();
    mProgressTimer->stop();
    if (mProgress) {
        closeProgress();
        mPage->setEnabled(true);
    }
    mPlan.clear();
    mEveryCopy.clear();
}

} // namespace tarvik
