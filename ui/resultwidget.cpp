#include "ui/resultwidget.h"

#include "core/filestamp.h"
#include "core/trash.h"
#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "ui/linkmarkedmenu.h"
#include "ui/markedfilerunner.h"
#include "ui/markmenu.h"
#include "ui/resultsaver.h"
#include "ui/rowfeeder.h"
#include "ui/rowremover.h"
#include "ui/sortmenu.h"
#include "ui/trashmarkedoperation.h"
#include "ui/treewidget.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QScopedPointer>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QVBoxLayout>

namespace tarvik {

namespace {

// How often the status line follows a running scan.
constexpr int kStatusRefreshMs = 250;
// The pause in typing after which the filter applies.
constexpr int kFilterPauseMs = 300;

} // namespace

ResultWidget::ResultWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ResultWidget"));
    // The file rows make these themselves; here they are for the translators.
    Q_UNUSED(QT_TR_NOOP("File: "))
    Q_UNUSED(QT_TR_NOOP("Size: "))
    Q_UNUSED(QT_TR_NOOP("Created: "))
    Q_UNUSED(QT_TR_NOOP("Modified: "))
    Q_UNUSED(QT_TR_NOOP("Location: "))
    Q_UNUSED(QT_TR_NOOP("Storage: a hard link to a kept copy"))
    Q_UNUSED(QT_TR_NOOP("Storage: shared with a kept copy"))

    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(0, 0, 0, 0);
    setLayout(mLayout);

    addToolButtons();

    // A row of its own: the tool bar has no room for it at the window's first width.
    mFilterEdit = new QLineEdit(this);
    mFilterEdit->setObjectName(QStringLiteral("ResultFilterEdit"));
    mFilterEdit->setPlaceholderText(tr("Filter by path"));
    mFilterEdit->setClearButtonEnabled(true);
    mLayout->addWidget(mFilterEdit, 0);
    mFilterTimer = new QTimer(this);
    mFilterTimer->setSingleShot(true);
    mFilterTimer->setInterval(kFilterPauseMs);
    connect(mFilterEdit, SIGNAL(textChanged(QString)), mFilterTimer, SLOT(start()));
    connect(mFilterTimer, SIGNAL(timeout()), this, SLOT(arrange()));

    mTreeWidget = new TreeWidget(this);
    mTreeWidget->setObjectName(QStringLiteral("DuplicateViewWidgte"));
    connect(mTreeWidget, SIGNAL(itemDoubleClicked(QTreeWidgetItem*, int)), this,
            SLOT(onItemDoubleClicked(QTreeWidgetItem*, int)));
    connect(mTreeWidget, SIGNAL(enterPress()), this, SLOT(onPressOpenFolderButton()));
    connect(mTreeWidget, SIGNAL(deletePress()), this, SLOT(onPressFileRemoveButton()));
    mTreeWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(mTreeWidget, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(onCustomContextMenuRequested(const QPoint&)));
    mTreeWidget->setHeaderLabels(QStringList()
                                 << tr("Name") << tr("Size") << tr("Create") << tr("Location"));
    mTreeWidget->setUniformRowHeights(true);
    setUpColumns();
    connect(mTreeWidget, SIGNAL(itemChanged(QTreeWidgetItem*, int)), this,
            SLOT(onItemChanged(QTreeWidgetItem*, int)));
    mLayout->addWidget(mTreeWidget, 0);

    mStatusLabel = new QLabel(this);
    mStatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    mStatusLabel->setWordWrap(true);
    mLayout->addWidget(mStatusLabel, 0);
    mStatusTimer = new QTimer(this);
    mStatusTimer->setInterval(kStatusRefreshMs);
    connect(mStatusTimer, SIGNAL(timeout()), this, SLOT(refreshStatus()));

    mMarkMenu = new MarkMenu(mTreeWidget, mMarkButton);
    mMarkButton->setMenu(mMarkMenu);
    connect(mMarkMenu, &MarkMenu::aboutToApply, this, [this] { mMarking = true; });
    connect(mMarkMenu, &MarkMenu::applied, this, [this] {
        mMarking = false;
        refreshStatus();
    });

    mFeeder = new RowFeeder(mTreeWidget, &mTally, tr("Duplicate group #"), this);
    connect(mFeeder, SIGNAL(drained()), this, SLOT(showEnd()));
    mRemover = new RowRemover(mTreeWidget, &mTally, this);
    mArranger = new GroupArranger(mTreeWidget);

    mTrashMarked =
        new MarkedFileRunner(std::make_unique<TrashMarkedOperation>(), mTreeWidget, this);
    connect(mTrashMarkedButton, SIGNAL(clicked()), mTrashMarked, SLOT(start()));
    connect(mTrashMarked, SIGNAL(fileDone(QTreeWidgetItem*)), this,
            SLOT(removeFileRow(QTreeWidgetItem*)));
    connect(mTrashMarked, SIGNAL(finished()), this, SLOT(markedFilesDone()));

