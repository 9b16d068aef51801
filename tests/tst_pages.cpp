#include "tst_ui_support.h"
#include "ui/sizetext.h"

using namespace tarvik;
using namespace tarvik::test;

class PagesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initUiTest(); }
    void folderDialog_data();
    void folderDialog();
    void removeFolder();
    void startAndBackKeepFoldersAndFilter_data();
    void startAndBackKeepFoldersAndFilter();
    void toolMenu_data();
    void toolMenu();
    void sizeText_data();
    void sizeText();
};

void PagesTest::folderDialog_data()
{
    QTest::addColumn<bool>("fromLauncher");
    QTest::addColumn<bool>("choose");
    for (bool fromLauncher : {true, false})
        for (bool choose : {true, false})
            QTest::addRow("%s, %s", fromLauncher ? "launcher" : "add button",
                          choose ? "chosen" : "cancelled")
                << fromLauncher << choose;
}

// A chosen folder is appended and shows the search page; a cancelled dialog changes nothing.
void PagesTest::folderDialog()
{
    QFETCH(bool, fromLauncher);
    QFETCH(bool, choose);
    QTemporaryDir dir;
    const QString sub = dir.filePath("sub folder #1");
    QVERIFY(QDir().mkpath(sub));
    Window w;
    QAbstractButton* launcherButton = w.launcher->findChild<QAbstractButton*>();
    QStringList folders;
    if (!fromLauncher) {
        answerFolderDialog(dir.path());
        QTest::mouseClick(launcherButton, Qt::LeftButton);
        folders << dir.path();
    }
    answerFolderDialog(choose ? sub : QString());
    if (fromLauncher)
        QTest::mouseClick(launcherButton, Qt::LeftButton);
    else
        w.press(w.search, "AddFolderButton");
    if (choose)
        folders << sub;
    QCOMPARE(w.search->folders(), folders);
    QCOMPARE(w.stack->currentWidget(), folders.isEmpty() ? w.launcher : w.search);
}

void PagesTest::removeFolder()
{
    Window w;
    w.stack->setCurrentWidget(w.search);
    for (const char* folder : {"/a", "/b", "/c", "/a"})
        w.search->addFolder(QString::fromLatin1(folder));
    w.sourceList->setCurrentItem(nullptr);
    w.press(w.search, "RemoveFolderButton");
    QCOMPARE(w.search->folders(), QStringList({"/a", "/b", "/c", "/a"}));
    w.sourceList->setCurrentRow(1);
    w.press(w.search, "RemoveFolderButton");
    QCOMPARE(w.search->folders(), QStringList({"/a", "/c", "/a"}));
}

void PagesTest::startAndBackKeepFoldersAndFilter_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("filter");
    QTest::newRow("nothing") << QStringList() << QString();
    QTest::newRow("repeats, relative, blanks")
        << QStringList({"/nonexistent/x", "relative/none", "/nonexistent/x"})
        << "  *.jpg , [\\**] ";
}

// The second round shows that Back kept both for the next press.
void PagesTest::startAndBackKeepFoldersAndFilter()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, filter);
    Window w;
    w.stack->setCurrentWidget(w.search);
    for (const QString& folder : folders)
        w.search->addFolder(folder);
    w.filterEdit->setText(filter);
    for (int round = 0; round < 2; ++round) {
        w.press(w.search, "StartScanButton");
        QCOMPARE(w.stack->currentWidget(), w.result);
        QCOMPARE(w.thread()->mFolders, folders);
        QCOMPARE(w.thread()->mFilter, filter);
        QVERIFY(w.waitForScan());
        w.press(w.result, "BackButton");
        QCOMPARE(w.stack->currentWidget(), w.search);
        QCOMPARE(w.search->folders(), folders);
        QCOMPARE(w.search->filterText(), filter);
    }
}

void PagesTest::toolMenu_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("entry");
    for (int page : {1, 2})
        for (const char* entry : {"", "About Tarvik Duplicate Finder", "Exit"})
            QTest::addRow("page %d, '%s'", page, entry) << page << entry;
}

// Dismissed, the menu does nothing; About opens the web site; Exit closes the window.
void PagesTest::toolMenu()
{
    QFETCH(int, page);
    QFETCH(QString, entry);
    UrlCatcher urls;
    Window w;
    w.stack->setCurrentIndex(page);
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    chooseFromMenu(entry);
    w.press(w.stack->widget(page), "MenuButton");
    QCOMPARE(w.window->isVisible(), entry != QLatin1String("Exit"));
    QCOMPARE(w.stack->currentIndex(), page);
    QCOMPARE(urls.urls, entry.startsWith("About") ? QList<QUrl>{QUrl("https://tarvik.example/")}
                                                  : QList<QUrl>());
}

void PagesTest::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << "0 B";
    QTest::newRow("1023") << qint64(1023) << "1023 B";
    QTest::newRow("1000000") << qint64(1000000) << "1e+06 B";
    QTest::newRow("1048576") << qint64(1048576) << "1024 KB";
    QTest::newRow("1500000") << qint64(1500000) << "1464.84 KB";
    QTest::newRow("3 GiB") << qint64(3) * 1073741824 << "3072 MB";
}

void PagesTest::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(sizeToString(bytes), text);
}

TARVIK_TEST_WIDGETS_MAIN(PagesTest)
#include "tst_pages.moc"
