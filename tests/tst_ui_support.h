#pragma once

// Drives the real main window headless: finds its pages and widgets, answers modal dialogs
// and popup menus from a timer, catches the URLs the pages hand to the desktop.

#include "app/mainwindow.h"
#include "app/startup.h"
#include "scan/duplicatefinderthread.h"
#include "testenv.h"
#include "ui/newsearchwidget.h"
#include "ui/resultwidget.h"
#include "ui/treewidget.h"

#include <QtWidgets>
#include <functional>
#include <memory>

// Outside the namespace: the resource initialiser is a global function.
inline void initUiTest()
{
    Q_INIT_RESOURCE(resource);
    qApp->setStyleSheet(tarvik::readTextFile(QStringLiteral(":/resource/style.css")));
}

namespace tarvik::test {

// Receives what QDesktopServices::openUrl is asked to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
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

// Runs action on the first modal widget (or popup) that appears within five seconds.
// Delete the returned timer to stop waiting.
inline QPointer<QTimer> whenShown(bool popup, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [=]() {
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

// Picks the menu entry with the given text by keyboard; any other text dismisses the menu.
// at receives where the menu opened.
inline QPointer<QTimer> chooseFromMenu(const QString& text, bool* shown = nullptr,
                                       QPoint* at = nullptr)
{
    return whenShown(true, [=](QWidget* widget) {
        auto* menu = qobject_cast<QMenu*>(widget);
        if (!menu)
            return;
        if (shown)
            *shown = true;
        if (at)
            *at = menu->pos();
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->text() == text) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        QTest::keyClick(menu, Qt::Key_Escape);
    });
}

// Answers the next folder dialog with folder, or cancels it when folder is empty.
inline void answerFolderDialog(const QString& folder)
{
    whenShown(false, [folder](QWidget* widget) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog)
            return;
        if (folder.isEmpty())
            return dialog->reject();
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(folder);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// The test home's own trash.
inline QString trashDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Trash");
}

// Records widgets' being shown and hidden; onHide runs the moment one hides.
class VisibilityLog : public QObject
{
public:
    explicit VisibilityLog(std::initializer_list<QWidget*> widgets)
    {
        for (QWidget* widget : widgets)
            widget->installEventFilter(this);
    }
    QStringList changes;
    std::function<void()> onHide = [] {};

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ShowToParent)
            changes << QStringLiteral("show");
        if (event->type() == QEvent::HideToParent) {
            changes << QStringLiteral("hide");
            onHide();
        }
        return false;
    }
};

// The real window and handles on the widgets the tests press.
struct Window
{
    std::unique_ptr<MainWindow> window{new MainWindow()};
    QStackedWidget* stack = window->findChild<QStackedWidget*>();
    QWidget* launcher = stack->widget(0);
    NewSearchWidget* search = window->findChild<NewSearchWidget*>();
    ResultWidget* result = window->findChild<ResultWidget*>();
    TreeWidget* tree = result->findChild<TreeWidget*>(QStringLiteral("DuplicateViewWidgte"));
    QListWidget* sourceList = search->findChild<QListWidget*>(QStringLiteral("SourceListWidget"));
    QLineEdit* filterEdit = search->findChild<QLineEdit*>();
    QLabel* spinnerLabel = nullptr;
    QLabel* scanningLabel = nullptr;

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

    void press(QWidget* page, const char* name) const
    {
        QTest::mouseClick(page->findChild<QAbstractButton*>(QString::fromLatin1(name)),
                          Qt::LeftButton);
    }
    DuplicateFinderThread* thread() const { return result->findChild<DuplicateFinderThread*>(); }

    // Waits for the scan to end and every result it sent to be in the tree, which the page
    // shows by hiding "Scanning...". Fails only on a hang.
    bool waitForScan() const
    {
        if (!QTest::qWaitFor([this] { return thread()->isFinished(); }, 120000))
            return false;
        // Now the thread's started() and finished() wait in the queue: let them reach the page.
        QCoreApplication::sendPostedEvents();
        return QTest::qWaitFor([this] { return scanningLabel->isHidden(); }, 120000);
    }

    // Sets the folder list and filter on the new search page and presses Start Scan.
    void scan(const QStringList& folders, const QString& filter = QString())
    {
        sourceList->clear();
        for (const QString& folder : folders)
            search->addFolder(folder);
        filterEdit->setText(filter);
        press(search, "StartScanButton");
    }

    QTreeWidgetItem* fileItem(const QString& path) const
    {
        const auto found = tree->findItems(path, Qt::MatchExactly | Qt::MatchRecursive, 3);
        return found.isEmpty() ? nullptr : found.first();
    }

    // Every group as the sorted list of its paths, the groups sorted too; a single group
    // "misnumbered" unless the groups are numbered from 0 in tree order.
    QList<QStringList> groupPaths() const
    {
        QList<QStringList> list;
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            QStringList paths;
            for (int i = 0; i < tree->topLevelItem(g)->childCount(); ++i)
                paths.append(tree->topLevelItem(g)->child(i)->text(3));
            paths.sort();
            list.append(paths);
            if (tree->topLevelItem(g)->text(0) != QStringLiteral("Duplicate group #%1").arg(g))
                return {{QStringLiteral("misnumbered")}};
        }
        std::sort(list.begin(), list.end());
        return list;
    }

    // As a user does it: the press that makes the row current, then the double-click.
    void doubleClick(const QPoint& pos) const
    {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    }

    // A right-click that makes the row under it current, then the context menu request.
    void rightClick(const QPoint& pos) const
    {
        QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(tree->viewport(), &event);
    }
};

} // namespace tarvik::test
