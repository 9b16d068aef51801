#include "ui/resultwidget.h"

#include "core/filestamp.h"
#include "core/marks.h"
#include "core/trash.h"
#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "ui/fileitem.h"
#include "ui/resultsaver.h"
#include "ui/sizetext.h"
#include "ui/toolbar.h"
#include "ui/toolmenu.h"
#include "ui/treewidget.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMovie>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedPointer>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

namespace tarvik {

namespace {

// While results pour in, rows go into the tree this long at a time, between turns of the event
// loop. The tree is laid out again at most this often, and less often as that grows costly.
constexpr qint64 kSliceMs = 25;
constexpr int kMinLayoutGapMs = 100;
constexpr int kLayoutCostFactor = 4;
// How often the status line follows a running scan.
constexpr int kStatusRefreshMs = 250;

} // namespace

ResultWidget::ResultWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ResultWidget"));
    mGroupText = tr("Duplicate group #");
    // The file rows make these themselves; here they are for the translators.
    Q_UNUSED(QT_TR_NOOP("File: "))
    Q_UNUSED(QT_TR_NOOP("Size: "))
    Q_UNUSED(QT_TR_NOOP("Created: "))
    Q_UNUSED(QT_TR_NOOP("Modified: "))
    Q_UNUSED(QT_TR_NOOP("Location: "))
    mPendingTimer = new QTimer(this);
    mPendingTimer->setInterval(0);
    connect(mPendingTimer, SIGNAL(timeout()), this, SLOT(addPendingDuplicates()));
    mLayoutTimer = new QTimer(this);
    mLayoutTimer->setSingleShot(true);
    connect(mLayoutTimer, SIGNAL(timeout()), this, SLOT(layOutTree()));

    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(0, 0, 0, 0);
    setLayout(mLayout);

    mToolBar = addToolBar(this, mLayout, mToolBarLayout);

    mBackButton = makeToolButton(mToolBar, QStringLiteral("BackButton"), tr("Back"));
    connect(mBackButton, SIGNAL(clicked()), this, SLOT(onPressBackButton()));
    mToolBarLayout->addWidget(mBackButton, 0, Qt::AlignLeft);

    mOpenFolderButton =
        makeToolButton(mToolBar, QStringLiteral("OpenFolderButton"), tr("Open Folder"));
    connect(mOpenFolderButton, SIGNAL(clicked()), this, SLOT(onPressOpenFolderButton()));
    mToolBarLayout->addWidget(mOpenFolderButton, 0, Qt::AlignLeft);

    mTrashButton = makeToolButton(mToolBar, QStringLiteral("TrashButton"), tr("Delete File"));
    connect(mTrashButton, SIGNAL(clicked()), this, SLOT(onPressFileRemoveButton()));
    mToolBarLayout->addWidget(mTrashButton, 0, Qt::AlignLeft);

    mMarkButton = makeToolButton(mToolBar, QStringLiteral("MarkButton"), tr("Mark"));
    mMarkMenu = new QMenu(mMarkButton);
    const struct
    {
        const char* name;
        QString text;
    } rules[] = {
        {"MarkAllButOldestAction", tr("Mark All but the Oldest")},
        {"MarkAllButNewestAction", tr("Mark All but the Newest")},
        {"MarkAllButFirstAction", tr("Mark All but the First Found")},
        {"MarkAllButShortestPathAction", tr("Mark All but the Shortest Path")},
        {"MarkOutsideFolderAction", tr("Mark Copies Outside a Folder...")},
        {"InvertMarksAction", tr("Invert Marks")},
        {"ClearMarksAction", tr("Clear Marks")},
    };
    for (const auto& rule : rules) {
        QAction* action = mMarkMenu->addAction(rule.text);
        action->setObjectName(QLatin1String(rule.name));
        connect(action, SIGNAL(triggered()), this, SLOT(onMarkRule()));
    }
    mMarkButton->setMenu(mMarkMenu);
    mMarkButton->setPopupMode(QToolButton::InstantPopup);
    mToolBarLayout->addWidget(mMarkButton, 0, Qt::AlignLeft);

    mTrashMarkedButton =
        makeToolButton(mToolBar, QStringLiteral("TrashMarkedButton"), tr("Trash Marked Files"));
    connect(mTrashMarkedButton, SIGNAL(clicked()), this, SLOT(onPressTrashMarkedButton()));
    mToolBarLayout->addWidget(mTrashMarkedButton, 0, Qt::AlignLeft);

