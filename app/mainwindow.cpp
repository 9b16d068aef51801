#include "app/mainwindow.h"

#include "ui/launcherwidget.h"
#include "ui/newsearchwidget.h"
#include "ui/resultwidget.h"

#include <QFileDialog>
#include <QStackedWidget>

namespace tarvik {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("Tarvik Duplicate Finder"));
    setGeometry(100, 100, 480, 600);

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
}

MainWindow::~MainWindow() = default;

void MainWindow::onGetStarted()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Add Folder"), QString(),
                                                             QFileDialog::ShowDirsOnly |
                                                                 QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    mNewSearchWidget->addFolder(folder);
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

void MainWindow::onStartedScan()
{
    const QStringList folders = mNewSearchWidget->folders();
    const QString filter = mNewSearchWidget->filterText();
    mResultWidget->setFolders(folders);
    mResultWidget->setFilter(filter);
    mStackedWidget->setCurrentWidget(mResultWidget);
    mResultWidget->startScan();
}

void MainWindow::onBack()
{
    mStackedWidget->setCurrentWidget(mNewSearchWidget);
}

} // namespace tarvik