    mLinkMarkedMenu = new LinkMarkedMenu(mTreeWidget, this, mLinkMarkedButton);
    mLinkMarkedButton->setMenu(mLinkMarkedMenu);
    connect(mLinkMarkedMenu, SIGNAL(fileReplaced(QTreeWidgetItem*, int)), this,
            SLOT(replaceFileRow(QTreeWidgetItem*, int)));
    connect(mLinkMarkedMenu, SIGNAL(finished()), this, SLOT(refreshStatus()));

    mSaver = new ResultSaver(this);
    connect(mSaver, SIGNAL(saved(QString)), this, SLOT(resultsSaved(QString)));

    // Until a scan has ended there is nothing to act on, and the stop shows only during one.
    mStopButton->setVisible(false);
    mTrashMarkedButton->setVisible(false);
    mLinkMarkedButton->setVisible(false);
    mSaveResultsButton->setVisible(false);
    mSortButton->setVisible(false);
    mFilterEdit->setEnabled(false);

    // Replaced, unstarted, by the first startScan.
    mThread = new DuplicateFinderThread(this);
}

ResultWidget::~ResultWidget()
{
    mTrashMarked->abandon();
    mLinkMarkedMenu->abandon();
    endThread();
    // The groups a filter left out are not the tree's to delete.
    mArranger->release(mFeeder->groupsFound());
    delete mArranger;
    delete mSpinnerMovie;
}

void ResultWidget::setFolders(const QStringList& folders)
{
    mFolders = folders;
}

void ResultWidget::setFilter(const QString& filter)
{
    mFilter = filter;
}

void ResultWidget::setOptions(const ScanOptions& options)
{
    mOptions = options;
}

void ResultWidget::startScan()
{
    resetScan();
    mThread->mFolders = mFolders;
    mThread->mFilter = mFilter;
    mThread->mOptions = mOptions;
    mThread->start(QThread::InheritPriority);
}

void ResultWidget::resetScan()
{
    // Its rows are about to go.
    mTrashMarked->abandon();
    mLinkMarkedMenu->abandon();
    mRemover->discard();
    mArranger->release(mFeeder->groupsFound());
    mFeeder->reset();
    endThread();
    mStopPressed = false;
    mTally.reset();
    mStatusLabel->clear();
    mThread = new DuplicateFinderThread(this);
    connect(mThread, SIGNAL(started()), this, SLOT(startedThread()));
    connect(mThread, SIGNAL(finished()), this, SLOT(finishedThread()));
    mSaveResultsButton->setEnabled(false);
}

void ResultWidget::endThread()
{
    if (!mThread)
        return;
    // A stop request, never terminate(): a thread killed inside the allocator or a file
    // system call can take the process down with it.
    mThread->requestInterruption();
    mThread->wait();
    delete mThread;
    mThread = nullptr;
    // Whatever the old scan left in the queue belongs to no group of the next one.
    QCoreApplication::removePostedEvents(this, DuplicateEvent::eventType);
}

bool ResultWidget::event(QEvent* event)
{
    if (int(event->type()) == DuplicateEvent::eventType) {
        const auto* duplicate = static_cast<DuplicateEvent*>(event);
        mFeeder->enqueue(duplicate->groupId(), duplicate->firstPath(), duplicate->duplicatePath(),
                         duplicate->firstFacts(), duplicate->duplicateFacts());
        return true;
    }
    return QWidget::event(event);
}

