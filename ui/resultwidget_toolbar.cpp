// The result page's tool bar: its buttons, the spinner and "Scanning...", and which of them a
// running scan shows.

#include "ui/resultwidget.h"
#include "ui/sortmenu.h"
#include "ui/toolbar.h"
#include "ui/toolmenu.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QToolButton>

namespace tarvik {

void ResultWidget::addToolButtons()
{
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

    // Its menu comes with the tree it marks, below.
    mMarkButton = makeToolButton(mToolBar, QStringLiteral("MarkButton"), tr("Mark"));
    mMarkButton->setPopupMode(QToolButton::InstantPopup);
    mToolBarLayout->addWidget(mMarkButton, 0, Qt::AlignLeft);

    mTrashMarkedButton =
        makeToolButton(mToolBar, QStringLiteral("TrashMarkedButton"), tr("Trash Marked Files"));
    mToolBarLayout->addWidget(mTrashMarkedButton, 0, Qt::AlignLeft);

    // Its menu comes with the tree, too.
    mLinkMarkedButton =
        makeToolButton(mToolBar, QStringLiteral("LinkMarkedButton"), tr("Replace Marked Files"));
    mLinkMarkedButton->setPopupMode(QToolButton::InstantPopup);
    mToolBarLayout->addWidget(mLinkMarkedButton, 0, Qt::AlignLeft);

    mSaveResultsButton =
        makeToolButton(mToolBar, QStringLiteral("SaveResultsButton"), tr("Save Results"));
    connect(mSaveResultsButton, SIGNAL(clicked()), this, SLOT(onPressSaveResultsButton()));
    mToolBarLayout->addWidget(mSaveResultsButton, 0, Qt::AlignLeft);

    mSortButton = makeToolButton(mToolBar, QStringLiteral("SortButton"), tr("Sort"));
    mSortButton->setPopupMode(QToolButton::InstantPopup);
    mSortMenu = new SortMenu(mSortButton);
    mSortButton->setMenu(mSortMenu);
    connect(mSortMenu, SIGNAL(orderChosen()), this, SLOT(arrange()));
    mToolBarLayout->addWidget(mSortButton, 0, Qt::AlignLeft);

    mToolBarLayout->addStretch(0);

    // Not parented: the page deletes it itself.
    mSpinnerMovie = new QMovie(QStringLiteral(":/resource/loading_spinner.gif"), QByteArray());

    mSpinnerLabel = new QLabel(this);
    mSpinnerLabel->setMovie(mSpinnerMovie);
    mSpinnerMovie->setScaledSize(QSize(32, 32));
    mToolBarLayout->addWidget(mSpinnerLabel, 0);

    mScanningLabel = new QLabel(QStringLiteral("Scanning..."), this);
    mToolBarLayout->addWidget(mScanningLabel, 0);

    mStopButton = makeToolButton(mToolBar, QStringLiteral("StopButton"), tr("Stop Scan"));
    connect(mStopButton, SIGNAL(clicked()), this, SLOT(onPressStopButton()));
    mToolBarLayout->addWidget(mStopButton, 0);

    mToolBarLayout->addStretch(0);

    mToolMenu = new ToolMenu(this);

    mMenuButton = makeToolButton(mToolBar, QStringLiteral("MenuButton"), tr("Menu"));
    connect(mMenuButton, SIGNAL(clicked()), this, SLOT(onPressMenuButton()));
    mToolBarLayout->addWidget(mMenuButton, 0, Qt::AlignRight);
}

void ResultWidget::onPressBackButton()
{
    emit back();
}

void ResultWidget::onPressMenuButton()
{
    mToolMenu->exec(mMenuButton->mapToGlobal(mMenuButton->rect().bottomLeft()), nullptr);
}

void ResultWidget::setScanning(bool scanning)
{
    mStopButton->setVisible(scanning);
    // Acting on every result waits for them all; it also keeps the tool bar within the window,
    // beside the spinner and "Scanning...".
    mTrashMarkedButton->setVisible(!scanning);
    mLinkMarkedButton->setVisible(!scanning);
    mSaveResultsButton->setVisible(!scanning);
    mSortButton->setVisible(!scanning);
    mFilterEdit->setEnabled(!scanning);
}

} // namespace tarvik
