#pragma once

#include "core/appsettings.h"
#include "scan/scanoptions.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QDragEnterEvent;
class QDropEvent;
class QFrame;
class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tarvik {

class SearchOptionsPanel;
class ToolMenu;

// Second page: the folders to search, an optional filter, the options of the search behind a
// toggle, and the start button. Folders dropped on it are added.
class NewSearchWidget : public QWidget
{
    Q_OBJECT

public:
    explicit NewSearchWidget(QWidget* parent = nullptr);

    void addFolder(const QString& folder);
    void setFolders(const QStringList& folders);
    QStringList folders() const;
    QString filterText() const;
    void setFilterText(const QString& filter);
    AppSettings::OptionTexts optionTexts() const;
    // Opens the options when any is set, so that a shaped search never hides its shape.
    void setOptionTexts(const AppSettings::OptionTexts& texts);
    // What the options say; the start button is enabled only while they can all be read.
    bool canStart() const;
    ScanOptions scanOptions() const;

signals:
    void startedScan();

private slots:
    void onPressStartScanButton();
    void onPressAddFolderButton();
    void onPressRemoveFolderButton();
    void onPressMenuButton();
    void onOptionsChanged();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QFrame* mToolBar;
    QHBoxLayout* mToolBarLayout;
    QToolButton* mAddFolderButton;
    QToolButton* mRemoveFolderButton;
    QLineEdit* mFilterEdit;
    QToolButton* mMenuButton;
    QVBoxLayout* mLayout;
    QListWidget* mSourceList;
    QPushButton* mStartScanButton;
    ToolMenu* mToolMenu;
    QToolButton* mOptionsButton;
    SearchOptionsPanel* mOptionsPanel;
};

} // namespace tarvik
