#include "scan/contentreader.h"
#include "scan/duplicateevent.h"
#include "tst_ui_support.h"

#include <QProcess>
#include <unistd.h>
#ifdef TARVIK_TREE_VIEW_ITEMS
#include <QtWidgets/private/qtreeview_p.h>
#endif

using namespace tarvik;
using namespace tarvik::test;

namespace {

#ifdef TARVIK_TREE_VIEW_ITEMS
constexpr bool kBuiltWithViewItems = true;
#else
constexpr bool kBuiltWithViewItems = false;
#endif

bool run(const QString& commandLine)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    QProcess process;
    process.start(arguments.takeFirst(), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A disk that slows to a crawl once the test has seen what it waits for: a scan that is
// not stopped would outlast the test, a stopped one ends within a file.
std::atomic<bool> gSlow{false};
// Opens before the disk turns slow by itself: results come in walk order, often in bursts, and
// the scan of the big tree must outlast the first of them.
std::atomic<int> gOpensLeft{INT_MAX};

void slowDisk(const QString&)
{
    QThread::msleep(gSlow ? 500 : --gOpensLeft < 0 ? 20 : 1);
}

// Posts what a scan would: every group's first event, then rounds of further copies.
void postResults(QObject* page, int groups, int rounds)
{
    QList<QUuid> ids;
    for (int g = 0; g < groups; ++g)
        ids.append(QUuid::createUuid());
    for (int round = 1; round <= rounds; ++round)
        for (int g = 0; g < groups; ++g)
            QCoreApplication::postEvent(
                page, new DuplicateEvent(ids[g], QStringLiteral("/gone/g%1-0").arg(g),
                                         QStringLiteral("/gone/g%1-%2").arg(g).arg(round)));
}

// Where every row of the tree is drawn, and whether it is expanded; where Qt's private headers
// are at hand, every field of the view's own items too.
class InspectedTree : public TreeWidget
{
public:
    QStringList shownRows()
    {
        QStringList rows;
        for (QTreeWidgetItemIterator it(this); *it; ++it) {
            const QRect r = visualItemRect(*it);
            rows.append(QStringLiteral("%1 %2,%3 %4 %5")
                            .arg((*it)->text(0))
                            .arg(r.x())
                            .arg(r.y())
                            .arg(r.height())
                            .arg((*it)->isExpanded()));
        }
#ifdef TARVIK_TREE_VIEW_ITEMS
        for (const QTreeViewItem& item : static_cast<QTreeViewPrivate*>(d_ptr.data())->viewItems)
            rows.append(QStringLiteral("%1 parent %2 level %3 total %4 %5%6%7")
                            .arg(item.index.data().toString())
                            .arg(item.parentItem)
                            .arg(item.level)
                            .arg(item.total)
                            .arg(item.expanded)
                            .arg(item.hasChildren)
                            .arg(item.hasMoreSiblings));
#endif
        return rows;
    }
};

} // namespace

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init()
    {
        gSlow = false;
        gOpensLeft = INT_MAX;
    }
    void restartsThenCloseWhileRunning();
    void floodOfResults();
    void treeShowsWhatQtLaysOut_data();
    void treeShowsWhatQtLaysOut();
    void trashElsewhere_data();
    void trashElsewhere();
    void cleanup();

private:
    QTemporaryDir mBig;
    std::unique_ptr<QTemporaryDir> mPlace;
    std::unique_ptr<ContentReader::ScopedOpenHook> mSlowDisk;
};

// Small files of a hundred sizes in twenty folders, about a third of them copies beside their
// originals, so that a scan sends a steady stream of groups.
void StressTest::initTestCase()
{
    initUiTest();
    mSlowDisk = std::make_unique<ContentReader::ScopedOpenHook>(slowDisk);
    QStringList tree;
    for (int i = 0, k = 0; i < 2000; k = ++i % 1400)
        tree << QString::asprintf("d%d/n%d.a=", k % 20, i) +
                    QString::asprintf("%04d", k).repeated(1 + k % 97);
    QVERIFY(makeTree(mBig.path(), tree));
}

