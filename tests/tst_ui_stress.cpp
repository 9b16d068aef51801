#include "app/startup.h"
#include "scan/duplicateevent.h"
#include "testenv.h"
#include "tst_ui_support.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace tarvik;
using namespace tarvik::test;

namespace {

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

bool groupsNumberedFromZero(const Window& w)
{
    const QList<QTreeWidgetItem*> groups = w.groups();
    for (int number = 0; number < groups.size(); ++number)
        if (groups[number]->text(0) != QStringLiteral("Duplicate group #%1").arg(number))
            return false;
    return true;
}

} // namespace

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondScanWhileTheFirstRuns();
    void twentyStartsInARow();
    void closingDuringAScan();
    void floodOfResultsKeepsItsOrder();
    void waitingResultsOfAnAbandonedScanAreDropped();
    void trashElsewhere_data();
    void trashElsewhere();
    void cleanup();

private:
    QTemporaryDir mBig;
    QList<QStringList> mMarkedGroups;
    QStringList mBigFiles;
    QStringList mMounts;
    QStringList mImmutable;
    std::unique_ptr<QTemporaryDir> mPlace;
};

// A deep tree of small files, about a third of them copies, so a scan takes a while and
// sends a steady stream of groups; the few "*.b" files form groups known in advance.
void StressTest::initTestCase()
{
    Q_INIT_RESOURCE(resource);
    qApp->setStyleSheet(readTextFile(QStringLiteral(":/resource/style.css")));
    QVERIFY(mBig.isValid());

    QRandomGenerator random(4711);
    const int files = 20000;
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/d%2/e%3/f%4").arg(mBig.path()).arg(i % 7).arg(i % 13).arg(i % 5);
        const bool copy = i > 0 && random.bounded(100) < 30;
        const int source = copy ? int(random.bounded(quint32(i))) : i;
        QByteArray content = QByteArray::number(source).repeated(40 + source % 60);
        QVERIFY(writeFile(QStringLiteral("%1/n%2.a").arg(folder).arg(i), content));
    }
    for (int group = 0; group < 4; ++group) {
        QStringList paths;
        for (int copy = 0; copy <= group + 1; ++copy) {
            paths.append(QStringLiteral("%1/d%2/marked%3-%4.b")
                             .arg(mBig.path())
                             .arg(copy)
                             .arg(group)
                             .arg(copy));
            QVERIFY(writeFile(paths.last(), "marked " + QByteArray::number(group)));
        }
        paths.sort();
        mMarkedGroups.append(paths);
    }
    QVERIFY(writeFile(mBig.filePath("lonely.b"), "nobody's copy"));
    std::sort(mMarkedGroups.begin(), mMarkedGroups.end());
    mBigFiles = filesBelow(mBig.path());
}

void StressTest::cleanup()
{
    for (const QString& path : qAsConst(mImmutable))
        run(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    mImmutable.clear();
    while (!mMounts.isEmpty())
        run(QStringLiteral("umount"), {QStringLiteral("-l"), mMounts.takeLast()});
    mPlace.reset();
}

void StressTest::secondScanWhileTheFirstRuns()
{
    QTemporaryDir small;
    const QString a = small.filePath("a"), b = small.filePath("x/b");
    QVERIFY(writeFile(a, "small") && writeFile(b, "small"));

    Window w;
    w.scan({mBig.path()});
    QTRY_VERIFY(w.tree->topLevelItemCount() > 3);
    QVERIFY2(w.thread()->isRunning(), "the first scan ended before the second started");
    // Leave the first scan's results waiting in the queue, as a busy window would.
    QThread::msleep(100);

    w.scan({small.path()});
    QCOMPARE(w.tree->topLevelItemCount(), 0);
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));
    QVERIFY(groupsNumberedFromZero(w));
    QCOMPARE(filesBelow(mBig.path()), mBigFiles);
}

