// The result page's status line and Stop, and what the window remembers between runs.

#include "core/appdirs.h"
#include "core/appsettings.h"
#include "scan/contentreader.h"
#include "testenv.h"
#include "tst_ui_support.h"

#include <QCryptographicHash>
#include <QFileDialog>
#include <QLocale>
#include <atomic>
#include <optional>

using namespace tarvik;
using namespace tarvik::test;

namespace {

// Keeps the scan, or a check before the trash, busy on the file "big2" until the test lets it
// go (or half a minute passes).
struct HoldOnBig
{
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    const ContentReader::ScopedOpenHook hook{[this](const QString& path) {
        if (!path.endsWith(QLatin1String("/big2")))
            return;
        held = true;
        QElapsedTimer clock;
        clock.start();
        while (!release && clock.elapsed() < 30000)
            QThread::msleep(5);
    }};
};

QLabel* statusLabel(const Window& w)
{
    return w.result->findChild<QLabel*>(QStringLiteral("StatusLabel"));
}

// Answers the next message boxes in turn, each with the button of the given text (the default
// button where no text is given), and keeps what they said.
void answerBoxes(QStringList buttons, QStringList* said)
{
    whenShown(false, [=](QWidget* widget) mutable {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box)
            return;
        said->append(box->text());
        const QString text = buttons.takeFirst();
        if (!buttons.isEmpty())
            answerBoxes(buttons, said);
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == text)
                return button->click();
        }
        box->defaultButton()->click();
    });
}

void triggerRule(const Window& w, const char* name)
{
    w.result->findChild<QAction*>(QString::fromLatin1(name))->trigger();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statusLineAgreesWithTheTree();
    void stopKeepsWhatWasFound();
    void failedScanSaysWhyAndKeepsItsGroups();
    void remembersTheLastSearch();
    void markThenTrashKeepsOneOfEach();
    void cancelStopsAfterTheFileInHand();
    void trashMarkedChecksEveryCopyAgain_data();
    void trashMarkedChecksEveryCopyAgain();
    void hardLinksKeepEveryRow();
    void unusableStoreGivesAWorkingWindow();
    void sortKeepsMarksExpansionAndCurrent_data();
    void sortKeepsMarksExpansionAndCurrent();
    void filterActsOnShownGroupsOnly();
    void rowsShowWhatTheScanRead();
};

void SessionTest::initTestCase()
{
    initUiTest();
    QLocale::setDefault(QLocale::c());
    if (qEnvironmentVariableIsSet("TARVIK_BREAK_STORE")) {
        // A folder where the settings file should be: SQLite cannot open it.
        QDir().mkpath(dataDirectory() + QStringLiteral("/registry.db/x"));
    }
}

void SessionTest::statusLineAgreesWithTheTree()
{
    const QString root = freshRoot();
    const QString k1(1000, QLatin1Char('a')), k5(5000, QLatin1Char('b'));
    QVERIFY(makeTree(root, {"a1=" + k1, "d/a2=" + k1, "d/e/a3=" + k1, "b1=" + k5, "d/b2=" + k5,
                            "e1=", "d/e2=", "u1=one", "u2=three"}));
    Window w;
    w.scan({root});
    QVERIFY(w.waitForScan());
    QVERIFY(statusLabel(w)->text().startsWith(QLatin1String("Done in ")));
    QVERIFY2(statusLabel(w)->text().endsWith(": 3 groups, 4 duplicate files, 6.8 KB reclaimable"),
             qPrintable(statusLabel(w)->text()));

    // The line follows the tree when a copy goes to the trash.
    w.tree->setCurrentItem(w.fileItem(root + "/d/b2"));
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QVERIFY(!w.fileItem(root + "/d/b2"));
    QVERIFY2(statusLabel(w)->text().endsWith(": 2 groups, 3 duplicate files, 2.0 KB reclaimable"),
             qPrintable(statusLabel(w)->text()));
}

