#include "ui/launcherwidget.h"

#include "ui/folderdrop.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvik {

LauncherWidget::LauncherWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LauncherWidget"));

    mLayout = new QVBoxLayout(this);
    setLayout(mLayout);
    mLayout->addStretch(0);

    mLogoLabel = new QLabel(this);
    mLogoLabel->setObjectName(QStringLiteral("LogoLabel"));
    mLogoLabel->setPixmap(QPixmap(QStringLiteral(":resource/app_name_320.png")));
    mLayout->addWidget(mLogoLabel, 0, Qt::AlignHCenter);

    mGetStartedButton = new QPushButton(tr(" Add Folder "), this);
    mLayout->addWidget(mGetStartedButton, 0, Qt::AlignHCenter);

    mLastSearchButton = new QPushButton(tr("Last Search"), this);
    mLastSearchButton->setObjectName(QStringLiteral("LastSearchButton"));
    mLastSearchButton->hide();
    mLayout->addWidget(mLastSearchButton, 0, Qt::AlignHCenter);
    connect(mLastSearchButton, SIGNAL(clicked()), this, SLOT(onPressLastSearchButton()));

    mLayout->addStretch(0);

    // The layout adopts the label.
    mWebLinkLabel = new QLabel(tr("© 2026 Tarvik. All rights reserved."));
    mWebLinkLabel->setObjectName(QStringLiteral("WebLinkLabel"));
    mLayout->addWidget(mWebLinkLabel, 0, Qt::AlignHCenter);

    connect(mGetStartedButton, SIGNAL(clicked()), this, SLOT(onPressGetStartedButton()));

    setAcceptDrops(true);
}

void LauncherWidget::setLastSearch(const QStringList& folders)
{
    mLastSearchButton->setVisible(!folders.isEmpty());
    mLastSearchButton->setToolTip(folders.join(QLatin1Char('\n')));
}

void LauncherWidget::onPressGetStartedButton()
{
    emit getStartedEvent();
}

void LauncherWidget::onPressLastSearchButton()
{
    emit lastSearchEvent();
}

void LauncherWidget::dragEnterEvent(QDragEnterEvent* event)
{
    acceptFolderDrag(event);
}

void LauncherWidget::dropEvent(QDropEvent* event)
{
    const QStringList folders = takeDroppedFolders(event);
    if (!folders.isEmpty())
        emit foldersDropped(folders);
}

} // namespace tarvik