void StressTest::twentyStartsInARow()
{
    Window w;
    QRandomGenerator random(99);
    int pressedWhileRunning = 0;
    for (int press = 1; press <= 20; ++press) {
        if (w.thread() && w.thread()->isRunning())
            ++pressedWhileRunning;
        w.scan({mBig.path()}, press == 20 ? QStringLiteral("*.b") : QString());
        QTest::qWait(int(random.bounded(40)));
        QThread::msleep(20);
    }
    QVERIFY(w.waitForScan());
    QVERIFY2(pressedWhileRunning >= 15, qPrintable(QString::number(pressedWhileRunning)));

    // Only the last scan's groups, numbered from 0.
    QCOMPARE(w.groupPaths(), mMarkedGroups);
    QVERIFY(groupsNumberedFromZero(w));
    QVERIFY(w.spinnerLabel->isHidden());
    QCOMPARE(filesBelow(mBig.path()), mBigFiles);
}

void StressTest::closingDuringAScan()
{
    Window w;
    QPointer<QWidget> result = w.result;
    w.scan({mBig.path()});
    QTRY_VERIFY(w.tree->topLevelItemCount() > 3);
    QPointer<DuplicateFinderThread> thread = w.thread();
    QVERIFY(thread->isRunning());

    // What start-up does once the last window has closed: leave the loop, destroy the window.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.window->close());
    w.window.reset();
    const qint64 elapsed = clock.elapsed();
    QVERIFY(thread.isNull() && result.isNull());
    qInfo("window closed and destroyed %lld ms into a running scan", elapsed);
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    QCOMPARE(filesBelow(mBig.path()), mBigFiles);
}

// Posts what a scan would: every group's first event, then rounds of further copies.
static QList<QUuid> postResults(QObject* page, int groups, int rounds)
{
    QList<QUuid> ids;
    for (int g = 0; g < groups; ++g)
        ids.append(QUuid::createUuid());
    for (int round = 1; round <= rounds; ++round)
        for (int g = 0; g < groups; ++g)
            QCoreApplication::postEvent(
                page, new DuplicateEvent(ids[g], QStringLiteral("/gone/g%1-0").arg(g),
                                         QStringLiteral("/gone/g%1-%2").arg(g).arg(round)));
    return ids;
}

// Counts what the tree holds when "Scanning..." goes.
class CountAtHide : public QObject
{
public:
    explicit CountAtHide(QTreeWidget* tree) : mTree(tree) {}
    int groups = -1;
    int rows = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::HideToParent) {
            groups = mTree->topLevelItemCount();
            rows = 0;
            for (int i = 0; i < groups; ++i)
                rows += mTree->topLevelItem(i)->childCount();
        }
        return false;
    }

private:
    QTreeWidget* mTree;
};

// A flood of results, handled a slice at a time, still lands whole and in order, and the
// spinner goes only once the last one is in.
void StressTest::floodOfResultsKeepsItsOrder()
{
    Window w;
    w.scan({});
    QVERIFY(w.waitForScan());
    CountAtHide counts(w.tree);
    w.scanningLabel->installEventFilter(&counts);

    const int groups = 3000, rounds = 3;
    QMetaObject::invokeMethod(w.result, "startedThread");
    postResults(w.result, groups, rounds);
    QMetaObject::invokeMethod(w.result, "finishedThread", Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(w.scanningLabel->isHidden(), 60000);

    QCOMPARE(counts.groups, groups);
    QCOMPARE(counts.rows, groups * (rounds + 1));
    for (int g = 0; g < groups; ++g) {
        QTreeWidgetItem* group = w.tree->topLevelItem(g);
        QCOMPARE(group->text(0), QStringLiteral("Duplicate group #%1").arg(g));
        for (int i = 0; i <= rounds; ++i)
            QCOMPARE(group->child(i)->text(3), QStringLiteral("/gone/g%1-%2").arg(g).arg(i));
    }
}

void StressTest::waitingResultsOfAnAbandonedScanAreDropped()
{
    QTemporaryDir small;
    const QString a = small.filePath("a"), b = small.filePath("b");
    QVERIFY(writeFile(a, "small") && writeFile(b, "small"));
    Window w;
    w.scan({});
    QVERIFY(w.waitForScan());

    const int groups = 20000;
    postResults(w.result, groups, 1);
    QCoreApplication::processEvents();
    QVERIFY(w.tree->topLevelItemCount() < groups);

    w.scan({small.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));
    QVERIFY(groupsNumberedFromZero(w));
}

void StressTest::trashElsewhere_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("trashable");

    QTest::newRow("own tmpfs") << "tmpfs" << true;
    QTest::newRow("read-only tmpfs") << "read-only" << false;
    QTest::newRow("read-only folder on a writable tmpfs") << "read-only folder" << false;
    QTest::newRow("immutable folder") << "immutable" << false;
}

