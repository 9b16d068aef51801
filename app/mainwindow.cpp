#include "app/mainwindow.h"

#include "core/appsettings.h"
#include "ui/launcherwidget.h"
#include "ui/newsearchwidget.h"
#include "ui/resultwidget.h"
#include "ui/toolbar.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>

namespace tarvik {

namespace {

const QRect kFirstGeometry(100, 100, 480, 600);

// A window whose title bar no screen shows could not be moved back by the user.
bool reachable(const QRect& geometry)
{
    const QRect titleBar(geometry.x(), geometry.y(), geometry.width(), 30);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(titleBar);
        if (seen.width() >= 50 && seen.height() >= 10)
            return true;
    }
    return false;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("Tarvik Duplicate Finder"));
    setGeometry(kFirstGeometry);
    const QRect remembered = AppSettings::windowGeometry();
    if (remembered.isValid() && reachable(remembered))
        setGeometry(remembered);

    mStackedWidget = new QStackedWidget(this);
    setCentralWidget(mStackedWidget);

    mLauncherWidget = new LauncherWidget(this);
    mStackedWidget->addWidget(mLauncherWidget);
    mNewSearchWidget = new NewSearchWidget(this);
    mStackedWidget->addWidget(mNewSearchWidget);
    mResultWidget = new ResultWidget(this);
    mStackedWidget->addWidget(mResultWidget);

    connect(mLauncherWidget, SIGNAL(getStartedEvent()), this, SLOT(onGetStarted()));
    connect(mNewSearchWidget, SIGNAL(startedScan()), this, SLOT(onStartedScan()));
    connect(mResultWidget, SIGNAL(back()), this, SLOT(onBack()));

    connect(mLauncherWidget, SIGNAL(lastSearchEvent()), this, SLOT(onLastSearch()));
    connect(mLauncherWidget, SIGNAL(foldersDropped(QStringList)), this,
            SLOT(onFoldersDropped(QStringList)));

    // The last search comes back, but the launcher still greets the user, offering it.
    restoreLastSearch();
    mLauncherWidget->setLastSearch(mNewSearchWidget->folders());
}

MainWindow::~MainWindow()
{
    if (geometry() != kFirstGeometry)
        AppSettings::setWindowGeometry(geometry());
}

void MainWindow::onGetStarted()
{
    const QString folder = askForFolder(this, tr("Add Folder"));
    if (folder.isEmpty())
        return;
    mNewSearchWidget->addFolder(folder);
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

void MainWindow::onStartedScan()
{
    // The page's start button is disabled while an option cannot be read.
    if (!mNewSearchWidget->canStart()) {
        mStackedWidget->setCurrentWidget(mNewSearchWidget);
        return;
    }
    const QStringList folders = mNewSearchWidget->folders();
    const QString filter = mNewSearchWidget->filterText();
    AppSettings::setLastSearch(folders, filter, mNewSearchWidget->optionTexts());
    mResultWidget->setFolders(folders);
    mResultWidget->setFilter(filter);
    mResultWidget->setOptions(mNewSearchWidget->scanOptions());
    mStackedWidget->setCurrentWidget(mResultWidget);
    mResultWidget->startScan();
}

void MainWindow::onBack()
{
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

void MainWindow::restoreLastSearch()
{
    mNewSearchWidget->setFolders(AppSettings::lastFolders());
    mNewSearchWidget->setFilterText(AppSettings::lastFilter());
    mNewSearchWidget->setOptionTexts(AppSettings::lastOptions());
}

void MainWindow::onLastSearch()
{
    restoreLastSearch();
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

void MainWindow::onFoldersDropped(const QStringList& folders)
{
    for (const QString& folder : folders)
        mNewSearchWidget->addFolder(folder);
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

void MainWindow::openFolders(const QStringList& folders, bool scan)
{
    mNewSearchWidget->setFolders(folders);
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
    if (scan)
        onStartedScan();
}

} // namespace tarvik
