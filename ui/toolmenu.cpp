#include "ui/toolmenu.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace tarvik {

const char* const kVendorWebSite = "https://tarvik.example/";

ToolMenu::ToolMenu(QWidget* parent) : QMenu(parent)
{
    QAction* about = addAction(tr("About Tarvik Duplicate Finder"));
    connect(about, SIGNAL(triggered()), this, SLOT(onOpenAbount()));
    addSeparator();
    QAction* exit = addAction(tr("Exit"));
    connect(exit, SIGNAL(triggered()), this, SLOT(onExit()));
}

void ToolMenu::onOpenAbount()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kVendorWebSite), QUrl::TolerantMode));
}

void ToolMenu::onExit()
{
    QApplication::closeAllWindows();
}

} // namespace tarvik