void StressTest::cleanup()
{
    if (!mPlace)
        return;
    // Whatever the row set up; undoing what it did not is harmless.
    const QString folder = mPlace->path() + QStringLiteral("/scan");
    run("chattr -i " + folder);
    run("umount -l " + folder);
    run("umount -l " + mPlace->path());
    mPlace.reset();
}

// Every new scan ends the running one and starts from an empty tree: none of the old scan's
// results, numbers from 0. Closing the window ends a running scan too.
void StressTest::restartsThenCloseWhileRunning()
{
    QTemporaryDir small;
    const QString a = small.filePath("a"), b = small.filePath("x/b");
    QVERIFY(writeFile(a, "small") && writeFile(b, "small"));
    Window w;
    const auto scan = [&](const QStringList& folders) {
        // A scan that does not stop at once would wait here for every slow open.
        w.scan(folders);
        gSlow = false;
        gOpensLeft = folders.contains(mBig.path()) ? 1500 : INT_MAX;
    };
    scan({mBig.path()});
    QTRY_VERIFY_WITH_TIMEOUT(w.tree->topLevelItemCount() > 3, 30000);
    gSlow = true;
    QVERIFY(w.thread()->isRunning());
    QVERIFY(w.spinnerLabel->isVisible() && w.scanningLabel->isVisible());
    QCOMPARE(w.spinnerLabel->movie()->state(), QMovie::Running);
    // Leave the first scan's results waiting in the queue, as a busy window would.
    QThread::msleep(100);
    scan({small.path()});
    QCOMPARE(w.tree->topLevelItemCount(), 0);
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));

    // What start-up does once the last window has closed; a scan that would not stop hangs here.
    scan({mBig.path()});
    QTRY_VERIFY_WITH_TIMEOUT(w.tree->topLevelItemCount() > 3, 30000);
    gSlow = true;
    QPointer<DuplicateFinderThread> thread = w.thread();
    QVERIFY(thread->isRunning());
    QVERIFY(w.window->close());
    w.window.reset();
    QVERIFY(thread.isNull());
}

// A flood of results, added a slice at a time, lands whole and in order before the spinner
// goes; results still queued, or handed over but not yet in the tree, when the next scan
// starts leave nothing in its tree.
void StressTest::floodOfResults()
{
    QTemporaryDir small;
    const QString a = small.filePath("a"), b = small.filePath("b");
    QVERIFY(writeFile(a, "small") && writeFile(b, "small"));
    Window w;
    w.scan({});
    QVERIFY(w.waitForScan());
    VisibilityLog log({w.scanningLabel});
    int rowsAtHide = -1;
    log.onHide = [&]() {
        rowsAtHide = 0;
        for (QTreeWidgetItemIterator it(w.tree); *it; ++it)
            ++rowsAtHide;
    };
    const int groups = 500, rounds = 2;
    QMetaObject::invokeMethod(w.result, "startedThread");
    postResults(w.result, groups, rounds);
    QMetaObject::invokeMethod(w.result, "finishedThread", Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(w.scanningLabel->isHidden(), 60000);
    QCOMPARE(rowsAtHide, groups * (rounds + 2));
    for (int g = 0; g < groups; ++g) {
        QCOMPARE(w.tree->topLevelItem(g)->text(0), QStringLiteral("Duplicate group #%1").arg(g));
        for (int i = 0; i <= rounds; ++i)
            QCOMPARE(w.tree->topLevelItem(g)->child(i)->text(3),
                     QStringLiteral("/gone/g%1-%2").arg(g).arg(i));
    }

    postResults(w.result, groups, 1);
    QCoreApplication::sendPostedEvents(w.result, DuplicateEvent::eventType);
    postResults(w.result, groups, 1);
    QCOMPARE(w.tree->topLevelItemCount(), groups);
    w.scan({small.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));
}

void StressTest::treeShowsWhatQtLaysOut_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("held");
    // Qt's own layout where the view items could be used: what another Qt version gets.
    QTest::addColumn<bool>("qtLayout");
    for (quint32 seed : {1u, 2u, 3u})
        for (bool held : {true, false})
            QTest::addRow("seed %u%s", seed, held ? ", held" : "") << seed << held << false;
    for (bool held : {true, false})
        QTest::addRow("seed 4%s, Qt's layout", held ? ", held" : "") << 4u << held << true;
}