    mSaveResultsButton =
        makeToolButton(mToolBar, QStringLiteral("SaveResultsButton"), tr("Save Results"));
    connect(mSaveResultsButton, SIGNAL(clicked()), this, SLOT(onPressSaveResultsButton()));
    mToolBarLayout->addWidget(mSaveResultsButton, 0, Qt::AlignLeft);

    mToolBarLayout->addStretch(0);

    // Not parented: the page deletes it itself.
    mSpinnerMovie = new QMovie(QStringLiteral(":/resource/loading_spinner.gif"), QByteArray());

    mSpinnerLabel = new QLabel(this);
    mSpinnerLabel->setMovie(mSpinnerMovie);
    mSpinnerMovie->setScaledSize(QSize(32, 32));
    mToolBarLayout->addWidget(mSpinnerLabel, 0);

    mScanningLabel = new QLabel(QStringLiteral("Scanning..."), this);
    mToolBarLayout->addWidget(mScanningLabel, 0);

    mStopButton = makeToolButton(mToolBar, QStringLiteral("StopButton"), tr("Stop Scan"));
    connect(mStopButton, SIGNAL(clicked()), this, SLOT(onPressStopButton()));
    mToolBarLayout->addWidget(mStopButton, 0);

    mToolBarLayout->addStretch(0);

    mToolMenu = new ToolMenu(this);

    mMenuButton = makeToolButton(mToolBar, QStringLiteral("MenuButton"), tr("Menu"));
    connect(mMenuButton, SIGNAL(clicked()), this, SLOT(onPressMenuButton()));
    mToolBarLayout->addWidget(mMenuButton, 0, Qt::AlignRight);

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
    mTreeWidget->setColumnWidth(0, 200);
    mTreeWidget->setUniformRowHeights(true);
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

    // Until a scan has ended there is nothing to act on, and the stop shows only during one.
    mStopButton->setVisible(false);
    mTrashMarkedButton->setVisible(false);
    mSaveResultsButton->setVisible(false);

    // Replaced, unstarted, by the first startScan.
    mThread = new DuplicateFinderThread(this);
}

ResultWidget::~ResultWidget()
{
    endThread();
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
    mTreeWidget->clear();
    mGroupItems.clear();
    endThread();
    mPending.clear();
    mPendingTimer->stop();
    mLayoutTimer->stop();
    mTreeWidget->releaseLayout();
    mFinishWhenAdded = false;
    mStopPressed = false;
    mEndText.clear();
    mCopyGroups = 0;
    mCopies = 0;
    mReclaimable = 0;
    mMarkedItems.clear();
    mMarkedBytes = 0;
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
        handleDuplicateEvent(static_cast<DuplicateEvent*>(event));
        return true;
    }
    return QWidget::event(event);
}

void ResultWidget::handleDuplicateEvent(DuplicateEvent* event)
{
    mPending.enqueue({event->groupId(), event->firstPath(), event->duplicatePath()});
    if (!mPendingTimer->isActive())
        mPendingTimer->start();
}

void ResultWidget::addPendingDuplicates()
{
    mTreeWidget->holdLayout();
    QElapsedTimer slice;
    slice.start();
    while (!mPending.isEmpty() && slice.elapsed() < kSliceMs)
        addDuplicate(mPending.dequeue());
    if (!mLayoutTimer->isActive()) {
        const qint64 gap = qMax<qint64>(kMinLayoutGapMs, kLayoutCostFactor * mLastLayoutMs);
        const qint64 since = mSinceLayout.isValid() ? mSinceLayout.elapsed() : gap;
        mLayoutTimer->start(int(qMax<qint64>(0, gap - since)));
    }
    if (!mPending.isEmpty())
        return;
    mPendingTimer->stop();
    if (mFinishWhenAdded)
        hideSpinner();
}

void ResultWidget::layOutTree()
{
    QElapsedTimer clock;
    clock.start();
    mTreeWidget->releaseLayout();
    mLastLayoutMs = clock.elapsed();
    mSinceLayout.start();
}

