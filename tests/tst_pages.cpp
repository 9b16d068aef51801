#include "app/startup.h"
#include "testenv.h"
#include "tst_ui_support.h"
#include "ui/sizetext.h"
#include "ui/toolmenu.h"

#include <QPushButton>
#include <QtTest>

using namespace tarvik;
using namespace tarvik::test;

class PagesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowStartsOnTheLauncher();
    void styledWidgetsCarryTheirNames_data();
    void styledWidgetsCarryTheirNames();
    void launcherAsksForAFolder_data();
    void launcherAsksForAFolder();
    void folderListAddsAndRemoves();
    void addFolderButton_data();
    void addFolderButton();
    void startHandsFoldersAndFilterOnUnchanged_data();
    void startHandsFoldersAndFilterOnUnchanged();
    void backKeepsFoldersAndFilter();
    void toolMenu_data();
    void toolMenu();
    void sizeText_data();
    void sizeText();
};

void PagesTest::initTestCase()
{
    Q_INIT_RESOURCE(resource);
    qApp->setStyleSheet(readTextFile(QStringLiteral(":/resource/style.css")));
}

void PagesTest::windowStartsOnTheLauncher()
{
    Window w;
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Tarvik Duplicate Finder"));
    QCOMPARE(w.window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w.window->geometry(), QRect(100, 100, 480, 600));
    QCOMPARE(w.window->centralWidget(), w.stack);
    QCOMPARE(w.stack->count(), 3);
    QCOMPARE(w.stack->widget(0), w.launcher);
    QCOMPARE(w.stack->widget(1), w.search);
    QCOMPARE(w.stack->widget(2), w.result);
    QCOMPARE(w.stack->currentWidget(), w.launcher);
    QCOMPARE(w.launcherButton()->text(), QStringLiteral(" Add Folder "));
    QCOMPARE(w.startButton()->text(), QStringLiteral(" Start Scan "));
    QCOMPARE(w.filterEdit->placeholderText(), QStringLiteral("Filter Items..."));

    const auto* copyright = w.launcher->findChild<QLabel*>(QStringLiteral("WebLinkLabel"));
    QVERIFY(copyright);
    QCOMPARE(copyright->text(), QStringLiteral("© 2026 Tarvik. All rights reserved."));
    const auto* logo = w.launcher->findChild<QLabel*>(QStringLiteral("LogoLabel"));
    QVERIFY(logo);
    QCOMPARE(logo->pixmap(Qt::ReturnByValue).size(), QSize(320, 100));

    QCOMPARE(w.tree->columnCount(), 4);
    const QTreeWidgetItem* header = w.tree->headerItem();
    QCOMPARE(QStringList({header->text(0), header->text(1), header->text(2), header->text(3)}),
             QStringList({"Name", "Size", "Create", "Location"}));
    QCOMPARE(w.tree->columnWidth(0), 200);
    QCOMPARE(w.tree->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(w.spinnerLabel && w.scanningLabel);
    QCOMPARE(w.spinnerLabel->movie()->scaledSize(), QSize(32, 32));
    QVERIFY(w.spinnerLabel->movie()->isValid());
}

void PagesTest::styledWidgetsCarryTheirNames_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("add") << 1 << "AddFolderButton"
                         << "Add Folder";
    QTest::newRow("remove") << 1 << "RemoveFolderButton"
                            << "Remove Folder";
    QTest::newRow("menu on search") << 1 << "MenuButton"
                                    << "Menu";
    QTest::newRow("back") << 2 << "BackButton"
                          << "Back";
    QTest::newRow("open folder") << 2 << "OpenFolderButton"
                                 << "Open Folder";
    QTest::newRow("trash") << 2 << "TrashButton"
                           << "Delete File";
    QTest::newRow("menu on result") << 2 << "MenuButton"
                                    << "Menu";
}

// The style sheet draws these buttons by name; an unnamed or iconed button shows nothing.
void PagesTest::styledWidgetsCarryTheirNames()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, toolTip);

    Window w;
    w.stack->setCurrentIndex(page);
    auto* button = w.stack->widget(page)->findChild<QToolButton*>(name);
    QVERIFY(button);
    QCOMPARE(button->toolTip(), toolTip);
    QVERIFY(button->icon().isNull());
    QCOMPARE(button->iconSize(), QSize(24, 24));
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);

    // The image comes from the sheet: the button paints something other than its background.
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const QImage image = button->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() > 2, qPrintable(name + " shows no image"));
}