void SessionTest::stopKeepsWhatWasFound()
{
    const QString root = freshRoot();
    QStringList tree{"b/big1=one big", "b/big2=two big"};
    for (int i = 0; i < 10; ++i)
        tree << QStringLiteral("a/p%1=%1").arg(i) << QStringLiteral("a/q%1=%1").arg(i);
    QVERIFY(makeTree(root, tree));
    HoldOnBig big;
    Window w;
    auto* stop = w.result->findChild<QToolButton*>(QStringLiteral("StopButton"));
    QVERIFY(stop && stop->isHidden());
    // The groups found behind the held file wait for it, to keep the order of the walk.
    w.scan({root + "/b", root + "/a"});
    // Stop shows once the thread's started() has come through.
    QVERIFY(waitFor([&] {
        return big.held && w.thread()->progress().filesCompared == 21 && stop->isVisible();
    }));
    QVERIFY(w.thread()->isRunning());
    QCOMPARE(w.tree->topLevelItemCount(), 0);

    QTest::mouseClick(stop, Qt::LeftButton);
    big.release = true;
    QVERIFY(w.waitForScan());
    QVERIFY(w.thread()->isFinished());
    QCOMPARE(w.tree->topLevelItemCount(), 10);
    QVERIFY(stop->isHidden() && w.spinnerLabel->isHidden());
    QVERIFY2(statusLabel(w)->text().startsWith(QLatin1String("Stopped after ")),
             qPrintable(statusLabel(w)->text()));

    // Saved now, every group has its MD5, read from a file that is still as its row saw it.
    QVERIFY(writeFile(root + "/a/p0", "changed"));
    answerFolderDialog(root + "/saved.csv");
    w.press(w.result, "SaveResultsButton");
    QVERIFY(waitFor([&] { return QFile::exists(root + "/saved.csv"); }));
    QFile saved(root + "/saved.csv");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(saved.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 21);
    for (const QString& row : rows.mid(1)) {
        const QByteArray content = row.section(',', 3, 3).section('/', -1).mid(1).toUtf8();
        QCOMPARE(row.section(',', 1, 1),
                 QString(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
    }
}

// Cancel while a file is in hand: the files before it went, those after it stay marked, and
// the summary says how many were not attempted.
void SessionTest::cancelStopsAfterTheFileInHand()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(
        root, {"1/k=one", "1/d/m=one", "2/k=two2", "2/d/big2=two2", "3/k=three", "3/d/m=three"}));
    Window w;
    w.scan({root + "/1", root + "/2", root + "/3"});
    QVERIFY(w.waitForScan());
    triggerRule(w, "MarkAllButShortestPathAction");
    std::optional<HoldOnBig> big;
    big.emplace();
    QStringList said;
    answerBoxes({"Move to Trash"}, &said);
    w.press(w.result, "TrashMarkedButton");
    QProgressDialog* progress = nullptr;
    QVERIFY(waitFor([&] {
        progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        return big->held && progress;
    }));
    QVERIFY2(progress->labelText().endsWith("\n1 of 3 files · 3 B of 12 B"),
             qPrintable(progress->labelText()));
    progress->findChild<QPushButton*>()->click();
    answerBoxes({""}, &said);
    big->release = true;
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    big.reset();

    // The file in hand when Cancel came either went whole or was left as it was.
    const bool inHandWent = !QFile::exists(root + "/2/d/big2");
    QCOMPARE(w.fileItem(root + "/2/d/big2") == nullptr, inHandWent);
    QVERIFY(!QFile::exists(root + "/1/d/m") && !w.fileItem(root + "/1/d/m"));
    QVERIFY(QFile::exists(root + "/3/d/m"));
    QCOMPARE(w.fileItem(root + "/3/d/m")->checkState(0), Qt::Checked);
    QVERIFY2(said[1].startsWith(QString("%1 files").arg(inHandWent ? 2 : 1)) &&
                 said[1].endsWith(QString("%1 not attempted: cancelled.").arg(inHandWent ? 1 : 2)),
             qPrintable(said[1]));
    QVERIFY(w.result->isEnabled());
}

