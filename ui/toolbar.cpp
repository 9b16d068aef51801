#include "ui/toolbar.h"

#include "core/appsettings.h"

#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvik {

QFrame* addToolBar(QWidget* page, QVBoxLayout* pageLayout, QHBoxLayout*& toolBarLayout)
{
    auto* toolBar = new QFrame(page);
    toolBarLayout = new QHBoxLayout(toolBar);
    toolBarLayout->setContentsMargins(16, 16, 16, 16);
    toolBarLayout->setSpacing(16);
    toolBar->setLayout(toolBarLayout);
    pageLayout->addWidget(toolBar, 0);
    return toolBar;
}

QToolButton* makeToolButton(QFrame* toolBar, const QString& objectName, const QString& toolTip)
{
    auto* button = new QToolButton(toolBar);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(24, 24));
    return button;
}

QString askForFolder(QWidget* parent, const QString& caption)
{
    const QString folder = QFileDialog::getExistingDirectory(
        parent, caption, AppSettings::dialogFolder(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!folder.isEmpty())
        AppSettings::setChosenFolder(folder);
    return folder;
}

} // namespace tarvik
