#include "ui/newsearchwidget.h"

#include "core/appdirs.h"
#include "ui/toolmenu.h"

#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvik {

NewSearchWidget::NewSearchWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NewSearchWidget"));

    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(0, 0, 0, 0);
    setLayout(mLayout);

    mToolBar = new QFrame(this);
    mToolBarLayout = new QHBoxLayout(mToolBar);
    mToolBarLayout->setContentsMargins(16, 16, 16, 16);
    mToolBarLayout->setSpacing(16);
    mToolBar->setLayout(mToolBarLayout);
    mLayout->addWidget(mToolBar, 0);

    mAddFolderButton = new QToolButton(mToolBar);
    mAddFolderButton->setObjectName(QStringLiteral("AddFolderButton"));
    mAddFolderButton->setToolTip(QStringLiteral("Add Folder"));
    mAddFolderButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mAddFolderButton->setIconSize(QSize(24, 24));
    connect(mAddFolderButton, SIGNAL(clicked()), this, SLOT(onPressAddFolderButton()));
    mToolBarLayout->addWidget(mAddFolderButton, 0);

    mRemoveFolderButton = new QToolButton(mToolBar);
    mRemoveFolderButton->setObjectName(QStringLiteral("RemoveFolderButton"));
    mRemoveFolderButton->setToolTip(QStringLiteral("Remove Folder"));
    mRemoveFolderButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mRemoveFolderButton->setIconSize(QSize(24, 24));
    connect(mRemoveFolderButton, SIGNAL(clicked()), this, SLOT(onPressRemoveFolderButton()));
    mToolBarLayout->addWidget(mRemoveFolderButton, 0);

    mFilterEdit = new QLineEdit(this);
    mFilterEdit->setPlaceholderText(QStringLiteral("Filter Items..."));
    mToolBarLayout->addWidget(mFilterEdit, 0);

    mToolMenu = new ToolMenu(this);

    mMenuButton = new QToolButton(mToolBar);
    mMenuButton->setObjectName(QStringLiteral("MenuButton"));
    mMenuButton->setToolTip(QStringLiteral("Menu"));
    mMenuButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mMenuButton->setIconSize(QSize(24, 24));
    connect(mMenuButton, SIGNAL(clicked()), this, SLOT(onPressMenuButton()));
    mToolBarLayout->addWidget(mMenuButton, 0, Qt::AlignRight);

    mSourceList = new QListWidget(this);
    mSourceList->setObjectName(QStringLiteral("SourceListWidget"));
    mLayout->addWidget(mSourceList, 0);

    mStartScanButton = new QPushButton(tr(" Start Scan "), this);
    mStartScanButton->setObjectName(QStringLiteral("StartScanButton"));
    mLayout->addWidget(mStartScanButton, 0, Qt::AlignHCenter | Qt::AlignBottom);
    connect(mStartScanButton, SIGNAL(clicked()), this, SLOT(onPressStartScanButton()));
}

void NewSearchWidget::addFolder(const QString& folder)
{
    mSourceList->addItem(folder);
}

QStringList NewSearchWidget::folders() const
{
    QStringList list;
    list.reserve(mSourceList->count());
    for (int row = 0; row < mSourceList->count(); ++row)
        list.append(mSourceList->item(row)->text());
    return list;
}

QString NewSearchWidget::filterText() const
{
    return mFilterEdit->text();
}

void NewSearchWidget::onPressStartScanButton()
{
    emit startedScan();
}

void NewSearchWidget::onPressAddFolderButton()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Add Folder"), QString(),
                                                             QFileDialog::ShowDirsOnly |
                                                                 QFileDialog::DontResolveSymlinks);
    if (!folder.isEmpty())
        addFolder(folder);
}

void NewSearchWidget::onPressRemoveFolderButton()
{
    QListWidgetItem* item = mSourceList->currentItem();
    if (!item)
        return;
    debugLog(QStringLiteral("onPressRemoveFolderButton"));
    mSourceList->removeItemWidget(item);
    delete item;
}

void NewSearchWidget::onPressMenuButton()
{
    mToolMenu->exec(mMenuButton->mapToGlobal(mMenuButton->rect().bottomLeft()));
}

} // namespace tarvik
