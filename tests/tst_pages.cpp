#include "app/commandline.h"
#include "core/appsettings.h"
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
    void searchOptions_data();
    void searchOptions();
    void dropFolders_data();
    void dropFolders();
    void commandLine_data();
    void commandLine();
    void commandLineWithoutWindow_data();
    void commandLineWithoutWindow();
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

void PagesTest::searchOptions_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("read");
    QTest::newRow("none") << QStringList{"", "", ""} << false << ""
                          << "0 -1  0";
    QTest::newRow("all set") << QStringList{" 1K", "2.5m", "build, ,*.tmp "} << true << ""
                             << "1024 2621440 build|*.tmp 1";
    QTest::newRow("equal limits") << QStringList{"7", "7b", ""} << false << ""
                                  << "7 7  0";
    QTest::newRow("bad minimum") << QStringList{"ten", "", ""} << false << "SizeErrorLabel"
                                 << "";
    QTest::newRow("bad maximum") << QStringList{"", "1,5M", ""} << false << "SizeErrorLabel"
                                 << "";
    QTest::newRow("maximum below minimum")
        << QStringList{"2K", "1K", ""} << false << "SizeErrorLabel"
        << "";
    QTest::newRow("bad pattern") << QStringList{"", "", "a, [z-a]"} << false << "ExcludeErrorLabel"
                                 << "";
}

// What the options read is what the scan gets, and comes back after a restart with the panel
// open; what cannot be read is said beside its field and keeps the scan from starting.
void PagesTest::searchOptions()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, hidden);
    QFETCH(QString, error);
    QFETCH(QString, read);
    QTemporaryDir dir;
    AppSettings::setLastSearch({}, QString());
    {
        Window w;
        QVERIFY(!w.launcher->findChild<QWidget*>("LastSearchButton")->isVisibleTo(w.launcher));
        w.stack->setCurrentWidget(w.search);
        w.search->addFolder(dir.path());
        w.press(w.search, "OptionsButton");
        const char* names[] = {"MinSizeEdit", "MaxSizeEdit", "ExcludeEdit"};
        for (int i = 0; i < 3; ++i) {
            auto* edit = w.search->findChild<QLineEdit*>(names[i]);
            QVERIFY(edit && edit->isVisible());
            QTest::keyClicks(edit, texts[i]);
        }
        auto* box = w.search->findChild<QCheckBox*>("HiddenCheckBox");
        QVERIFY(box && box->isVisible());
        if (hidden)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        for (const char* label : {"SizeErrorLabel", "ExcludeErrorLabel"})
            QCOMPARE(w.search->findChild<QLabel*>(label)->isVisible(), error == label);
        w.press(w.search, "StartScanButton");
        QCOMPARE(w.stack->currentIndex(), error.isEmpty() ? 2 : 1);
        if (!error.isEmpty())
            return;
        const ScanOptions& o = w.thread()->mOptions;
        QCOMPARE(QString("%1 %2 %3 %4")
                     .arg(o.minSize)
                     .arg(o.maxSize)
                     .arg(o.exclude.join('|'))
                     .arg(o.hidden),
                 read);
        QVERIFY(w.waitForScan());
    }
    Window w;
    QCOMPARE(w.stack->currentWidget(), w.launcher);
    w.press(w.launcher, "LastSearchButton");
    QCOMPARE(w.stack->currentWidget(), w.search);
    QCOMPARE(w.search->folders(), QStringList(dir.path()));
    const AppSettings::OptionTexts back = w.search->optionTexts();
    QCOMPARE(QStringList({back.minSize, back.maxSize, back.exclude}), texts);
    QCOMPARE(back.hidden, hidden);
    QCOMPARE(w.search->findChild<QWidget*>("OptionsPanel")->isVisible(), read != "0 -1  0");
}

void PagesTest::dropFolders_data()
{
    QTest::addColumn<bool>("onLauncher");
    QTest::addColumn<bool>("withFolder");
    for (bool onLauncher : {true, false})
        for (bool withFolder : {true, false})
            QTest::addRow("on the %s, %s", onLauncher ? "launcher" : "search page",
                          withFolder ? "a folder among files" : "files only")
                << onLauncher << withFolder;
}