// Rows added in any order, to groups collapsed or expanded, early or last, held or not, with
// rows taken out now and then, one or many at once, and the groups put back in another order:
// once released, every row sits where Qt's own layout puts it.
void StressTest::treeShowsWhatQtLaysOut()
{
    QFETCH(quint32, seed);
    QFETCH(bool, held);
    QFETCH(bool, qtLayout);
    QRandomGenerator random(seed);
    if (qtLayout)
        qputenv("TARVIK_TREE_QT_LAYOUT", "1");
    InspectedTree tree;
    qunsetenv("TARVIK_TREE_QT_LAYOUT");
    // Run on the Qt it was built against, as here, a build with the view items uses them.
    QVERIFY(!TreeWidget::viewItemsFit("5.15.99"));
    QCOMPARE(tree.usesViewItems(), !qtLayout && kBuiltWithViewItems);
    tree.setColumnCount(2);
    tree.setUniformRowHeights(true);
    tree.resize(300, 200);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    int rows = 0;
    // Groups left out, how each group was shown when last arranged.
    QVector<QTreeWidgetItem*> aside;
    TreeWidget::GroupSet collapsed;
    QHash<const QTreeWidgetItem*, bool> wasExpanded;
    for (int round = 0; round < 6; ++round) {
        if (held)
            tree.holdLayout();
        for (int step = 0; step < 40; ++step) {
            const int groups = tree.topLevelItemCount();
            const int pick = int(random.bounded(20));
            if (groups == 0 || pick < 3) {
                auto* group = new QTreeWidgetItem({QStringLiteral("g%1").arg(rows++)});
                if (pick == 2) {
                    for (int i = 0; i < 2; ++i)
                        group->addChild(new QTreeWidgetItem({QStringLiteral("f%1").arg(rows++)}));
                    tree.appendExpanded(group);
                } else {
                    tree.addTopLevelItem(group);
                    group->setExpanded(pick != 0);
                }
            } else if (pick >= 16) {
                // One row, or rows of several groups at once; or every group put back reversed.
                QVector<QTreeWidgetItem*> gone, reversed;
                for (int i = 0; i < (pick == 19 ? 1 : 8); ++i) {
                    QTreeWidgetItem* group = tree.topLevelItem(int(random.bounded(groups)));
                    if (group->childCount() > 0 && !gone.contains(group->child(0)))
                        gone.append(group->child(0));
                }
                if (pick == 16) {
                    // Reversed, some groups left out and those left out before back at the end.
                    for (int g = groups - 1; g >= 0; --g) {
                        if (random.bounded(4) == 0)
                            aside.append(tree.topLevelItem(g));
                        else
                            reversed.append(tree.topLevelItem(g));
                    }
                    for (int g = 0; g < aside.size();) {
                        if (aside[g]->treeWidget() || random.bounded(2) == 0) {
                            ++g;
                            continue;
                        }
                        reversed.append(aside.takeAt(g));
                    }
                    QTreeWidgetItem* current = tree.topLevelItem(int(random.bounded(groups)));
                    if (current->childCount() > 0)
                        current = current->child(0);
                    tree.setCurrentItem(current);
                    for (int g = 0; g < groups; ++g) {
                        const QTreeWidgetItem* group = tree.topLevelItem(g);
                        if (group->childCount() > 0)
                            wasExpanded.insert(group, group->isExpanded());
                        else
                            wasExpanded.remove(group);
                    }
                    tree.setTopLevelItems(reversed, &collapsed);
                    QCOMPARE(tree.currentItem(), current->treeWidget() ? current : nullptr);
                    for (const QTreeWidgetItem* group : qAsConst(reversed))
                        if (wasExpanded.contains(group))
                            QCOMPARE(group->isExpanded(), wasExpanded.value(group));
                } else {
                    // A row that stays stays current, its index moved up over the rows gone.
                    QTreeWidgetItem* group = gone.isEmpty() ? nullptr : gone.first()->parent();
                    QTreeWidgetItem* stays =
                        group ? group->child(group->childCount() - 1) : nullptr;
                    if (stays && !gone.contains(stays))
                        tree.setCurrentItem(stays, 1);
                    tree.removeRows(gone);
                    if (stays && !gone.contains(stays))
                        QVERIFY(tree.currentItem() == stays &&
                                tree.currentIndex().row() == group->indexOfChild(stays));
                }
            } else {
                QTreeWidgetItem* group =
                    tree.topLevelItem(pick < 10 ? groups - 1 : int(random.bounded(groups)));
                auto* file = new QTreeWidgetItem({QStringLiteral("f%1").arg(rows++)});
                file->setFlags(file->flags() | Qt::ItemNeverHasChildren);
                group->addChild(file);
                if (pick == 15)
                    group->setExpanded(!group->isExpanded());
            }
        }
        tree.releaseLayout();
        QCoreApplication::processEvents();
        const QStringList shown = tree.shownRows();
        tree.doItemsLayout();
        QCOMPARE(shown, tree.shownRows());
    }
    for (QTreeWidgetItem* group : qAsConst(aside))
        if (!group->treeWidget())
            delete group;
}