void ResultWidget::onPressOpenFolderButton()
{
    QTreeWidgetItem* item = mTreeWidget->currentItem();
    if (!item)
        return;
    const QFileInfo info(item->text(3));
    if (!info.exists())
        return;
    // fromLocalFile, not "file:///" + path: blanks, '#', '?', '%' and leading slashes
    // would otherwise name another place.
    QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

void ResultWidget::onPressFileRemoveButton()
{
    QTreeWidgetItem* item = mTreeWidget->currentItem();
    if (!item)
        return;
    // Group rows carry no stamp.
    const QVariant seen = item->data(0, FileItem::StampRole);
    if (!seen.canConvert<FileStamp>())
        return;
    if (trashIfUnchanged(item->text(3), seen.value<FileStamp>()) != TrashOutcome::Moved)
        return;
    mRemover->removeNow(item);
    if (mTally.hasEnded())
        refreshStatus();
}

void ResultWidget::removeFileRow(QTreeWidgetItem* item)
{
    mRemover->removeSoon(item);
}

void ResultWidget::markedFilesDone()
{
    mRemover->flush();
    refreshStatus();
}

void ResultWidget::arrange()
{
    mFilterTimer->stop();
    if (!mTally.hasEnded())
        return; // applied when the scan ends
    mRemover->flush();
    mArranger->setOrder(mSortMenu->order());
    mArranger->setFilter(mFilterEdit->text());
    QApplication::setOverrideCursor(Qt::BusyCursor);
    mArranger->apply(mFeeder->groupsFound(), &mFeeder->paths());
    QApplication::restoreOverrideCursor();
    mTally.setShown(mArranger->filter().isEmpty() ? -1 : mArranger->shownCount(),
                    mFeeder->groupsFound().size());
    refreshStatus();
}

void ResultWidget::resultsSaved(const QString& path)
{
    mTally.setNote(tr("saved to %1").arg(QDir::toNativeSeparators(path)));
    refreshStatus();
}

void ResultWidget::replaceFileRow(QTreeWidgetItem* item, int storage)
{
    QTreeWidgetItem* group = item->parent();
    if (!group)
        return;
    mTally.fileReplaced(item, stampOf(item).size, group->childCount(), replacedRows(group));
    if (storage == FileItem::HardLink)
        adoptLinkedStamp(item);
    item->setData(0, FileItem::StorageRole, storage);
    // Done with: the mark would only take it through another action.
    item->setCheckState(0, Qt::Unchecked);
    if (mTally.hasEnded())
        refreshStatus();
}

void ResultWidget::onPressSaveResultsButton()
{
    // The scan's own threads write its digests until it has ended.
    if (mThread->isRunning())
        return;
    // A scan that was stopped or failed may have dropped digests it had not finished.
    const bool complete = !mStopPressed && mThread->failure().isEmpty();
    mSaver->saveAs(gatherResults(mTreeWidget, mFeeder->groupItems(), mThread->mDigests,
                                 complete ? Digests::Complete : Digests::Partial));
}

void ResultWidget::onCustomContextMenuRequested(const QPoint& pos)
{
    QTreeWidgetItem* item = mTreeWidget->itemAt(pos);
    if (!item || !item->parent())
        return;
    QScopedPointer<QMenu> menu(new QMenu());
    QAction* openFolder = menu->addAction(tr("Open Folder"));
    connect(openFolder, SIGNAL(triggered()), this, SLOT(onPressOpenFolderButton()));
    QAction* remove = menu->addAction(tr("Delete"));
    connect(remove, SIGNAL(triggered()), this, SLOT(onPressFileRemoveButton()));
    // pos is the viewport's: mapped with the tree, the menu would open a header's height
    // above the pointer, with "Delete" under it.
    menu->exec(mTreeWidget->viewport()->mapToGlobal(pos));
}

void ResultWidget::onItemDoubleClicked(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(column)
    // A group row only expands or collapses.
    if (!item || !item->parent())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(item->text(3)).absoluteFilePath()));
}

void ResultWidget::onItemEntered(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(item)
    Q_UNUSED(column)
}

void ResultWidget::finishedThread()
{
    // An abandoned scan's finished() may come in while the next one runs.
    mSaveResultsButton->setEnabled(!mThread->isRunning());
    if (mThread->isRunning())
        return;
    // The spinner stays until the last result of the scan is in the tree.
    mFeeder->notifyWhenDrained();
}

void ResultWidget::showEnd()
{
    mFeeder->layOutNow();
    mSpinnerMovie->stop();
    mSpinnerLabel->setVisible(false);
    mScanningLabel->setVisible(false);
    setScanning(false);
    mStatusTimer->stop();
    const qint64 elapsed = mScanClock.isValid() ? mScanClock.elapsed() : 0;
    const QString failure = mThread->failure();
    mTally.setEnded(!failure.isEmpty() ? ResultTally::End::Failed
                    : mStopPressed     ? ResultTally::End::Stopped
                                       : ResultTally::End::Done,
                    elapsed, failure);
    if (!mArranger->isPlain() || mSortMenu->order() != GroupOrder::Found ||
        !mFilterEdit->text().isEmpty())
        arrange();
    refreshStatus();
}

void ResultWidget::startedThread()
{
    mTally.setEnded(ResultTally::End::Running, 0);
    mSpinnerMovie->start();
    mSpinnerLabel->setVisible(true);
    mScanningLabel->setVisible(true);
    setScanning(true);
    mScanClock.start();
    mStatusTimer->start();
    refreshStatus();
}

void ResultWidget::onPressStopButton()
{
    if (!mThread || !mThread->isRunning())
        return;
    // The same stop a new scan makes, but what was found stays and keeps arriving.
    mStopPressed = true;
    mThread->requestInterruption();
}

void ResultWidget::refreshStatus()
{
    if (!mThread)
        return;
    mStatusLabel->setText(mTally.text(mThread->progress(), mScanClock.elapsed()));
}

void ResultWidget::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (column != 0 || !item->parent())
        return;
    mTally.setMarked(item, stampOf(item).size, isMarked(item));
    if (!mStatusTimer->isActive() && !mMarking)
        refreshStatus();
}

void ResultWidget::update() {}

} // namespace tarvik