// Dropped folders are added and show the search page; files and other places are not.
void PagesTest::dropFolders()
{
    QFETCH(bool, onLauncher);
    QFETCH(bool, withFolder);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("file"), "x") && QDir().mkdir(dir.filePath("sub")));
    Window w;
    w.search->setFolders({"/first"});
    w.stack->setCurrentWidget(onLauncher ? w.launcher : w.search);
    QMimeData data;
    QList<QUrl> urls{QUrl::fromLocalFile(dir.filePath("file")), QUrl("https://tarvik.example/")};
    if (withFolder)
        urls << QUrl::fromLocalFile(dir.filePath("sub") + '/');
    data.setUrls(urls);
    QWidget* target = w.stack->currentWidget();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), withFolder);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(w.search->folders(),
             withFolder ? QStringList({"/first", dir.filePath("sub")}) : QStringList({"/first"}));
    QCOMPARE(w.stack->currentWidget(), withFolder ? w.search : target);
}

void PagesTest::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("folders");
    QTest::addColumn<QString>("told");
    QTest::newRow("nothing") << QStringList() << 0 << "/kept"
                             << "";
    QTest::newRow("folders, one relative") << QStringList{"%/a", "b/"} << 1 << "%/a %/b"
                                           << "";
    QTest::newRow("missing and file left out")
        << QStringList{"%/gone", "%/a", "%/file"} << 1 << "%/a"
        << "%/gone\n%/file";
    QTest::newRow("scan") << QStringList{"--scan", "%/a", "%/b"} << 2 << "%/a %/b"
                          << "";
    QTest::newRow("scan, none left") << QStringList{"--scan", "%/gone"} << 0 << "/kept"
                                     << "%/gone";
}

// Through the real window: the folders given replace the remembered ones, --scan starts the
// scan, and what is no folder is named once and left out.
void PagesTest::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, page);
    QFETCH(QString, folders);
    QFETCH(QString, told);
    const QString root = QDir(freshRoot()).canonicalPath();
    QVERIFY(QDir(root).mkpath("a") && QDir(root).mkpath("b") && writeFile(root + "/file", "x"));
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root));
    const CommandLine line =
        parseCommandLine(QStringList("tarvik") + args.replaceInStrings("%", root));
    QDir::setCurrent(current);
    QCOMPARE(line.action, CommandLine::Open);
    Window w;
    w.search->setFolders({"/kept"});
    QString said;
    QPointer<QTimer> box = whenShown(false, [&](QWidget* widget) {
        said = static_cast<QMessageBox*>(widget)->text();
        static_cast<QMessageBox*>(widget)->accept();
    });
    openFromCommandLine(*w.window, line);
    delete box;
    QCOMPARE(said.section('\n', 1), told.replace("%", root));
    QCOMPARE(w.stack->currentIndex(), page);
    QCOMPARE(w.search->folders().join(' '), folders.replace("%", root));
    if (page == 2) {
        QCOMPARE(w.thread()->mFolders, w.search->folders());
        QVERIFY(w.waitForScan());
    }
}

void PagesTest::commandLineWithoutWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::newRow("version") << QStringList{"--version"} << 0 << "tarvik " TARVIK_VERSION;
    QTest::newRow("help") << QStringList{"-h"} << 0 << "Usage: tarvik [--scan] [FOLDER...]";
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 2 << "tarvik: Unknown option 'bogus'.";
    QTest::newRow("scan alone") << QStringList{"--scan"} << 2 << "tarvik: --scan needs a folder";
}

// Help and version print without a display; a bad command line is one line and exit 2.
void PagesTest::commandLineWithoutWindow()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, said);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (code == 0)
        env.insert("QT_QPA_PLATFORM", "xcb"), env.remove("DISPLAY");
    p.setProcessEnvironment(env);
    p.start(TARVIK_APP, args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), code);
    const QString text = code ? p.readAllStandardError() : p.readAllStandardOutput();
    QVERIFY2(text.startsWith(said + '\n'), qPrintable(text));
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
