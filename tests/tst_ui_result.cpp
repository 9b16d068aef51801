#include "tst_ui_support.h"
#include "ui/grouparranger.h"
#include "ui/pathindex.h"

using namespace tarvik;
using namespace tarvik::test;

namespace {

// Three copies of one text (one deep, one under a name that URLs must escape), two of another,
// two unique files.
QStringList makeTree(const QString& root)
{
    const QStringList lines = {
        "a1.txt=alpha",       "sub #1/50%20 ü?.txt=alpha", "sub #1/d/a3.txt=alpha",
        "b1.bin=bravo bravo", "other/b2.bin=bravo bravo",  "u1.txt=unique one",
        "u2.txt=unique two"};
    QStringList paths;
    for (const QString& line : lines)
        paths << root + '/' + line.section('=', 0, 0);
    return test::makeTree(root, lines) ? paths : QStringList();
}

} // namespace

class ResultTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initUiTest(); }
    void scanFillsThenEmptiesTheTree();
    void actions_data();
    void actions();
    void changedFileIsNotDeleted_data();
    void changedFileIsNotDeleted();
    void filterShowsEveryGroupWithThePath_data();
    void filterShowsEveryGroupWithThePath();
};

void ResultTest::scanFillsThenEmptiesTheTree()
{
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    // An old modification time tells the "Modified" line from the creation time.
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5));
    QFile a2(p[1]);
    QVERIFY(a2.open(QIODevice::ReadWrite) && a2.setFileTime(old, QFile::FileModificationTime));
    a2.close();
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());

    QList<QStringList> expected = {{p[0], p[1], p[2]}, {p[3], p[4]}};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(w.groupPaths(), expected);
    QVERIFY(w.tree->topLevelItem(0)->isExpanded() && w.tree->topLevelItem(1)->isExpanded());
    const QTreeWidgetItem* file = w.fileItem(p[1]);
    const QString created = file->text(2);
    const QString modified = old.toString(QLocale().dateTimeFormat(QLocale::ShortFormat));
    QCOMPARE(file->text(0), QString::fromUtf8("50%20 ü?.txt"));
    QCOMPARE(file->text(1), QStringLiteral("5 B"));
    QVERIFY(!created.isEmpty() && created != modified);
    QCOMPARE(file->toolTip(0), "File: " + file->text(0) + "\nSize: 5 B\nCreated: " + created +
                                   "\nModified: " + modified + "\nLocation: " + p[1]);

    // An empty folder list: the spinner shows and goes again, the tree ends empty.
    VisibilityLog log({w.spinnerLabel, w.scanningLabel});
    w.scan({});
    QVERIFY(w.waitForScan());
    QCOMPARE(log.changes, QStringList({"show", "show", "hide", "hide"}));
    QCOMPARE(w.spinnerLabel->movie()->state(), QMovie::NotRunning);
    QCOMPARE(w.tree->topLevelItemCount(), 0);
}

void ResultTest::actions_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("target");
    for (const char* action :
         {"open button", "keypad enter", "return", "context open", "double click", "trash button",
          "delete key", "shift delete", "context delete"})
        for (const char* target : {"file", "group", "vanished", "none"})
            QTest::addRow("%s on %s", action, target) << action << target;
}

// Only file rows act: the desktop gets the folder or the file as a URL that names exactly
// that place; a vanished file is still handed to the desktop to open.
void ResultTest::actions()
{
    QFETCH(QString, action);
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    const QString path = p[1];
    QVERIFY(QDir(trashDir()).removeRecursively());
    UrlCatcher urls;
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());

    QVERIFY(w.fileItem(path));
    QTreeWidgetItem* group = w.fileItem(path)->parent();
    const QString groupText = group->text(0);
    QTreeWidgetItem* item = target == "group"  ? group
                            : target == "none" ? nullptr
                                               : w.fileItem(path);
    if (target == "vanished")
        QVERIFY(QFile::remove(path));
    w.tree->setCurrentItem(item);
    const QPoint at =
        item ? w.tree->visualItemRect(item).center() : QPoint(10, w.tree->viewport()->height() - 5);

    bool menuShown = false;
    QPoint menuAt;
    QPointer<QTimer> menuWatch;
    if (action.endsWith("button")) {
        w.press(w.result, action == "open button" ? "OpenFolderButton" : "TrashButton");
    } else if (action == "double click") {
        w.doubleClick(at);
    } else if (action.startsWith("context")) {
        menuWatch = chooseFromMenu(action == "context open" ? "Open Folder" : "Delete", &menuShown,
                                   &menuAt);
        w.rightClick(at);
    } else if (action == "keypad enter") {
        QTest::keyClick(w.tree, Qt::Key_Enter, Qt::KeypadModifier);
    } else {
        QTest::keyClick(w.tree, action == "return" ? Qt::Key_Return : Qt::Key_Delete,
                        action == "shift delete" ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QTest::qWait(50);
    delete menuWatch.data();

    const bool onFile = target == "file", fileRow = onFile || target == "vanished";
    if (action.startsWith("context"))
        QCOMPARE(menuShown, fileRow);
    // At the pointer, not a header's height above it with "Delete" under the pointer.
    if (menuShown)
        QVERIFY((menuAt - w.tree->viewport()->mapToGlobal(at)).manhattanLength() <= 2);
    QList<QUrl> expectedUrls;
    if (onFile && QStringList({"open button", "keypad enter", "context open"}).contains(action))
        expectedUrls << QUrl::fromLocalFile(dir.filePath("sub #1"));
    if (fileRow && action == "double click")
        expectedUrls << QUrl::fromLocalFile(path);
    QCOMPARE(urls.urls, expectedUrls);

    const bool deleted = onFile && (action.contains("delete") || action == "trash button");
    QCOMPARE(QFileInfo::exists(path), !deleted && target != "vanished");
    QCOMPARE(QFileInfo::exists(trashDir() + "/files/" + QFileInfo(path).fileName()), deleted);
    QCOMPARE(w.fileItem(path) == nullptr, deleted);
    // Groups keep their number and their other files.
    QCOMPARE(w.tree->topLevelItemCount(), 2);
    QCOMPARE(group->text(0), groupText);
    for (const QString& other : p)
        QVERIFY(other == path || QFileInfo::exists(other));
}

void ResultTest::changedFileIsNotDeleted_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("unchanged") << "none";
    QTest::newRow("grown") << "grown";
    QTest::newRow("touched") << "touched";
    QTest::newRow("replaced by a copy") << "replaced";
    QTest::newRow("became a link to its twin") << "link";
}