void SessionTest::markThenTrashKeepsOneOfEach()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a1=same", "a2=same", "d/a3=same", "b1=other", "b2=other", "u=u"}));
    Window w;
    w.scan({root});
    QVERIFY(w.waitForScan());
    triggerRule(w, "MarkAllButFirstAction");
    QVERIFY2(statusLabel(w)->text().endsWith(" · 3 marked (13 B)"),
             qPrintable(statusLabel(w)->text()));
    QTreeWidgetItem* a = w.fileItem(root + "/a1")->parent();
    QTreeWidgetItem* b = w.fileItem(root + "/b1")->parent();
    const QString keptA = a->child(0)->text(3);
    // The second group loses its kept copy by hand, with the space bar.
    w.tree->setCurrentItem(b->child(0));
    QTest::keyClick(w.tree, Qt::Key_Space);
    QCOMPARE(b->child(0)->checkState(0), Qt::Checked);
    QVERIFY(statusLabel(w)->text().endsWith(" · 4 marked (18 B)"));

    const int trashed = QDir(trashDir() + "/files").entryList(QDir::Files).size();
    QStringList said;
    answerBoxes({"Move to Trash", ""}, &said);
    w.press(w.result, "TrashMarkedButton");
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    QVERIFY2(said.size() == 2 && said[0].contains("In 1 group every file is marked") &&
                 said[1].contains("2 files (8 B) went to the trash") &&
                 said[1].contains("2 stayed: every copy of its group was marked"),
             qPrintable(said.join(" / ")));
    QStringList left;
    for (const char* name : {"a1", "a2", "d/a3", "b1", "b2", "u"}) {
        if (QFile::exists(root + "/" + name))
            left << root + "/" + name;
    }
    QCOMPARE(left, QStringList({keptA, root + "/b1", root + "/b2", root + "/u"}));
    QCOMPARE(a->childCount(), 1);
    QCOMPARE(QDir(trashDir() + "/files").entryList(QDir::Files).size(), trashed + 2);

    // Every copy goes only by the explicit choice.
    said.clear();
    answerBoxes({"Trash Every Copy Too", ""}, &said);
    w.press(w.result, "TrashMarkedButton");
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    QVERIFY(!QFile::exists(root + "/b1") && !QFile::exists(root + "/b2"));
    QCOMPARE(b->childCount(), 0);
    QVERIFY2(statusLabel(w)->text().endsWith(": 0 groups, 0 duplicate files, 0 B reclaimable"),
             qPrintable(statusLabel(w)->text()));
}

void SessionTest::trashMarkedChecksEveryCopyAgain_data()
{
    QTest::addColumn<int>("changed");
    QTest::addColumn<bool>("keepTime");
    QTest::addColumn<QString>("reason");
    QTest::newRow("kept copy deleted") << 0 << false << "no kept copy present";
    QTest::newRow("kept copy rewritten, size and time put back")
        << 0 << true << "the kept copy differs now";
    QTest::newRow("marked file rewritten") << 1 << false << "changed since the scan";
}

