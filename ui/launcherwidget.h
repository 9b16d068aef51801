#pragma once

#include <QStringList>
#include <QWidget>

class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace tarvik {

// First page: the logo, one button that asks for a first folder, one that goes back to the last
// search when there is one, the copyright line. Folders dropped on it start a search.
class LauncherWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LauncherWidget(QWidget* parent = nullptr);

    // Offers the last search, with its folders in the button's tool tip; none hides it.
    void setLastSearch(const QStringList& folders);

signals:
    void getStartedEvent();
    void lastSearchEvent();
    void foldersDropped(const QStringList& folders);

private slots:
    void onPressGetStartedButton();
    void onPressLastSearchButton();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QVBoxLayout* mLayout;
    QLabel* mLogoLabel;
    QLabel* mWebLinkLabel;
    QPushButton* mGetStartedButton;
    QPushButton* mLastSearchButton;
};

} // namespace tarvik
