#include "scan/duplicateevent.h"
#include "tst_ui_support.h"

#include <QProcess>
#include <QRandomGenerator>
#include <unistd.h>

using namespace tarvik;
using namespace tarvik::test;

namespace {

bool run(const QString& commandLine)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    QProcess process;
    process.start(arguments.takeFirst(), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
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

} // namespace

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondScanThenCloseWhileRunning();
    void twentyStartsInARow();
    void floodOfResults();
    void trashElsewhere_data();
    void trashElsewhere();
    void cleanup();

private:
    QTemporaryDir mBig;
    QList<QStringList> mMarkedGroups;
    std::unique_ptr<QTemporaryDir> mPlace;
};

// A deep tree of small files, about a third of them copies, so a scan takes a while and
// sends a steady stream of groups; the few "*.b" files form groups known in advance.
void StressTest::initTestCase()
{
    initUiTest();
    QRandomGenerator random(4711);
    for (int i = 0; i < 20000; ++i) {
        const int source = i > 0 && random.bounded(100) < 30 ? int(random.bounded(quint32(i))) : i;
        const QString name = QString::asprintf("/d%d/e%d/f%d/n%d.a", i % 7, i % 13, i % 5, i);
        QVERIFY(
            writeFile(mBig.path() + name, QByteArray::number(source).repeated(40 + source % 60)));
    }
    for (int group = 0; group < 4; ++group) {
        QStringList paths;
        for (int copy = 0; copy <= group + 1; ++copy) {
            paths << mBig.path() + QString::asprintf("/d%d/marked%d-%d.b", copy, group, copy);
            QVERIFY(writeFile(paths.last(), "marked " + QByteArray::number(group)));
        }
        paths.sort();
        mMarkedGroups.append(paths);
    }
    QVERIFY(writeFile(mBig.filePath("lonely.b"), "nobody's copy"));
    std::sort(mMarkedGroups.begin(), mMarkedGroups.end());
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

void StressTest::secondScanThenCloseWhileRunning()
{
    QTemporaryDir small;
    const QString a = small.filePath("a"), b = small.filePath("x/b");
    QVERIFY(writeFile(a, "small") && writeFile(b, "small"));
    Window w;
    w.scan({mBig.path()});
    QTRY_VERIFY(w.tree->topLevelItemCount() > 3);
    QVERIFY2(w.thread()->isRunning(), "the first scan ended before the second started");
    QVERIFY(w.spinnerLabel->isVisible() && w.scanningLabel->isVisible());
    QCOMPARE(w.spinnerLabel->movie()->state(), QMovie::Running);
    // Leave the first scan's results waiting in the queue, as a busy window would.
    QThread::msleep(100);

    w.scan({small.path()});
    QCOMPARE(w.tree->topLevelItemCount(), 0);
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));
    QVERIFY(w.groupsNumberedFromZero());

    // Closing during a scan: what start-up does once the last window has closed.
    w.scan({mBig.path()});
    QTRY_VERIFY(w.tree->topLevelItemCount() > 3);
    QPointer<DuplicateFinderThread> thread = w.thread();
    QVERIFY(thread->isRunning());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.window->close());
    w.window.reset();
    const qint64 elapsed = clock.elapsed();
    QVERIFY(thread.isNull());
    qInfo("window closed and destroyed %lld ms into a running scan", elapsed);
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
}

void StressTest::twentyStartsInARow()
{
    Window w;
    QRandomGenerator random(99);
    int pressedWhileRunning = 0;
    for (int press = 1; press <= 20; ++press) {
        if (w.thread()->isRunning())
            ++pressedWhileRunning;
        w.scan({mBig.path()}, press == 20 ? QStringLiteral("*.b") : QString());
        QTest::qWait(int(random.bounded(40)));
        QThread::msleep(20);
    }
    QVERIFY(w.waitForScan());
    QVERIFY2(pressedWhileRunning >= 15, qPrintable(QString::number(pressedWhileRunning)));
    // Only the last scan's groups, numbered from 0.
    QCOMPARE(w.groupPaths(), mMarkedGroups);
    QVERIFY(w.groupsNumberedFromZero());
    QVERIFY(w.spinnerLabel->isHidden());
}

// A flood of results, added a slice at a time, lands whole and in order before the spinner
// goes; one left waiting when the next scan starts leaves nothing in its tree.
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
    const int groups = 3000, rounds = 3;
    QMetaObject::invokeMethod(w.result, "startedThread");
    postResults(w.result, groups, rounds);
    QMetaObject::invokeMethod(w.result, "finishedThread", Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(w.scanningLabel->isHidden(), 60000);
    QCOMPARE(rowsAtHide, groups * (rounds + 2));
    QVERIFY(w.groupsNumberedFromZero());
    for (int g = 0; g < groups; ++g)
        for (int i = 0; i <= rounds; ++i)
            QCOMPARE(w.tree->topLevelItem(g)->child(i)->text(3),
                     QStringLiteral("/gone/g%1-%2").arg(g).arg(i));

    postResults(w.result, 20000, 1);
    QCoreApplication::processEvents();
    QVERIFY(w.tree->topLevelItemCount() < groups + 20000);
    w.scan({small.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), QList<QStringList>({QStringList({a, b})}));
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
