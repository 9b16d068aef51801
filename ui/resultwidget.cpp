#include "ui/resultwidget.h"

#include "core/appdirs.h"
#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "ui/filestamp.h"
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
#include <QMovie>
#include <QScopedPointer>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QVBoxLayout>

namespace tarvik {

namespace {

// One turn of the event loop while results pour in: a slice of adding rows plus whatever
// else the loop does, mostly the tree's relayout, which grows with the tree.
constexpr qint64 kTurnNs = 40 * 1000 * 1000;
constexpr qint64 kMinSliceNs = 4 * 1000 * 1000;
constexpr qint64 kMaxSliceNs = 20 * 1000 * 1000;

// Birth time where the file system keeps one, else the last status change.
QDateTime createdTime(const QFileInfo& info)
{
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.metadataChangeTime();
}

} // namespace

ResultWidget::ResultWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ResultWidget"));
    mDateFormat = QLocale().dateTimeFormat(QLocale::ShortFormat);
    mGroupText = tr("Duplicate group #");
    mToolTipTexts << tr("File: ") << tr("Size: ") << tr("Created: ") << tr("Modified: ")
                  << tr("Location: ");
    mPendingTimer = new QTimer(this);
    mPendingTimer->setInterval(0);
    connect(mPendingTimer, SIGNAL(timeout()), this, SLOT(addPendingDuplicates()));

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
    mLayout->addWidget(mTreeWidget, 0);

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

void ResultWidget::startScan()
{
    resetScan();
    mThread->mFolders = mFolders;
    mThread->mFilter = mFilter;
    mThread->start(QThread::InheritPriority);
}

void ResultWidget::resetScan()
{
    mTreeWidget->clear();
    mGroupItems.clear();
    endThread();
    mPending.clear();
    mPendingTimer->stop();
    mSinceSlice.invalidate();
    mFinishWhenAdded = false;
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
    const qint64 rest = mSinceSlice.isValid() ? mSinceSlice.nsecsElapsed() : 0;
    const qint64 budget = qBound(kMinSliceNs, kTurnNs - rest, kMaxSliceNs);
    QElapsedTimer slice;
    slice.start();
    while (!mPending.isEmpty() && slice.nsecsElapsed() < budget)
        addDuplicate(mPending.dequeue());
    if (!mPending.isEmpty()) {
        mSinceSlice.start();
        return;
    }
    mSinceSlice.invalidate();
    mPendingTimer->stop();
    if (mFinishWhenAdded)
        hideSpinner();
}

void ResultWidget::addDuplicate(const Duplicate& duplicate)
{
    QTreeWidgetItem* groupItem = mGroupItems.value(duplicate.groupId, nullptr);
    if (!groupItem) {
        groupItem = addGroupItem();
        mGroupItems.insert(duplicate.groupId, groupItem);
        addFileItem(groupItem, duplicate.firstPath);
        addFileItem(groupItem, duplicate.duplicatePath);
        if (groupItem->treeWidget())
            groupItem->setExpanded(true);
        return;
    }
    addFileItem(groupItem, duplicate.duplicatePath);
}

QTreeWidgetItem* ResultWidget::addGroupItem()
{
    const int number = mGroupItems.size();
    auto* item = new QTreeWidgetItem();
    item->setText(0, mGroupText + QString::number(number, 10));
    mTreeWidget->addTopLevelItem(item);
    return item;
}

QTreeWidgetItem* ResultWidget::addFileItem(QTreeWidgetItem* groupItem, const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString size = sizeToString(info.size());
    const QString created = createdTime(info).toString(mDateFormat);
    const QString modified = info.lastModified().toString(mDateFormat);
    const QString location = info.filePath();

    auto* item = new QTreeWidgetItem();
    item->setText(0, name);
    item->setText(1, size);
    item->setText(2, created);
    item->setText(3, location);
    item->setToolTip(0, mToolTipTexts[0] + name + QLatin1Char('\n') + mToolTipTexts[1] + size +
                            QLatin1Char('\n') + mToolTipTexts[2] + created + QLatin1Char('\n') +
                            mToolTipTexts[3] + modified + QLatin1Char('\n') + mToolTipTexts[4] +
                            location);
    item->setIcon(0, mIconProvider.icon(info));
    item->setData(0, FileStampRole, QVariant::fromValue(FileStamp::of(path)));
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
    const QString path = item->text(3);
    const QFileInfo info(path);
    if (!info.exists())
        return;

    // Only the very file the row was made for: not one that was replaced, rewritten or
    // moved in under the same name since.
    const QVariant seen = item->data(0, FileStampRole);
    if (!seen.canConvert<FileStamp>())
        return;
    const FileStamp stamp = seen.value<FileStamp>();
    if (!stamp.valid || FileStamp::of(path) != stamp)
        return;

    moveToRecycleBin(path);

    // The row goes exactly when the file has left its place, whatever the call said.
    if (FileStamp::of(path).sameEntry(stamp))
        return;
    if (QTreeWidgetItem* group = item->parent()) {
        group->removeChild(item);
        delete item;
    }
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
    mSpinnerMovie->stop();
    mSpinnerLabel->setVisible(false);
    mScanningLabel->setVisible(false);
}

void ResultWidget::startedThread()
{
    mSpinnerMovie->start();
    mSpinnerLabel->setVisible(true);
    mScanningLabel->setVisible(true);
}

void ResultWidget::update() {}

} // namespace tarvik