void ResultWidget::addDuplicate(const Duplicate& duplicate)
{
    QTreeWidgetItem* groupItem = mGroupItems.value(duplicate.groupId, nullptr);
    FileItem* item;
    if (groupItem) {
        item = addFileItem(groupItem, duplicate.duplicatePath);
    } else {
        // Filled before it joins the tree, which then shows it expanded in one step.
        groupItem = addGroupItem();
        mGroupItems.insert(duplicate.groupId, groupItem);
        addFileItem(groupItem, duplicate.firstPath);
        item = addFileItem(groupItem, duplicate.duplicatePath);
        mTreeWidget->appendExpanded(groupItem);
        ++mCopyGroups;
    }
    ++mCopies;
    mReclaimable += item->stamp().size;
}

QTreeWidgetItem* ResultWidget::addGroupItem()
{
    const int number = mGroupItems.size();
    return new GroupItem(mGroupText, number);
}

FileItem* ResultWidget::addFileItem(QTreeWidgetItem* groupItem, const QString& path)
{
    auto* item = new FileItem(path, FileStamp::of(path));
    groupItem->addChild(item);
    return item;
}

void ResultWidget::onPressBackButton()
{
    emit back();
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
    const QVariant seen = item->data(0, FileStampRole);
    if (!seen.canConvert<FileStamp>())
        return;
    if (trashIfUnchanged(item->text(3), seen.value<FileStamp>()) != TrashOutcome::Moved)
        return;
    removeFileRow(item);
}

void ResultWidget::removeFileRow(QTreeWidgetItem* item)
{
    QTreeWidgetItem* group = item->parent();
    if (!group)
        return;
    if (group->childCount() >= 2) {
        --mCopies;
        mReclaimable -= qMax<qint64>(0, item->data(0, FileStampRole).value<FileStamp>().size);
        if (group->childCount() == 2)
            --mCopyGroups;
    }
    if (mMarkedItems.remove(item))
        mMarkedBytes -= item->data(0, FileStampRole).value<FileStamp>().size;
    group->removeChild(item);
    delete item;
    // Qt forgets the whole layout when a row goes; a held tree would show nothing meanwhile.
    if (mPendingTimer->isActive() || mLayoutTimer->isActive())
        mTreeWidget->layoutNow();
    if (!mEndText.isEmpty())
        refreshStatus();
}

void ResultWidget::onPressSaveResultsButton()
{
    // The scan's own threads write its digests until it has ended.
    if (mThread->isRunning())
        return;
    saveResultsAs(this, gatherResults(mTreeWidget, mGroupItems, mThread->mDigests));
}

void ResultWidget::onPressMenuButton()
{
    mToolMenu->exec(mMenuButton->mapToGlobal(mMenuButton->rect().bottomLeft()), nullptr);
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
    menu->exec(mTreeWidget->mapToGlobal(pos));
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
    // The spinner stays until the last result of the scan is in the tree.
    if (!mPending.isEmpty()) {
        mFinishWhenAdded = true;
        return;
    }
    hideSpinner();
}

void ResultWidget::hideSpinner()
{
    mFinishWhenAdded = false;
    mLayoutTimer->stop();
    layOutTree();
    mSpinnerMovie->stop();
    mSpinnerLabel->setVisible(false);
    mScanningLabel->setVisible(false);
    setScanning(false);
    mStatusTimer->stop();
    const QString elapsed = elapsedText(mScanClock.isValid() ? mScanClock.elapsed() : 0);
    mEndText =
        mStopPressed ? tr("Stopped after %1: ").arg(elapsed) : tr("Done in %1: ").arg(elapsed);
    refreshStatus();
}

