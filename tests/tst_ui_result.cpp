#include "tst_ui_support.h"

#include <QDateTime>
#include <QLocale>

using namespace tarvik;
using namespace tarvik::test;

namespace {

// Three copies of one text (one of them deep), two of another, two unique files.
QStringList makeTree(const QString& root)
{
    const QStringList names = {"a1.txt",       "sub/a2.txt", "sub/deep/a3.txt", "b1.bin",
                               "other/b2.bin", "u1.txt",     "u2.txt"};
    const QList<QByteArray> contents = {"alpha\n",     "alpha\n",    "alpha\n",   "bravo bravo",
                                        "bravo bravo", "unique one", "unique two"};
    QStringList paths;
    for (int i = 0; i < names.size(); ++i) {
        paths.append(root + QLatin1Char('/') + names[i]);
        writeFile(paths.last(), contents[i]);
    }
    return paths;
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
    void oddNamesOpenTheRightUrl_data();
    void oddNamesOpenTheRightUrl();
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
    QVERIFY(w.groupsNumberedFromZero());
    QVERIFY(w.tree->topLevelItem(0)->isExpanded() && w.tree->topLevelItem(1)->isExpanded());

    const QTreeWidgetItem* file = w.fileItem(p[1]);
    const QString created = file->text(2);
    const QString modified = old.toString(QLocale().dateTimeFormat(QLocale::ShortFormat));
    QCOMPARE(file->text(0), QStringLiteral("a2.txt"));
    QCOMPARE(file->text(1), QStringLiteral("6 B"));
    QVERIFY(!created.isEmpty() && created != modified);
    QCOMPARE(file->toolTip(0).split(QLatin1Char('\n')),
             QStringList({"File: a2.txt", "Size: 6 B", "Created: " + created,
                          "Modified: " + modified, "Location: " + p[1]}));

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
        for (const char* target : {"file", "changed", "group", "vanished", "none"})
            QTest::newRow(qPrintable(QStringLiteral("%1 on %2").arg(action, target)))
                << QString::fromLatin1(action) << QString::fromLatin1(target);
}

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

    QTreeWidgetItem* group = w.fileItem(path)->parent();
    const QString groupText = group->text(0);
    QTreeWidgetItem* item = target == "group"  ? group
                            : target == "none" ? nullptr
                                               : w.fileItem(path);
    if (target == "vanished")
        QVERIFY(QFile::remove(path));
    if (target == "changed") // not the file the row was made for: it stays
        QVERIFY(writeFile(path, "alpha, rewritten\n"));
    w.tree->setCurrentItem(item);
    const QPoint at =
        item ? w.tree->visualItemRect(item).center() : QPoint(10, w.tree->viewport()->height() - 5);

    bool menuShown = false;
    QPointer<QTimer> menuWatch;
    if (action.endsWith("button")) {
        w.press(w.result, action == "open button" ? "OpenFolderButton" : "TrashButton");
    } else if (action == "double click") {
        w.doubleClick(at);
    } else if (action.startsWith("context")) {
        menuWatch = chooseFromMenu(action == "context open" ? "Open Folder" : "Delete", &menuShown);
        w.rightClick(at);
    } else if (action == "keypad enter") {
        QTest::keyClick(w.tree, Qt::Key_Enter, Qt::KeypadModifier);
    } else {
        QTest::keyClick(w.tree, action == "return" ? Qt::Key_Return : Qt::Key_Delete,
                        action == "shift delete" ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QTest::qWait(50);
    delete menuWatch.data();

    // Only file rows act; a vanished file is still handed to the desktop to open.
    const bool onFile = target == "file" || target == "changed";
    const bool fileRow = onFile || target == "vanished";
    if (action.startsWith("context"))
        QCOMPARE(menuShown, fileRow);
    QList<QUrl> expectedUrls;
    if (onFile && QStringList({"open button", "keypad enter", "context open"}).contains(action))
        expectedUrls << QUrl::fromLocalFile(dir.filePath("sub"));
    if (fileRow && action == "double click")
        expectedUrls << QUrl::fromLocalFile(path);
    QCOMPARE(urls.urls, expectedUrls);

    const bool deleted =
        target == "file" && (action.contains("delete") || action == "trash button");
    QCOMPARE(QFileInfo::exists(path), !deleted && target != "vanished");
    QCOMPARE(QFileInfo::exists(trashDir() + "/files/a2.txt"), deleted);
    QCOMPARE(w.fileItem(path) == nullptr, deleted);
    // Groups keep their number and their other files.
    QCOMPARE(w.tree->topLevelItemCount(), 2);
    QCOMPARE(group->text(0), groupText);
    for (const QString& other : p)
        QVERIFY(other == path || QFileInfo::exists(other));
}

void ResultTest::oddNamesOpenTheRightUrl_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << "with blanks/a file.txt";
    QTest::newRow("number sign") << "#tag/x#1.txt";
    QTest::newRow("percent") << "100%20off/50%.txt";
    QTest::newRow("question mark") << "why?/what?.txt";
    QTest::newRow("non-ascii") << QString::fromUtf8("Grüße ☃/日本語 ß.txt");
}

void ResultTest::oddNamesOpenTheRightUrl()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QString place = QFileInfo(path).path();
    QVERIFY(writeFile(path, "same") && writeFile(dir.filePath("twin"), "same"));
    UrlCatcher urls;
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(path);
    QVERIFY(item);

    w.tree->setCurrentItem(item);
    w.press(w.result, "OpenFolderButton");
    w.doubleClick(w.tree->visualItemRect(item).center());
    QCOMPARE(urls.urls.size(), 2);
    QCOMPARE(urls.urls[0].toLocalFile(), place);
    QCOMPARE(urls.urls[1].toLocalFile(), path);
    QVERIFY(urls.urls[1].query().isEmpty() && urls.urls[1].fragment().isEmpty());

    w.tree->setCurrentItem(item);
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QVERIFY(!QFileInfo::exists(path) && !w.fileItem(path));
}

TARVIK_TEST_WIDGETS_MAIN(ResultTest)
#include "tst_ui_result.moc"