void ResultTest::changedFileIsNotDeleted()
{
    QFETCH(QString, change);
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    const QString path = p[0];
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(path);
    QVERIFY(item);

    QFile file(path);
    if (change == "grown") {
        QVERIFY(file.open(QIODevice::Append) && file.write("!") == 1);
    } else if (change == "touched") {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
    } else if (change == "replaced") {
        QVERIFY(QFile::remove(path) && writeFile(path, "alpha\n"));
    } else if (change == "link") {
        QVERIFY(QFile::remove(path) && QFile::link(p[1], path));
    }
    file.close();

    w.tree->setCurrentItem(item);
    w.press(w.result, "TrashButton");
    const bool unchanged = change == "none";
    QCOMPARE(QFileInfo::exists(path), !unchanged);
    QCOMPARE(w.fileItem(path) == nullptr, unchanged);
    QVERIFY(QFileInfo::exists(p[1]));
}

void ResultTest::filterShowsEveryGroupWithThePath_data()
{
    // Groups of paths separated by '|'; a path after '-' was a row that has gone since.
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QStringList plain = {"/Data/Photos/a.JPG|/data/b.jpg", "/x/y|/x/z"};
    QTest::newRow("case ignored") << plain << "photos/A.jpg"
                                  << "0";
    QTest::newRow("in no path") << plain << "photos/c"
                                << "";
    QTest::newRow("across two paths") << plain << "y/x"
                                      << "";
    QTest::newRow("beyond ASCII, case ignored")
        << QStringList{QStringLiteral("/a/\u00c4RGER/x|/a/y"), "/b/x|/b/y"}
        << QStringLiteral("\u00e4rger") << "0";
    QTest::newRow("the Kelvin sign is a k")
        << QStringList{"/k/x|/k/y", "/m/x|/m/y"} << QStringLiteral("\u212a/") << "0";
    QTest::newRow("a long s is an s")
        << QStringList{QStringLiteral("/\u017f/x|/m/y"), "/m/x|/m/y"} << "/s/x"
        << "0";
    QTest::newRow("a row gone since") << QStringList{"/a/x|/a/y|-/t/z", "/t/x|/b/y"} << "/t/"
                                      << "1";
    QStringList many;
    for (int g = 0; g < 20000; ++g)
        many << QStringLiteral("/some/rather/long/folder/%1/x|/some/other/folder/%1/y").arg(g);
    QTest::newRow("paths beyond a megabyte") << many << "/19999/Y"
                                             << "19999";
}

void ResultTest::filterShowsEveryGroupWithThePath()
{
    QFETCH(QStringList, groups);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    TreeWidget tree;
    PathIndex paths;
    QVector<QTreeWidgetItem*> found;
    for (int g = 0; g < groups.size(); ++g) {
        auto* group = new GroupItem(QStringLiteral("Group "), g);
        for (QString path : groups.at(g).split('|')) {
            const bool gone = path.startsWith('-');
            path.remove(0, gone ? 1 : 0);
            paths.add(g, path);
            if (!gone)
                group->addChild(new FileItem(path, FileFacts()));
        }
        tree.addTopLevelItem(group);
        found.append(group);
    }
    GroupArranger arranger(&tree);
    arranger.setFilter(text);
    arranger.apply(found, &paths);
    QStringList numbers;
    for (int g = 0; g < tree.topLevelItemCount(); ++g)
        numbers << QString::number(static_cast<GroupItem*>(tree.topLevelItem(g))->number());
    QCOMPARE(numbers.join(','), shown);
    arranger.setFilter(QString());
    arranger.apply(found, &paths);
    QCOMPARE(tree.topLevelItemCount(), groups.size());
}

TARVIK_TEST_WIDGETS_MAIN(ResultTest)
#include "tst_ui_result.moc"