// The file either reaches a trash or stays where it was; the row stays exactly when the
// file stays.
void StressTest::trashElsewhere()
{
    QFETCH(QString, place);
    QFETCH(bool, trashable);
    if (::geteuid() != 0)
        QSKIP("needs root to mount or to make a folder immutable");

    mPlace.reset(new QTemporaryDir);
    const QTemporaryDir& dir = *mPlace;
    const QString folder = dir.filePath("scan");
    const bool onTmpfs = place != QLatin1String("immutable");
    if (onTmpfs) {
        if (!run(QStringLiteral("mount"),
                 {"-t", "tmpfs", "-o", "size=8m", "tarvik-test", dir.path()}))
            QSKIP("cannot mount a tmpfs here");
        mMounts << dir.path();
    }
    const QString victim = folder + QStringLiteral("/victim.txt");
    const QString twin = folder + QStringLiteral("/twin.txt");
    QVERIFY(writeFile(victim, "the same bytes") && writeFile(twin, "the same bytes"));

    if (place == QLatin1String("read-only")) {
        if (!run(QStringLiteral("mount"), {"-o", "remount,ro", dir.path()}))
            QSKIP("cannot remount read-only");
    } else if (place == QLatin1String("read-only folder")) {
        if (!run(QStringLiteral("mount"), {"--bind", folder, folder}))
            QSKIP("cannot bind-mount");
        mMounts << folder;
        if (!run(QStringLiteral("mount"), {"-o", "remount,bind,ro", folder}))
            QSKIP("cannot remount the bind read-only");
    } else if (place == QLatin1String("immutable")) {
        if (!run(QStringLiteral("chattr"), {"+i", folder}))
            QSKIP("cannot make the folder immutable");
        mImmutable << folder;
    }

    Window w;
    w.scan({folder});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(victim);
    QVERIFY(item);
    w.tree->setCurrentItem(item);
    QTest::mouseClick(w.button(w.result, "TrashButton"), Qt::LeftButton);

    const bool stayed = QFileInfo::exists(victim);
    QCOMPARE(stayed, !trashable);
    QCOMPARE(w.fileItem(victim) != nullptr, stayed);
    QVERIFY(QFileInfo::exists(twin));
    if (!stayed) {
        const QStringList trashes = {
            dir.path() + QStringLiteral("/.Trash-0/files/victim.txt"),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/Trash/files/victim.txt")};
        bool found = false;
        for (const QString& trashed : trashes) {
            QFile file(trashed);
            if (file.open(QIODevice::ReadOnly)) {
                qInfo("trashed to %s", qPrintable(trashed));
                QCOMPARE(file.readAll(), QByteArray("the same bytes"));
                found = true;
            }
        }
        QVERIFY2(found, "the file left its folder but is in no trash");
    } else {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the same bytes"));
    }
}

TARVIK_TEST_WIDGETS_MAIN(StressTest)
#include "tst_ui_stress.moc"
