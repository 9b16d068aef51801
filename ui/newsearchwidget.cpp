#include "ui/newsearchwidget.h"

#include "core/appdirs.h"
#include "ui/folderdrop.h"
#include "ui/searchoptionspanel.h"
#include "ui/toolbar.h"
#include "ui/toolmenu.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvik {

NewSearchWidget::NewSearchWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("NewSearchWidget"));

    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(0, 0, 0, 0);
    setLayout(mLayout);

    mToolBar = addToolBar(this, mLayout, mToolBarLayout);

    mAddFolderButton =
        makeToolButton(mToolBar, QStringLiteral("AddFolderButton"), QStringLiteral("Add Folder"));
    connect(mAddFolderButton, SIGNAL(clicked()), this, SLOT(onPressAddFolderButton()));
    mToolBarLayout->addWidget(mAddFolderButton, 0);

    mRemoveFolderButton = makeToolButton(mToolBar, QStringLiteral("RemoveFolderButton"),
                                         QStringLiteral("Remove Folder"));
    connect(mRemoveFolderButton, SIGNAL(clicked()), this, SLOT(onPressRemoveFolderButton()));
    mToolBarLayout->addWidget(mRemoveFolderButton, 0);

    mFilterEdit = new QLineEdit(this);
    mFilterEdit->setPlaceholderText(QStringLiteral("Filter Items..."));
    mToolBarLayout->addWidget(mFilterEdit, 0);

    mOptionsButton = makeToolButton(mToolBar, QStringLiteral("OptionsButton"), tr("Options"));
    mOptionsButton->setCheckable(true);
    mToolBarLayout->addWidget(mOptionsButton, 0);

    mToolMenu = new ToolMenu(this);

    mMenuButton = makeToolButton(mToolBar, QStringLiteral("MenuButton"), QStringLiteral("Menu"));
    connect(mMenuButton, SIGNAL(clicked()), this, SLOT(onPressMenuButton()));
    mToolBarLayout->addWidget(mMenuButton, 0, Qt::AlignRight);

    mOptionsPanel = new SearchOptionsPanel(this);
    mOptionsPanel->hide();
    mLayout->addWidget(mOptionsPanel, 0);
    connect(mOptionsButton, SIGNAL(toggled(bool)), mOptionsPanel, SLOT(setVisible(bool)));
    connect(mOptionsPanel, SIGNAL(changed()), this, SLOT(onOptionsChanged()));

    mSourceList = new QListWidget(this);
    mSourceList->setObjectName(QStringLiteral("SourceListWidget"));
    mLayout->addWidget(mSourceList, 0);

    mStartScanButton = new QPushButton(tr(" Start Scan "), this);
    mStartScanButton->setObjectName(QStringLiteral("StartScanButton"));
    mLayout->addWidget(mStartScanButton, 0, Qt::AlignHCenter | Qt::AlignBottom);
    connect(mStartScanButton, SIGNAL(clicked()), this, SLOT(onPressStartScanButton()));

    setAcceptDrops(true);
}

void NewSearchWidget::addFolder(const QString& folder)
{
    mSourceList->addItem(folder);
}

void NewSearchWidget::setFolders(const QStringList& folders)
{
    mSourceList->clear();
    mSourceList->addItems(folders);
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

void NewSearchWidget::setFilterText(const QString& filter)
{
    mFilterEdit->setText(filter);
}

AppSettings::OptionTexts NewSearchWidget::optionTexts() const
{
    return mOptionsPanel->texts();
}

void NewSearchWidget::setOptionTexts(const AppSettings::OptionTexts& texts)
{
    mOptionsPanel->setTexts(texts);
    if (mOptionsPanel->isSet())
        mOptionsButton->setChecked(true);
}

bool NewSearchWidget::canStart() const
{
    return mOptionsPanel->isValid();
}

ScanOptions NewSearchWidget::scanOptions() const
{
    return mOptionsPanel->options();
}

void NewSearchWidget::onOptionsChanged()
{
    mStartScanButton->setEnabled(mOptionsPanel->isValid());
    // The toggle stays lit while options shape the search, even with the panel closed.
    const bool set = mOptionsPanel->isSet();
    if (mOptionsButton->property("optionsSet").toBool() != set) {
        mOptionsButton->setProperty("optionsSet", set);
        mOptionsButton->style()->unpolish(mOptionsButton);
        mOptionsButton->style()->polish(mOptionsButton);
    }
}

void NewSearchWidget::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFolderDrag(event);
}

void NewSearchWidget::dropEvent(QDropEvent* event)
{
    for (const QString& folder : takeDroppedFolders(event))
        addFolder(folder);
}

void NewSearchWidget::onPressStartScanButton()
{
    emit startedScan();
}

void NewSearchWidget::onPressAddFolderButton()
{
    const QString folder = askForFolder(this, tr("Add Folder"));
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