void ResultWidget::startedThread()
{
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

QString ResultWidget::foundText() const
{
    const QLocale locale;
    return tr("%1 groups, %2 duplicate files, %3 reclaimable")
        .arg(locale.toString(mCopyGroups), locale.toString(mCopies), compactSize(mReclaimable));
}

void ResultWidget::refreshStatus()
{
    const QString marks = mMarkedItems.isEmpty() ? QString()
                                                 : tr(" · %1 marked (%2)")
                                                       .arg(QLocale().toString(mMarkedItems.size()),
                                                            compactSize(mMarkedBytes));
    if (!mEndText.isEmpty()) {
        mStatusLabel->setText(mEndText + foundText() + marks);
        return;
    }
    if (!mThread)
        return;
    const ScanProgress& p = mThread->progress();
    const QLocale locale;
    mStatusLabel->setText(
        tr("Listed %1 files (%2) · compared %3 of %4 (%5 of %6) · found %7 groups, %8 "
           "duplicate files · %9")
            .arg(locale.toString(p.filesListed.load()), compactSize(p.bytesListed.load()),
                 locale.toString(p.filesCompared.load()), locale.toString(p.filesToCompare.load()),
                 compactSize(p.bytesCompared.load()), compactSize(p.bytesToCompare.load()),
                 locale.toString(p.groups.load()), locale.toString(p.duplicates.load()),
                 elapsedText(mScanClock.elapsed())) +
        marks);
}

void ResultWidget::setScanning(bool scanning)
{
    mStopButton->setVisible(scanning);
    // Acting on every result waits for them all; it also keeps the tool bar within the window,
    // beside the spinner and "Scanning...".
    mTrashMarkedButton->setVisible(!scanning);
    mSaveResultsButton->setVisible(!scanning);
}

namespace {

FileStamp stampOf(const QTreeWidgetItem* item)
{
    return item->data(0, ResultWidget::FileStampRole).value<FileStamp>();
}

bool isMarked(const QTreeWidgetItem* item)
{
    return item->checkState(0) == Qt::Checked;
}

} // namespace

void ResultWidget::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (column != 0 || !item->parent())
        return;
    const qint64 size = stampOf(item).size;
    if (isMarked(item)) {
        if (!mMarkedItems.contains(item)) {
            mMarkedItems.insert(item);
            mMarkedBytes += size;
        }
    } else if (mMarkedItems.remove(item)) {
        mMarkedBytes -= size;
    }
    if (!mStatusTimer->isActive())
        refreshStatus();
}

void ResultWidget::onMarkRule()
{
    const QString name = sender() ? sender()->objectName() : QString();
    static const QHash<QString, MarkRule> rules{
        {QStringLiteral("MarkAllButOldestAction"), MarkRule::AllButOldest},
        {QStringLiteral("MarkAllButNewestAction"), MarkRule::AllButNewest},
        {QStringLiteral("MarkAllButFirstAction"), MarkRule::AllButFirst},
        {QStringLiteral("MarkAllButShortestPathAction"), MarkRule::AllButShortestPath},
        {QStringLiteral("MarkOutsideFolderAction"), MarkRule::OutsideFolder},
        {QStringLiteral("InvertMarksAction"), MarkRule::Invert},
        {QStringLiteral("ClearMarksAction"), MarkRule::Clear},
    };
    if (!rules.contains(name))
        return;
    const MarkRule rule = rules.value(name);
    QString folder;
    if (rule == MarkRule::OutsideFolder) {
        folder = askForFolder(this, tr("Keep the Copies in Folder"));
        if (folder.isEmpty())
            return;
    }
    QVector<MarkedGroup> groups;
    groups.reserve(mTreeWidget->topLevelItemCount());
    for (int g = 0; g < mTreeWidget->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = mTreeWidget->topLevelItem(g);
        MarkedGroup group;
        group.reserve(groupItem->childCount());
        for (int i = 0; i < groupItem->childCount(); ++i) {
            const QTreeWidgetItem* item = groupItem->child(i);
            const FileStamp stamp = stampOf(item);
            group.append({item->text(3), stamp.size, stamp.modifiedNs / 1000000, isMarked(item)});
        }
        groups.append(group);
    }
    applyMarkRule(&groups, rule, folder);
    for (int g = 0; g < groups.size(); ++g) {
        QTreeWidgetItem* groupItem = mTreeWidget->topLevelItem(g);
        for (int i = 0; i < groups[g].size(); ++i) {
            const Qt::CheckState state = groups[g][i].marked ? Qt::Checked : Qt::Unchecked;
            if (groupItem->child(i)->checkState(0) != state)
                groupItem->child(i)->setCheckState(0, state);
        }
    }
}