// Each row: a change after the scan to the group's kept copy (0) or its marked file (1).
void SessionTest::trashMarkedChecksEveryCopyAgain()
{
    QFETCH(int, changed);
    QFETCH(bool, keepTime);
    QFETCH(QString, reason);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a1=same bytes", "a2=same bytes"}));
    // Whole seconds, so that a time put back is the very same time.
    for (const char* name : {"/a1", "/a2"}) {
        QFile file(root + name);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000),
                                 QFileDevice::FileModificationTime));
    }
    Window w;
    w.scan({root});
    QVERIFY(w.waitForScan());
    triggerRule(w, "MarkAllButFirstAction");
    QTreeWidgetItem* group = w.tree->topLevelItem(0);
    const QString marked = group->child(1)->text(3);
    const QString path = group->child(changed)->text(3);
    if (!keepTime && changed == 0) {
        QVERIFY(QFile::remove(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime modified = file.fileTime(QFileDevice::FileModificationTime);
        QVERIFY(file.write("SAME BYTES") == 10 && file.flush());
        if (keepTime)
            QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    QStringList said;
    answerBoxes({"Move to Trash", ""}, &said);
    w.press(w.result, "TrashMarkedButton");
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    QVERIFY(QFile::exists(marked) && w.fileItem(marked));
    QVERIFY2(said.value(1).contains("0 files (0 B) went to the trash") &&
                 said.value(1).contains("1 stayed: " + reason),
             qPrintable(said.join(" / ")));
}

// Hard links: the rows stay, say what they are now and can still go to the trash; groups whose
// every file is marked are left out.
void SessionTest::hardLinksKeepEveryRow()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a1=same", "a2=same", "d/a3=same", "b1=other", "b2=other"}));
    Window w;
    w.scan({root});
    QVERIFY(w.waitForScan());
    triggerRule(w, "MarkAllButFirstAction");
    QVERIFY2(statusLabel(w)->text().endsWith(" · 3 marked (13 B)"),
             qPrintable(statusLabel(w)->text()));
    QTreeWidgetItem* a = w.fileItem(root + "/a1")->parent();
    const QString kept = a->child(0)->text(3);
    w.fileItem(root + "/b1")->parent()->child(0)->setCheckState(0, Qt::Checked);
    QStringList said;
    answerBoxes({"Replace with Hard Links", ""}, &said);
    triggerRule(w, "HardLinkAction");
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    QVERIFY2(said[0].contains("the two names are one file") &&
                 said[1].contains("2 files (8 B) are now hard links to a kept copy.") &&
                 said[1].contains("2 stayed: every copy of its group was marked"),
             qPrintable(said.join(" / ")));
    QCOMPARE(a->childCount(), 3);
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(FileStamp::of(a->child(i)->text(3)).targetInode, FileStamp::of(kept).targetInode);
        QCOMPARE(storageOf(a->child(i)), FileItem::HardLink);
        QCOMPARE(a->child(i)->checkState(0), Qt::Unchecked);
        QVERIFY(a->child(i)->toolTip(0).endsWith("\nStorage: a hard link to a kept copy"));
    }
    QVERIFY2(statusLabel(w)->text().endsWith(
                 ": 2 groups, 3 duplicate files, 5 B reclaimable · 2 marked (10 B)"),
             qPrintable(statusLabel(w)->text()));

    // The rows know their files now: the kept copy, then a link, go to the trash like any file,
    // and what the group has left reclaims nothing.
    const QString last = a->child(2)->text(3);
    for (QTreeWidgetItem* row : {a->child(0), a->child(1)}) {
        const QString path = row->text(3);
        w.tree->setCurrentItem(row);
        QTest::keyClick(w.tree, Qt::Key_Delete);
        QVERIFY(!QFile::exists(path) && !w.fileItem(path));
        QVERIFY2(statusLabel(w)->text().contains(
                     QRegularExpression(" duplicate files?, 5 B reclaimable")),
                 qPrintable(statusLabel(w)->text()));
    }
    QVERIFY(QFile::exists(last));
}

void SessionTest::failedScanSaysWhyAndKeepsItsGroups()
{
    const QString root = freshRoot();
    QStringList tree{"b/boom1=x1", "b/boom2=x2"};
    for (int i = 0; i < 10; ++i)
        tree << QStringLiteral("a/p%1=%1").arg(i) << QStringLiteral("a/q%1=%1").arg(i);
    QVERIFY(makeTree(root, tree));
    Window w;
    // Memory runs out in a worker once the groups before it have reached the page.
    const ContentReader::ScopedOpenHook hook{[&w](const QString& path) {
        if (!path.endsWith(QLatin1String("/boom2")))
            return;
        QElapsedTimer clock;
        clock.start();
        while (w.thread()->progress().duplicates < 10 && clock.elapsed() < 30000)
            QThread::msleep(5);
        throw std::bad_alloc();
    }};
    w.scan({root + "/a", root + "/b"});
    QVERIFY(w.waitForScan());
    QCOMPARE(w.tree->topLevelItemCount(), 10);
    QVERIFY2(statusLabel(w)->text().startsWith(QLatin1String("Failed after ")) &&
                 statusLabel(w)->text().contains(QLatin1String(": out of memory: 10 groups")),
             qPrintable(statusLabel(w)->text()));
}

