#pragma once

#include <QMainWindow>
#include <QStringList>

class QStackedWidget;

namespace tarvik {

class LauncherWidget;
class NewSearchWidget;
class ResultWidget;

// The only top-level window: a stack of the three pages. Pages announce what the user wants;
// only the window moves data between them and changes the current page.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Folders handed in from outside (the command line): the new search page holds them in
    // place of the remembered ones and becomes current; with scan, the scan starts too.
    void openFolders(const QStringList& folders, bool scan);

public slots:
    void onGetStarted();
    void onStartedScan();
    void onBack();
    void onLastSearch();
    void onFoldersDropped(const QStringList& folders);

private:
    void restoreLastSearch();

    QStackedWidget* mStackedWidget;
    LauncherWidget* mLauncherWidget;
    NewSearchWidget* mNewSearchWidget;
    ResultWidget* mResultWidget;
};

} // namespace tarvik
