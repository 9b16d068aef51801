#pragma once

#include "scan/scanoptions.h"
#include "ui/fileitem.h"
#include "ui/grouparranger.h"
#include "ui/resulttally.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QEvent;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMovie;
class QPoint;
class QTimer;
class QToolButton;
class QTreeWidgetItem;
class QVBoxLayout;

namespace tarvik {

class DuplicateFinderThread;
class LinkMarkedMenu;
class MarkedFileRunner;
class MarkMenu;
class ResultSaver;
class RowFeeder;
class RowRemover;
class SortMenu;
class ToolMenu;
class TreeWidget;

// Third page: runs a scan and shows its duplicate groups as a tree. It lays out the page and
// hands what the user asks for to the pieces that do it: the row feeder, the tally behind the
// status line, the Mark menu, the marked-file runners and the saver.
class ResultWidget : public QWidget
{
    Q_OBJECT

public:
    static const int FileStampRole = FileItem::StampRole;

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
    void onPressStopButton();
    void refreshStatus();
    void onItemChanged(QTreeWidgetItem* item, int column);
    void removeFileRow(QTreeWidgetItem* item);
    void replaceFileRow(QTreeWidgetItem* item, int storage);
    void markedFilesDone();
    void showEnd();
    void arrange();
    void resultsSaved(const QString& path);
    void saveColumnWidths();

private:
    void resetScan();
    void endThread();
    // In resultwidget_toolbar.cpp.
    void addToolButtons();
    void setScanning(bool scanning);
    // In resultwidget_columns.cpp.
    void setUpColumns();

    QVBoxLayout* mLayout;
    QStringList mFolders;
    QString mFilter;
    ScanOptions mOptions;
    QFrame* mToolBar;
    QHBoxLayout* mToolBarLayout;
    QToolButton* mBackButton;
    QToolButton* mOpenFolderButton;
    QToolButton* mTrashButton;
    QToolButton* mMarkButton;
    MarkMenu* mMarkMenu;
    QToolButton* mTrashMarkedButton;
    QToolButton* mLinkMarkedButton;
    LinkMarkedMenu* mLinkMarkedMenu;
    QToolButton* mSaveResultsButton;
    QToolButton* mSortButton;
    SortMenu* mSortMenu;
    QLineEdit* mFilterEdit;
    QTimer* mFilterTimer;
    QTimer* mColumnsTimer;
    QToolButton* mMenuButton;
    ToolMenu* mToolMenu;
    QMovie* mSpinnerMovie;
    QLabel* mSpinnerLabel;
    QLabel* mScanningLabel;
    QToolButton* mStopButton;
    TreeWidget* mTreeWidget;
    QLabel* mStatusLabel;
    QTimer* mStatusTimer;
    DuplicateFinderThread* mThread;

    ResultTally mTally;
    RowFeeder* mFeeder;
    RowRemover* mRemover;
    GroupArranger* mArranger;
    MarkedFileRunner* mTrashMarked;
    ResultSaver* mSaver;
    QElapsedTimer mScanClock;
    bool mStopPressed = false;
    // A marking rule is changing many rows: the status line follows once, at its end.
    bool mMarking = false;
};

} // namespace tarvik