void ResultWidget::onPressTrashMarkedButton()
{
    struct Planned
    {
        QTreeWidgetItem* item;
        MarkedTrashTask task;
    };
    QVector<Planned> plan;
    QVector<Planned> everyCopy;
    int everyCopyGroups = 0;
    qint64 markedBytes = 0;
    for (int g = 0; g < mTreeWidget->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = mTreeWidget->topLevelItem(g);
        QVector<MarkedTrashTask::Copy> keep;
        QVector<Planned> marked;
        for (int i = 0; i < groupItem->childCount(); ++i) {
            QTreeWidgetItem* item = groupItem->child(i);
            if (isMarked(item)) {
                marked.append({item, {item->text(3), stampOf(item), {}, true}});
                markedBytes += stampOf(item).size;
            } else {
                keep.append({item->text(3), stampOf(item)});
            }
        }
        if (marked.isEmpty())
            continue;
        if (keep.isEmpty()) {
            ++everyCopyGroups;
            for (Planned& p : marked)
                p.task.needsKeptCopy = false;
            everyCopy += marked;
            continue;
        }
        for (Planned& p : marked)
            p.task.keep = keep;
        plan += marked;
    }
    const int markedCount = plan.size() + everyCopy.size();
    if (markedCount == 0) {
        QMessageBox::information(this, tr("Trash Marked Files"),
                                 tr("No file is marked. Tick the files to go, or use Mark."));
        return;
    }

    const QLocale locale;
    QString text = tr("Move %1 marked files (%2) to the trash?")
                       .arg(locale.toString(markedCount), compactSize(markedBytes));
    if (everyCopyGroups > 0) {
        text += QLatin1String("\n\n") +
                tr("In %1 groups every file is marked: those groups would lose every copy, so "
                   "their files stay unless you choose to trash them too.")
                    .arg(locale.toString(everyCopyGroups));
    }
    text += QLatin1String("\n\n") +
            tr("A marked file goes only if it is unchanged since the scan and a copy that stays "
               "is present and equal to it now.");
    QMessageBox box(QMessageBox::Question, tr("Trash Marked Files"), text, QMessageBox::NoButton,
                    this);
    QPushButton* trash = box.addButton(tr("Move to Trash"), QMessageBox::AcceptRole);
    QPushButton* all = everyCopyGroups > 0
                           ? box.addButton(tr("Trash Every Copy Too"), QMessageBox::DestructiveRole)
                           : nullptr;
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(trash);
    box.exec();
    if (box.clickedButton() != trash && (!all || box.clickedButton() != all))
        return;
    int leftOut = 0;
    if (all && box.clickedButton() == all)
        plan += everyCopy;
    else
        leftOut = everyCopy.size();

    // Reading the copies again takes time: a worker does it while the window stays live.
    QProgressDialog progress(tr("Moving marked files to the trash..."), tr("Cancel"), 0,
                             plan.size(), window());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    setEnabled(false);
    std::atomic<bool> cancel{false};
    connect(&progress, &QProgressDialog::canceled, this, [&cancel] { cancel = true; });
    QVector<MarkedTrashTask> tasks;
    tasks.reserve(plan.size());
    for (const Planned& p : qAsConst(plan))
        tasks.append(p.task);

    int counts[int(MarkedTrashResult::Cancelled) + 1] = {};
    qint64 movedBytes = 0;
    QEventLoop loop;
    std::thread worker([&] {
        const StopCheck stop = [&cancel] { return cancel.load(); };
        for (int i = 0; i < tasks.size(); ++i) {
            const MarkedTrashResult result =
                cancel ? MarkedTrashResult::Cancelled : trashMarkedFile(tasks[i], stop);
            QMetaObject::invokeMethod(
                &loop,
                [&, i, result] {
                    ++counts[int(result)];
                    if (result == MarkedTrashResult::Moved) {
                        movedBytes += tasks[i].stamp.size;
                        removeFileRow(plan[i].item);
                    }
                    progress.setValue(i + 1);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress.reset();
    setEnabled(true);
    refreshStatus();

    QStringList lines;
    lines << tr("%1 files (%2) went to the trash.")
                 .arg(locale.toString(counts[int(MarkedTrashResult::Moved)]),
                      compactSize(movedBytes));
    const struct
    {
        int count;
        QString reason;
    } stayed[] = {
        {counts[int(MarkedTrashResult::ChangedSince)], tr("changed since the scan")},
        {counts[int(MarkedTrashResult::NoKeptCopy)], tr("no kept copy present")},
        {counts[int(MarkedTrashResult::KeptCopyDiffers)], tr("the kept copy differs now")},
        {counts[int(MarkedTrashResult::TrashRefused)], tr("the trash refused it")},
        {leftOut, tr("every copy of its group was marked")},
        {counts[int(MarkedTrashResult::Cancelled)], tr("cancelled")},
    };
    for (const auto& s : stayed) {
        if (s.count > 0)
            lines << tr("%1 stayed: %2.").arg(locale.toString(s.count), s.reason);
    }
    QMessageBox::information(this, tr("Trash Marked Files"), lines.join(QLatin1Char('\n')));
}

void ResultWidget::update() {}

} // namespace tarvik
