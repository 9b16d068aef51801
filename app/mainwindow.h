#pragma once

#include <QMainWindow>

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

public slots:
    void onGetStarted();
    void onStartedScan();
    void onBack();

private:
    QStackedWidget* mStackedWidget;
    LauncherWidget* mLauncherWidget;
    NewSearchWidget* mNewSearchWidget;
    ResultWidget* mResultWidget;
};

} // namespace tarvik
