#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QFrame;
class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tarvik {

class ToolMenu;

// Second page: the folders to search, an optional filter and the start button.
class NewSearchWidget : public QWidget
{
    Q_OBJECT

public:
    explicit NewSearchWidget(QWidget* parent = nullptr);

    void addFolder(const QString& folder);
    QStringList folders() const;
    QString filterText() const;
    void setFilterText(const QString& filter);

signals:
    void startedScan();

private slots:
    void onPressStartScanButton();
    void onPressAddFolderButton();
    void onPressRemoveFolderButton();
    void onPressMenuButton();

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
};

} // namespace tarvik