void PagesTest::launcherAsksForAFolder_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
}

void PagesTest::launcherAsksForAFolder()
{
    QFETCH(bool, choose);
    QTemporaryDir dir;
    Window w;
    const QString folder = choose ? dir.path() : QString();

    answerFolderDialog(folder);
    QTest::mouseClick(w.launcherButton(), Qt::LeftButton);

    if (choose) {
        QCOMPARE(w.search->folders(), QStringList{folder});
        QCOMPARE(w.stack->currentWidget(), w.search);
    } else {
        QCOMPARE(w.search->folders(), QStringList());
        QCOMPARE(w.stack->currentWidget(), w.launcher);
        // The button asks again.
        answerFolderDialog(dir.path());
        QTest::mouseClick(w.launcherButton(), Qt::LeftButton);
        QCOMPARE(w.search->folders(), QStringList{dir.path()});
        QCOMPARE(w.stack->currentWidget(), w.search);
    }
}

void PagesTest::folderListAddsAndRemoves()
{
    Window w;
    w.stack->setCurrentWidget(w.search);
    QAbstractButton* remove = w.button(w.search, "RemoveFolderButton");

    w.search->addFolder("/a");
    w.search->addFolder("/b");
    w.search->addFolder("/c");
    w.search->addFolder("/a");
    QCOMPARE(w.search->folders(), QStringList({"/a", "/b", "/c", "/a"}));

    // No current row: nothing goes.
    w.sourceList->setCurrentItem(nullptr);
    QVERIFY(!w.sourceList->currentItem());
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(w.search->folders(), QStringList({"/a", "/b", "/c", "/a"}));

    w.sourceList->setCurrentRow(1);
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(w.search->folders(), QStringList({"/a", "/c", "/a"}));

    while (w.sourceList->count()) {
        w.sourceList->setCurrentRow(0);
        QTest::mouseClick(remove, Qt::LeftButton);
    }
    QCOMPARE(w.search->folders(), QStringList());
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(w.search->folders(), QStringList());
}

void PagesTest::addFolderButton_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("chosen") << true;
    QTest::newRow("cancelled") << false;
}

void PagesTest::addFolderButton()
{
    QFETCH(bool, choose);
    QTemporaryDir dir;
    const QString sub = dir.filePath("sub folder #1");
    QVERIFY(QDir().mkpath(sub));
    Window w;
    w.stack->setCurrentWidget(w.search);
    w.search->addFolder(dir.path());

    answerFolderDialog(choose ? sub : QString());
    QTest::mouseClick(w.button(w.search, "AddFolderButton"), Qt::LeftButton);
    QCOMPARE(w.search->folders(),
             choose ? QStringList({dir.path(), sub}) : QStringList{dir.path()});
    QCOMPARE(w.stack->currentWidget(), w.search);
}

void PagesTest::startHandsFoldersAndFilterOnUnchanged_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("filter");

    QTest::newRow("nothing") << QStringList() << QString();
    QTest::newRow("blanks kept") << QStringList({"/x", "/x/y", "/x"}) << "  *.jpg , *.png ";
    QTest::newRow("odd text") << QStringList({"relative", ""}) << "[\\**]";
}

void PagesTest::startHandsFoldersAndFilterOnUnchanged()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, filter);

    Window w;
    w.stack->setCurrentWidget(w.search);
    for (const QString& folder : folders)
        w.search->addFolder(folder);
    w.filterEdit->setText(filter);
    QCOMPARE(w.search->filterText(), filter);

    QSignalSpy started(w.search, SIGNAL(startedScan()));
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    QCOMPARE(started.count(), 1);
    QCOMPARE(w.stack->currentWidget(), w.result);
    DuplicateFinderThread* thread = w.thread();
    QVERIFY(thread);
    QCOMPARE(thread->mFolders, folders);
    QCOMPARE(thread->mFilter, filter);
    QVERIFY(w.waitForScan());
}

