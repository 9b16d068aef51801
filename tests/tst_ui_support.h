#pragma once

// Drives the real main window headless: finds its pages and widgets, answers modal dialogs
// and popup menus from a timer, catches the URLs the pages hand to the desktop and builds
// file trees to scan.

#include "app/mainwindow.h"
#include "scan/duplicatefinderthread.h"
#include "testenv.h"
#include "ui/launcherwidget.h"
#include "ui/newsearchwidget.h"
#include "ui/resultwidget.h"
#include "ui/treewidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMovie>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <memory>

namespace tarvik::test {

// Receives what QDesktopServices::openUrl is asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(QObject* parent = nullptr) : QObject(parent)
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Runs action on the first modal widget (or popup, when popup is true) that appears within
// five seconds. Delete the returned timer to stop waiting.
inline QPointer<QTimer> whenShown(bool popup, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, tries, popup, action]() {
        QWidget* widget =
            popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (!widget && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (widget)
            action(widget);
    });
    timer->start(10);
    return timer;
}

// Picks the menu entry with the given text, by keyboard as a user would; an empty text
// dismisses the menu with Escape.
inline QPointer<QTimer> chooseFromMenu(const QString& text, QStringList* seenEntries = nullptr,
                                       QPoint* shownAt = nullptr)
{
    return whenShown(true, [=](QWidget* widget) {
        auto* menu = qobject_cast<QMenu*>(widget);
        if (!menu)
            return;
        if (shownAt)
            *shownAt = menu->pos();
        if (seenEntries) {
            seenEntries->clear();
            for (QAction* action : menu->actions())
                seenEntries->append(action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (!text.isEmpty() && action->text() == text)
                chosen = action;
        if (!chosen) {
            QTest::keyClick(menu, Qt::Key_Escape);
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Answers the next folder dialog with folder, or cancels it when folder is empty.
inline void answerFolderDialog(const QString& folder)
{
    whenShown(false, [folder](QWidget* widget) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog)
            return;
        if (folder.isEmpty()) {
            dialog->reject();
            return;
        }
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(folder);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// The real window and handles on the widgets the tests press.
struct Window
{
    std::unique_ptr<MainWindow> window{new MainWindow()};
    QStackedWidget* stack = window->findChild<QStackedWidget*>();
    LauncherWidget* launcher = window->findChild<LauncherWidget*>();
    NewSearchWidget* search = window->findChild<NewSearchWidget*>();
    ResultWidget* result = window->findChild<ResultWidget*>();
    TreeWidget* tree = result->findChild<TreeWidget*>(QStringLiteral("DuplicateViewWidgte"));
    QListWidget* sourceList = search->findChild<QListWidget*>(QStringLiteral("SourceListWidget"));
    QLineEdit* filterEdit = search->findChild<QLineEdit*>();
    QLabel* scanningLabel = nullptr;
    QLabel* spinnerLabel = nullptr;

    Window()
    {
        for (QLabel* label : result->findChildren<QLabel*>()) {
            if (label->movie())
                spinnerLabel = label;
            else if (label->text() == QLatin1String("Scanning..."))
                scanningLabel = label;
        }
        window->show();
    }

    QAbstractButton* button(QWidget* page, const char* name) const
    {
        return page->findChild<QAbstractButton*>(QString::fromLatin1(name));
    }
    QAbstractButton* startButton() const { return button(search, "StartScanButton"); }
    QAbstractButton* launcherButton() const { return launcher->findChild<QAbstractButton*>(); }

    DuplicateFinderThread* thread() const { return result->findChild<DuplicateFinderThread*>(); }

    // Waits for the running scan to end and for every result it sent to be in the tree,
    // which the page shows by hiding "Scanning...".
    bool waitForScan(int timeoutMs = 120000) const
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            DuplicateFinderThread* current = thread();
            if (current && current->isFinished())
                break;
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        // Now the thread's started() and finished() have reached the page.
        QCoreApplication::sendPostedEvents();
        while (!scanningLabel->isHidden()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    // Sets the folder list and filter on the new search page and presses Start Scan.
    void scan(const QStringList& folders, const QString& filter = QString())
    {
        sourceList->clear();
        for (const QString& folder : folders)
            search->addFolder(folder);
        filterEdit->setText(filter);
        QTest::mouseClick(startButton(), Qt::LeftButton);
    }

    QList<QTreeWidgetItem*> groups() const
    {
        QList<QTreeWidgetItem*> list;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            list.append(tree->topLevelItem(i));
        return list;
    }

    QTreeWidgetItem* fileItem(const QString& path) const
    {
        for (QTreeWidgetItem* group : groups())
            for (int i = 0; i < group->childCount(); ++i)
                if (group->child(i)->text(3) == path)
                    return group->child(i);
        return nullptr;
    }

    // Every group as the sorted list of its paths, the groups sorted too.
    QList<QStringList> groupPaths() const
    {
        QList<QStringList> list;
        for (QTreeWidgetItem* group : groups()) {
            QStringList paths;
            for (int i = 0; i < group->childCount(); ++i)
                paths.append(group->child(i)->text(3));
            paths.sort();
            list.append(paths);
        }
        std::sort(list.begin(), list.end());
        return list;
    }
};

} // namespace tarvik::test
