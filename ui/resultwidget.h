#pragma once

#include "scan/scanoptions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QWidget>

class QEvent;
class QFrame;
class QHBoxLayout;
class QLabel;
class QMenu;
class QMovie;
class QPoint;
class QTimer;
class QToolButton;
class QTreeWidgetItem;
class QVBoxLayout;

namespace tarvik {

class DuplicateEvent;
class DuplicateFinderThread;
class FileItem;
class ToolMenu;
class TreeWidget;

// Third page: runs a scan and shows its duplicate groups as a tree; opens and trashes files.
class ResultWidget : public QWidget
{
    Q_OBJECT

public:
    // Item data role (column 0 of file items) holding the FileStamp taken when the row was made.
    static const int FileStampRole = Qt::UserRole + 1;

    explicit ResultWidget(QWidget* parent = nullptr);
    ~ResultWidget() override;

    void setFolders(const QStringList& folders);
    void setFilter(const QString& filter);
    void setOptions(const ScanOptions& options);
    void startScan();

signals:
    void back();

protected:
    bool event(QEvent* event) override;

private slots:
    void onPressBackButton();
    void onPressOpenFolderButton();
    void onPressFileRemoveButton();
    void onPressSaveResultsButton();
    void onPressMenuButton();
    void onCustomContextMenuRequested(const QPoint& pos);
    void onItemDoubleClicked(QTreeWidgetItem* item, int column);
    void onItemEntered(QTreeWidgetItem* item, int column);
    void finishedThread();
    void startedThread();
    // Kept empty: it hides QWidget::update(), so nothing in this page may repaint through it.
    void update();
    void addPendingDuplicates();
    void layOutTree();
    void onPressStopButton();
    void refreshStatus();
    void onMarkRule();
    void onPressTrashMarkedButton();
    void onItemChanged(QTreeWidgetItem* item, int column);

private:
    struct Duplicate
    {
        QUuid groupId;
        QString firstPath;
        QString duplicatePath;
    };

    void resetScan();
    void endThread();
    void handleDuplicateEvent(DuplicateEvent* event);
    void addDuplicate(const Duplicate& duplicate);
    void hideSpinner();
    void removeFileRow(QTreeWidgetItem* item);
    QString foundText() const;
    void setScanning(bool scanning);
    QTreeWidgetItem* addGroupItem();
    FileItem* addFileItem(QTreeWidgetItem* groupItem, const QString& path);

    QVBoxLayout* mLayout;
    QStringList mFolders;
    QString mFilter;
    ScanOptions mOptions;
    QFrame* mToolBar;
    QHBoxLayout* mToolBarLayout;
    QToolButton* mBackButton;
    QToolButton* mOpenFolderButton;
    QToolButton* mTrashButton;
    QToolButton* mSaveResultsButton;
    QToolButton* mMenuButton;
    ToolMenu* mToolMenu;
    QMovie* mSpinnerMovie;
    QLabel* mSpinnerLabel;
    QLabel* mScanningLabel;
    TreeWidget* mTreeWidget;
    QHash<QUuid, QTreeWidgetItem*> mGroupItems;
    DuplicateFinderThread* mThread;
    QToolButton* mStopButton;
    QLabel* mStatusLabel;
    QTimer* mStatusTimer;
    QElapsedTimer mScanClock;
    bool mStopPressed = false;
    QString mEndText;

    // What the tree shows: groups that still hold two or more files, the files beyond each
    // group's first, and the bytes those take.
    int mCopyGroups = 0;
    qint64 mCopies = 0;
    qint64 mReclaimable = 0;

    // Files marked to go, by the check box of their row.
    QToolButton* mMarkButton;
    QMenu* mMarkMenu;
    QToolButton* mTrashMarkedButton;
    QSet<QTreeWidgetItem*> mMarkedItems;
    qint64 mMarkedBytes = 0;

    QString mGroupText;

    // Results wait here, in arrival order, and go into the tree a few milliseconds' worth
    // at a time, so a flood of them never keeps the window from its event loop for long.
    QQueue<Duplicate> mPending;
    QTimer* mPendingTimer;
    QTimer* mLayoutTimer;
    QElapsedTimer mSinceLayout;
    qint64 mLastLayoutMs = 0;
    bool mFinishWhenAdded = false;
};

} // namespace tarvik