void PagesTest::backKeepsFoldersAndFilter()
{
    QTemporaryDir dir;
    Window w;
    w.stack->setCurrentWidget(w.search);
    w.search->addFolder(dir.path());
    w.filterEdit->setText(" *.txt");
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    QVERIFY(w.waitForScan());
    QPointer<DuplicateFinderThread> first = w.thread();

    QTest::mouseClick(w.button(w.result, "BackButton"), Qt::LeftButton);
    QCOMPARE(w.stack->currentWidget(), w.search);
    QCOMPARE(w.search->folders(), QStringList{dir.path()});
    QCOMPARE(w.search->filterText(), QStringLiteral(" *.txt"));

    // Start again: the same list goes to a fresh thread.
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    QCOMPARE(w.stack->currentWidget(), w.result);
    QVERIFY(first.isNull());
    QCOMPARE(w.thread()->mFolders, QStringList{dir.path()});
    QCOMPARE(w.thread()->mFilter, QStringLiteral(" *.txt"));
    QVERIFY(w.waitForScan());
}

void PagesTest::toolMenu_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("entry");

    for (int page : {1, 2}) {
        const QString on = page == 1 ? " on search" : " on result";
        QTest::newRow(qPrintable("dismissed" + on)) << page << QString();
        QTest::newRow(qPrintable("about" + on)) << page << "About Tarvik Duplicate Finder";
        QTest::newRow(qPrintable("exit" + on)) << page << "Exit";
    }
}

void PagesTest::toolMenu()
{
    QFETCH(int, page);
    QFETCH(QString, entry);

    UrlCatcher urls;
    Window w;
    w.stack->setCurrentIndex(page);
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QAbstractButton* menuButton = w.button(w.stack->widget(page), "MenuButton");

    QStringList entries;
    QPoint shownAt;
    chooseFromMenu(entry, &entries, &shownAt);
    QTest::mouseClick(menuButton, Qt::LeftButton);

    QCOMPARE(entries, QStringList({"About Tarvik Duplicate Finder", "-", "Exit"}));
    // Hangs from the button's bottom-left pixel (moved left only if it would leave the screen).
    const QPoint corner = menuButton->mapToGlobal(menuButton->rect().bottomLeft());
    QCOMPARE(shownAt.y(), corner.y());
    QVERIFY(shownAt.x() <= corner.x());

    if (entry == QLatin1String("Exit")) {
        QVERIFY(!w.window->isVisible());
        QVERIFY(urls.urls.isEmpty());
        return;
    }
    QVERIFY(w.window->isVisible());
    QCOMPARE(w.stack->currentIndex(), page);
    if (entry.isEmpty()) {
        QVERIFY(urls.urls.isEmpty());
    } else {
        QCOMPARE(urls.urls, QList<QUrl>{QUrl(QStringLiteral("https://tarvik.example/"))});
        QCOMPARE(urls.urls.first().path(), QStringLiteral("/"));
    }
}

void PagesTest::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << qint64(0) << "0 B";
    QTest::newRow("1") << qint64(1) << "1 B";
    QTest::newRow("1023") << qint64(1023) << "1023 B";
    QTest::newRow("1024") << qint64(1024) << "1024 B";
    QTest::newRow("2048") << qint64(2048) << "2048 B";
    QTest::newRow("999999") << qint64(999999) << "999999 B";
    QTest::newRow("1000000") << qint64(1000000) << "1e+06 B";
    QTest::newRow("1048575") << qint64(1048575) << "1.04858e+06 B";
    QTest::newRow("1048576") << qint64(1048576) << "1024 KB";
    QTest::newRow("1500000") << qint64(1500000) << "1464.84 KB";
    QTest::newRow("5242880") << qint64(5242880) << "5120 KB";
    QTest::newRow("1073741824") << qint64(1073741824) << "1024 MB";
    QTest::newRow("3 GiB") << qint64(3) * 1073741824 << "3072 MB";
    QTest::newRow("5368709120") << qint64(5368709120) << "5120 MB";
    QTest::newRow("2 TiB") << qint64(2) * 1024 * 1073741824 << "2.09715e+06 MB";
}

void PagesTest::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(sizeToString(bytes), text);
}

TARVIK_TEST_WIDGETS_MAIN(PagesTest)
#include "tst_pages.moc"