void SessionTest::remembersTheLastSearch()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"keep/x=1", "gone/y=2"}));
    const QRect moved(150, 120, 500, 560);
    {
        Window w;
        QCOMPARE(w.window->geometry(), QRect(100, 100, 480, 600));
        answerFolderDialog(root + "/keep");
        QTest::mouseClick(w.launcher->findChild<QAbstractButton*>(), Qt::LeftButton);
        w.scan({root + "/keep", root + "/gone"}, "*.txt, *.jpg");
        QVERIFY(w.waitForScan());
        w.window->setGeometry(moved);
    }
    QVERIFY(QDir(root + "/gone").removeRecursively());

    Window w;
    QCOMPARE(w.stack->currentIndex(), 0);
    QCOMPARE(w.search->folders(), QStringList{root + "/keep"});
    QCOMPARE(w.search->filterText(), QStringLiteral("*.txt, *.jpg"));
    QCOMPARE(w.window->geometry(), moved);
    QString openedIn;
    whenShown(false, [&](QWidget* dialog) {
        openedIn = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
        qobject_cast<QDialog*>(dialog)->reject();
    });
    QTest::mouseClick(w.launcher->findChild<QAbstractButton*>(), Qt::LeftButton);
    QCOMPARE(openedIn, QDir(root).absolutePath());

    // A place no screen shows is not used.
    AppSettings::setWindowGeometry(QRect(20000, 20000, 480, 600));
    QCOMPARE(Window().window->geometry(), QRect(100, 100, 480, 600));
}

void SessionTest::unusableStoreGivesAWorkingWindow()
{
    if (!qEnvironmentVariableIsSet("TARVIK_BREAK_STORE")) {
        // Again in a process of its own, whose store is broken before anything opens it.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARVIK_BREAK_STORE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("unusableStoreGivesAWorkingWindow")});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitCode(), 0);
        return;
    }
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a=same", "b=same"}));
    for (int run = 0; run < 2; ++run) {
        Window w;
        QCOMPARE(w.window->geometry(), QRect(100, 100, 480, 600));
        QVERIFY(w.search->folders().isEmpty());
        w.scan({root});
        QVERIFY(w.waitForScan());
        QCOMPARE(w.tree->topLevelItemCount(), 1);
        w.window->setGeometry(200, 200, 400, 400);
    }
}

namespace {

// Four groups, one to a folder, found in the order given: sizes 5, 4, 8, 1 with 2, 3, 2, 4
// files; their paths sort, case ignored, as a, B, m, Z.
QStringList sortFolders(const QString& root)
{
    makeTree(root, {"m/x1=AAAAA", "m/x2=AAAAA", "B/x1=BBBB", "B/x2=BBBB", "B/x3=BBBB",
                    "a/x1=CCCCCCCC", "a/x2=CCCCCCCC", "Z/x1=D", "Z/x2=D", "Z/x3=D", "Z/x4=D"});
    return {root + "/m", root + "/B", root + "/a", root + "/Z"};
}

QString groupOrder(const Window& w)
{
    QString order;
    for (int g = 0; g < w.tree->topLevelItemCount(); ++g)
        order += w.tree->topLevelItem(g)->text(0).right(1);
    return order;
}

} // namespace

void SessionTest::sortKeepsMarksExpansionAndCurrent_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("order");
    QTest::newRow("waste, ties as found") << "SortByWasteAction"
                                          << "1203";
    QTest::newRow("size") << "SortBySizeAction"
                          << "2013";
    QTest::newRow("copies, ties as found") << "SortByCopiesAction"
                                           << "3102";
    QTest::newRow("path, case ignored") << "SortByPathAction"
                                        << "2103";
    QTest::newRow("found") << "SortByFoundAction"
                           << "0123";
}

void SessionTest::sortKeepsMarksExpansionAndCurrent()
{
    QFETCH(QString, action);
    QFETCH(QString, order);
    const QString root = freshRoot();
    Window w;
    w.scan(sortFolders(root));
    QVERIFY(w.waitForScan());
    QCOMPARE(groupOrder(w), QStringLiteral("0123"));
    QTreeWidgetItem* collapsed = w.tree->topLevelItem(2);
    collapsed->setExpanded(false);
    QTreeWidgetItem* current = w.tree->topLevelItem(1)->child(2);
    current->setCheckState(0, Qt::Checked);
    w.tree->setCurrentItem(current);

    triggerRule(w, qPrintable(action));
    QCOMPARE(groupOrder(w), order);
    QCOMPARE(AppSettings::resultOrder(), action);
    QVERIFY(!collapsed->isExpanded() && w.tree->topLevelItem(order.indexOf('1'))->isExpanded());
    QCOMPARE(w.tree->currentItem(), current);
    QCOMPARE(current->checkState(0), Qt::Checked);
    // The order chosen holds for the next scan too.
    w.scan(sortFolders(freshRoot()));
    QVERIFY(w.waitForScan());
    QCOMPARE(groupOrder(w), order);
    triggerRule(w, "SortByFoundAction");
}