void StressTest::trashElsewhere_data()
{
    QTest::addColumn<bool>("onTmpfs");
    QTest::addColumn<QString>("lock");
    QTest::addColumn<bool>("trashable");
    QTest::newRow("own tmpfs") << true << QString() << true;
    QTest::newRow("read-only tmpfs") << true << "mount -o remount,ro ROOT" << false;
    QTest::newRow("read-only folder on a writable tmpfs")
        << true << "mount --bind FOLDER FOLDER;mount -o remount,bind,ro FOLDER" << false;
    QTest::newRow("immutable folder") << false << "chattr +i FOLDER" << false;
}

// The file either reaches a trash or stays where it was; the row stays exactly when the
// file stays.
void StressTest::trashElsewhere()
{
    QFETCH(bool, onTmpfs);
    QFETCH(QString, lock);
    QFETCH(bool, trashable);
    if (::geteuid() != 0)
        QSKIP("needs root to mount or to make a folder immutable");
    mPlace.reset(new QTemporaryDir);
    const QString root = mPlace->path();
    const QString folder = root + QStringLiteral("/scan");
    const QString victim = folder + QStringLiteral("/victim.txt");
    if (onTmpfs && !run("mount -t tmpfs -o size=8m tarvik-test " + root))
        QSKIP("cannot mount a tmpfs here");
    QVERIFY(writeFile(victim, "the same bytes") &&
            writeFile(folder + "/twin.txt", "the same bytes"));
    lock.replace("ROOT", root).replace("FOLDER", folder);
    for (const QString& command : lock.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!run(command))
            QSKIP(qPrintable("cannot " + command));

    QVERIFY(QDir(trashDir()).removeRecursively());
    Window w;
    w.scan({folder});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(victim);
    QVERIFY(item);
    w.tree->setCurrentItem(item);
    w.press(w.result, "TrashButton");

    const bool stayed = QFileInfo::exists(victim);
    QCOMPARE(stayed, !trashable);
    QCOMPARE(w.fileItem(victim) != nullptr, stayed);
    QStringList copies = {victim, root + QStringLiteral("/.Trash-0/files/victim.txt"),
                          trashDir() + QStringLiteral("/files/victim.txt")};
    int found = 0;
    for (const QString& copy : copies) {
        QFile file(copy);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == "the same bytes")
            ++found;
    }
    QCOMPARE(found, 1);
}

TARVIK_TEST_WIDGETS_MAIN(StressTest)
#include "tst_ui_stress.moc"