void SessionTest::filterActsOnShownGroupsOnly()
{
    const QString root = freshRoot();
    Window w;
    w.scan(sortFolders(root));
    QVERIFY(w.waitForScan());
    triggerRule(w, "MarkAllButFirstAction");
    auto* filter = w.result->findChild<QLineEdit*>(QStringLiteral("ResultFilterEdit"));
    QTest::keyClicks(filter, "/b/");
    QVERIFY(waitFor([&] { return w.tree->topLevelItemCount() == 1; }));
    QCOMPARE(groupOrder(w), QStringLiteral("1"));
    QVERIFY2(statusLabel(w)->text().endsWith(" · 1 of 4 groups shown"),
             qPrintable(statusLabel(w)->text()));

    QStringList said;
    answerBoxes({"Move to Trash", ""}, &said);
    w.press(w.result, "TrashMarkedButton");
    QVERIFY(waitFor([&] { return said.size() == 2; }));
    QVERIFY2(said[1].startsWith("2 files"), qPrintable(said[1]));
    QVERIFY(!QFile::exists(root + "/B/x2") || !QFile::exists(root + "/B/x3"));
    QCOMPARE(w.tree->topLevelItem(0)->childCount(), 1);

    // The groups left out come back as they were, marks and all.
    filter->clear();
    QVERIFY(waitFor([&] { return w.tree->topLevelItemCount() == 4; }));
    QCOMPARE(groupOrder(w), QStringLiteral("0123"));
    for (const char* folder : {"m", "a", "Z"}) {
        for (QTreeWidgetItem* row : w.tree->findItems(root + "/" + folder + "/",
                                                      Qt::MatchStartsWith | Qt::MatchRecursive, 3))
            QCOMPARE(QFile::exists(row->text(3)), true);
    }
    QCOMPARE(w.tree->topLevelItem(3)->child(3)->checkState(0), Qt::Checked);
    QVERIFY(!statusLabel(w)->text().contains("shown"));
}

namespace {

std::atomic<int> gGuiReads{0};

void countGuiReads(const QString&)
{
    if (QThread::currentThread() == qApp->thread())
        ++gGuiReads;
}

} // namespace

// What a row shows was read by the scan, not by the window: a file gone before its duplicate
// was handed over shows 0 B and no dates, and making, showing and painting rows reads nothing.
void SessionTest::rowsShowWhatTheScanRead()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"b/big1=one big", "b/big2=two big", "a/p=same", "a/q=same"}));
    std::optional<HoldOnBig> big;
    big.emplace();
    Window w;
    gGuiReads = 0;
    FileStamp::setReadObserver(countGuiReads);
    // The pair in a/ waits behind the held file before it is handed over.
    w.scan({root + "/b", root + "/a"});
    QVERIFY(waitFor([&] { return big->held && w.thread()->progress().filesCompared == 3; }));
    QVERIFY(QFile::remove(root + "/a/q"));
    big->release = true;
    QVERIFY(w.waitForScan());
    big.reset();
    for (QTreeWidgetItemIterator it(w.tree); *it; ++it) {
        for (int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::DecorationRole})
            for (int column = 0; column < 4; ++column)
                (*it)->data(column, role);
    }
    w.tree->grab();
    FileStamp::setReadObserver(nullptr);
    QCOMPARE(gGuiReads.load(), 0);
    const QTreeWidgetItem* gone = w.fileItem(root + "/a/q");
    const QTreeWidgetItem* kept = w.fileItem(root + "/a/p");
    QVERIFY(gone && kept);
    QCOMPARE(gone->text(1), QStringLiteral("0 B"));
    QVERIFY(gone->text(2).isEmpty() && gone->toolTip(0).contains("Modified: \n"));
    QCOMPARE(kept->text(1), QStringLiteral("4 B"));
    QVERIFY(!kept->text(2).isEmpty());
}

TARVIK_TEST_WIDGETS_MAIN(SessionTest)
#include "tst_ui_session.moc"
