#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "scan/scanengine.h"
#include "scanharness.h"
#include "testenv.h"

#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace tarvik;
using namespace tarvik::test;

namespace {

QStringList gDebugLines;

void captureDebug(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg)
        gDebugLines << text;
}

class CountedEvent : public DuplicateEvent
{
public:
    static int alive;
    explicit CountedEvent(int n)
        : DuplicateEvent(QUuid::createUuid(), QStringLiteral("first"), QString::number(n))
    {
        ++alive;
    }
    ~CountedEvent() override { --alive; }
};
int CountedEvent::alive = 0;

bool makeSparse(const QString& path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size);
}

} // namespace

class ScanTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eventTypeIsOneRegisteredNumber();
    void eventsArriveInPostingOrder();
    void eventsDieWithAReceiverThatNeverSawThem();
    void fileDigest_data();
    void fileDigest();
    void filter_data();
    void filter();
    void debugLinesForEveryFolder_data();
    void debugLinesForEveryFolder();
    void groups_data();
    void groups();
    void walkPassesOver_data();
    void walkPassesOver();
    void unreadableFilesAreSkipped();
    void eachFileOnlyOnce_data();
    void eachFileOnlyOnce();
    void stopInsideALargeFile();
    void receiverGoesAwayDuringAScan();
    void holdsBackWhileEventsWaitUndelivered();
    void eventsOutliveTheirThread();

private:
    QTemporaryDir mTemp;
    int mCase = 0;
    QString freshRoot()
    {
        const QString root = mTemp.path() + QStringLiteral("/case") + QString::number(mCase++);
        QDir().mkpath(root);
        return root;
    }
};

void ScanTest::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void ScanTest::eventTypeIsOneRegisteredNumber()
{
    const DuplicateEvent a(QUuid::createUuid(), QStringLiteral("a"), QStringLiteral("b"));
    const DuplicateEvent b(QUuid::createUuid(), QStringLiteral("c"), QStringLiteral("d"));
    QCOMPARE(int(a.type()), DuplicateEvent::eventType);
    QCOMPARE(int(b.type()), DuplicateEvent::eventType);
    QVERIFY(DuplicateEvent::eventType >= QEvent::User);
    QVERIFY(DuplicateEvent::eventType <= QEvent::MaxUser);
    QCOMPARE(a.firstPath(), QStringLiteral("a"));
    QCOMPARE(a.duplicatePath(), QStringLiteral("b"));
}

void ScanTest::eventsArriveInPostingOrder()
{
    EventSink sink;
    for (int i = 0; i < 500; ++i)
        QCoreApplication::postEvent(&sink, new CountedEvent(i), Qt::NormalEventPriority);
    QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    QCOMPARE(sink.events.size(), 500);
    for (int i = 0; i < 500; ++i)
        QCOMPARE(sink.events.at(i).duplicatePath, QString::number(i));
    QCOMPARE(CountedEvent::alive, 0);
}

void ScanTest::eventsDieWithAReceiverThatNeverSawThem()
{
    auto* sink = new EventSink;
    for (int i = 0; i < 10; ++i)
        QCoreApplication::postEvent(sink, new CountedEvent(i), Qt::NormalEventPriority);
    QCOMPARE(CountedEvent::alive, 10);
    delete sink;
    QCOMPARE(CountedEvent::alive, 0);
    QCoreApplication::processEvents();
    QCOMPARE(CountedEvent::alive, 0);
}

void ScanTest::fileDigest_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("abc") << QByteArray("abc");
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    QRandomGenerator rng(7);
    for (char& c : big)
        c = char(rng.bounded(256));
    QTest::newRow("several blocks") << big;
}

void ScanTest::fileDigest()
{
    QFETCH(QByteArray, content);
    const QString path = freshRoot() + QStringLiteral("/f");
    QVERIFY(writeFile(path, content));
    const QString expected =
        QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
    QCOMPARE(tarvik::fileDigest(path), expected);
    if (content.isEmpty())
        QCOMPARE(tarvik::fileDigest(path), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    if (content == "abc")
        QCOMPARE(tarvik::fileDigest(path), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    QCOMPARE(tarvik::fileDigest(path + QStringLiteral(".missing")), QString());
}

// Every file holds the same bytes, so the single group shows exactly what the walk listed.
void ScanTest::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("listed");
    const QString all = "PHOTO.JPG a.jpg b.png d.txt sub/c.png sub/deeper/e.txt";
    QTest::newRow("empty lists every file") << "" << all;
    QTest::newRow("two patterns, any case") << "*.jpg, *.png"
                                            << "PHOTO.JPG a.jpg b.png sub/c.png";
    QTest::newRow("trailing blank kept") << "*.jpg ,*.png"
                                         << "b.png sub/c.png";
    QTest::newRow("blanks only match nothing") << "   "
                                               << "";
    QTest::newRow("empty part between commas") << "*.txt,,*.jpg"
                                               << "PHOTO.JPG a.jpg d.txt sub/deeper/e.txt";
    QTest::newRow("only a comma") << ","
                                  << "";
    QTest::newRow("case ignored") << "*.TXT"
                                  << "d.txt sub/deeper/e.txt";
    QTest::newRow("question mark and set") << "?.[jp]*"
                                           << "a.jpg b.png sub/c.png";
}

void ScanTest::filter()
{
    QFETCH(QString, filter);
    QFETCH(QString, listed);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a.jpg=same", "PHOTO.JPG=same", "b.png=same", "sub/c.png=same",
                            "d.txt=same", "sub/deeper/e.txt=same"}));
    const QStringList groups = groupsOf(runScan({root}, filter), root);
    QCOMPARE(groups.join(QLatin1Char('|')), listed);
}

void ScanTest::debugLinesForEveryFolder_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("answer");
    QTest::newRow("empty") << ""
                           << "NO";
    QTest::newRow("blank is not empty") << " "
                                        << "YES";
    QTest::newRow("patterns") << "*.jpg, *.png"
                              << "YES";
}

void ScanTest::debugLinesForEveryFolder()
{
    QFETCH(QString, filter);
    QFETCH(QString, answer);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a/x=1", "b/"}));
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true"));
    gDebugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    runScan({root + "/a", root + "/b", root + "/missing"}, filter);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList one = {"mFilter: " + filter, "mFilter: " + answer};
    QCOMPARE(gDebugLines, one + one + one);
}

void ScanTest::groups_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three equal files, one group")
        << QStringList{"a=xyz", "b=xyz", "sub/c=xyz", "d=xy"} << QStringList{"."} << "a b sub/c";
    QTest::newRow("empty files form one group")
        << QStringList{"e1=", "e2=", "deep/er/e3=", "full=x"} << QStringList{"."}
        << "deep/er/e3 e1 e2";
    QTest::newRow("other names in two selected folders")
        << QStringList{"A/photo.jpg=1234", "B/copy_of_photo.bin=1234", "C/photo.jpg=1234"}
        << QStringList{"A", "B"} << "A/photo.jpg B/copy_of_photo.bin";
    QTest::newRow("same names, other content")
        << QStringList{"A/n.txt=one", "B/n.txt=two"} << QStringList{"A", "B"} << "";
    QTest::newRow("same size, other content")
        << QStringList{"p=aaaa", "q=aaab", "r=baaa"} << QStringList{"."} << "";
    QTest::newRow("several groups")
        << QStringList{"1=a", "2=b", "3=a", "s/4=b", "s/5=c", "s/t/6=a", "7=", "8="}
        << QStringList{"."} << "1 3 s/t/6|2 s/4|7 8";
}

void ScanTest::groups()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, tree));
    QStringList absolute;
    for (const QString& folder : folders)
        absolute << QDir::cleanPath(root + QLatin1Char('/') + folder);
    const QVector<SeenEvent> events = runScan(absolute);
    bool consistent = false;
    const QStringList groups = groupsOf(events, root, &consistent);
    QCOMPARE(groups.join(QLatin1Char('|')), expected);
    QVERIFY(consistent);
    QVERIFY(followsWalkOrder(events, walkOrder(absolute)));
    int files = 0;
    for (const QString& group : groups)
        files += group.split(QLatin1Char(' ')).size();
    QCOMPARE(events.size(), files - groups.size());
}

void ScanTest::walkPassesOver_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hidden file") << QStringList{"in/v=x", "in/.h=x", "in/w=y"} << QStringList{"in"}
                                 << "";
    QTest::newRow("hidden folder")
        << QStringList{"in/v=x", "in/.hd/x=x", "in/.hd/y=x"} << QStringList{"in"} << "";
    QTest::newRow("link to a folder")
        << QStringList{"in/v=x", "out/w=x", "in/lnk->../out"} << QStringList{"in"} << "";
    QTest::newRow("broken link") << QStringList{"in/v=x", "in/broken->/nonexistent/nothing"}
                                 << QStringList{"in"} << "";
    QTest::newRow("link loop") << QStringList{"in/v=x", "in/w=x", "in/sub/loop->..",
                                              "in/self->self"}
                               << QStringList{"in"} << "in/v in/w";
    QTest::newRow("missing folder")
        << QStringList{"in/v=x", "in/w=x"} << QStringList{"gone", "in", "gone/too"} << "in/v in/w";
    QTest::newRow("no folders") << QStringList{"in/v=x", "in/w=x"} << QStringList{} << "";
}

void ScanTest::walkPassesOver()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, tree));
    QStringList absolute;
    for (const QString& folder : folders)
        absolute << root + QLatin1Char('/') + folder;
    bool inTime = false;
    const QVector<SeenEvent> events = runScan(absolute, QString(), &inTime, 20000);
    QVERIFY(inTime);
    QCOMPARE(groupsOf(events, root).join(QLatin1Char('|')), expected);
}

// Files that cannot be read never form a group, not even with one another. As root,
// permissions do not stop reads, so links into /proc stand in: one that cannot be opened and
// one whose reading fails.
void ScanTest::unreadableFilesAreSkipped()
{
    const QString root = freshRoot();
    QStringList tree{"in/empty=", "in/x=x"};
    int unreadable = 0;
    for (const char* target :
         {"/proc/sys/vm/drop_caches", "/proc/sys/vm/compact_memory", "/proc/self/mem"}) {
        QFile probe(QString::fromLatin1(target));
        if (QFileInfo(probe).isFile() && !probe.open(QIODevice::ReadOnly)) {
            tree << QStringLiteral("in/proc%1->%2").arg(unreadable++).arg(target);
        } else if (QFileInfo(probe).isFile()) {
            char byte;
            if (probe.read(&byte, 1) < 0)
                tree << QStringLiteral("in/proc%1->%2").arg(unreadable++).arg(target);
        }
    }
    if (!runningAsRoot())
        tree << "in/locked1=x"
             << "in/locked2=x";
    QVERIFY(makeTree(root, tree));
    if (!runningAsRoot()) {
        for (const char* name : {"/in/locked1", "/in/locked2"})
            QVERIFY(QFile::setPermissions(root + name, QFileDevice::Permissions()));
        unreadable += 2;
    }
    if (unreadable < 2)
        QSKIP("no two unreadable files can be made here");
    QVERIFY(makeTree(root, {"in/y=x"}));
    QCOMPARE(groupsOf(runScan({root + "/in"}), root).join(QLatin1Char('|')), "in/x in/y");
}

void ScanTest::eachFileOnlyOnce_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");
    QTest::newRow("same folder twice")
        << QStringList{"in/a=1", "in/s/b=2"} << QStringList{"in", "in"} << "";
    QTest::newRow("folder and its subfolder")
        << QStringList{"in/a=1", "in/s/b=2"} << QStringList{"in/s", "in"} << "";
    QTest::newRow("same folder spelled twice")
        << QStringList{"in/a=1"} << QStringList{"in", "in/", "in/./"} << "";
    QTest::newRow("link beside its target")
        << QStringList{"in/a=1", "in/l->a"} << QStringList{"in"} << "";
    QTest::newRow("two links to one outside file")
        << QStringList{"out/a=1", "in/l1->../out/a", "in/l2->../out/a"} << QStringList{"in"} << "";
    QTest::newRow("hard links") << QStringList{"in/a=1", "in/h=>in/a", "in/s/h2=>in/a"}
                                << QStringList{"in"} << "";
    QTest::newRow("true copies still found once")
        << QStringList{"in/a=1", "in/s/b=1", "in/s/l->b"} << QStringList{"in/s", "in", "in/s"}
        << "in/a in/s/b";
}

void ScanTest::eachFileOnlyOnce()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, tree));
    QStringList absolute;
    for (const QString& folder : folders)
        absolute << root + QLatin1Char('/') + folder;
    const QVector<SeenEvent> events = runScan(absolute);
    QCOMPARE(groupsOf(events, root).join(QLatin1Char('|')), expected);
    for (const SeenEvent& e : events)
        QVERIFY(QFileInfo(e.firstPath).canonicalFilePath() !=
                QFileInfo(e.duplicatePath).canonicalFilePath());
}

// Two huge files of one size: reading them takes many seconds, a stop takes one block.
void ScanTest::stopInsideALargeFile()
{
    const QString root = freshRoot();
    const qint64 size = qint64(8) * 1024 * 1024 * 1024;
    if (!makeSparse(root + "/big1", size) || !makeSparse(root + "/big2", size))
        QSKIP("no room for sparse files");
    EventSink sink;
    auto* thread = new DuplicateFinderThread(&sink);
    thread->mFolders = QStringList{root};
    thread->start();
    QTest::qWait(400);
    QVERIFY(thread->isRunning());
    QElapsedTimer timer;
    timer.start();
    thread->requestInterruption();
    QVERIFY(thread->wait(5000));
    const qint64 stopMs = timer.elapsed();
    qInfo("stopped %lld ms after the request", stopMs);
    QVERIFY(stopMs < 2000);
    QCoreApplication::processEvents();
    QVERIFY(sink.events.isEmpty());
    delete thread;
}

void ScanTest::receiverGoesAwayDuringAScan()
{
    const QString root = freshRoot();
    QStringList tree;
    for (int i = 0; i < 2000; ++i)
        tree << QStringLiteral("d%1/f%2=%3").arg(i % 20).arg(i).arg(i % 50);
    QVERIFY(makeTree(root, tree));
    for (int delay : {0, 5, 30}) {
        auto* sink = new EventSink;
        QPointer<DuplicateFinderThread> thread = new DuplicateFinderThread(sink);
        thread->mFolders = QStringList{root};
        thread->start();
        QTest::qWait(delay);
        delete sink;
        QVERIFY(thread.isNull());
        QCoreApplication::processEvents();
    }
}

// A receiver that does not keep up: the thread stops posting at the limit, and a stop request
// still ends it at once.
void ScanTest::holdsBackWhileEventsWaitUndelivered()
{
    const QString root = freshRoot();
    QStringList tree;
    for (int i = 0; i < 1000; ++i)
        tree << QStringLiteral("d%1/f%2=same").arg(i % 10).arg(i);
    QVERIFY(makeTree(root, tree));
    EventSink sink;
    auto* thread = new DuplicateFinderThread(&sink);
    thread->mFolders = QStringList{root};
    thread->start();
    QVERIFY(!thread->wait(1500));
    QElapsedTimer timer;
    timer.start();
    thread->requestInterruption();
    QVERIFY(thread->wait(2000));
    qInfo("held-back thread stopped in %lld ms", timer.elapsed());
    QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    QCOMPARE(sink.events.size(), ScanEngine::kMaxUndelivered);
    delete thread;

    // With the receiver keeping up, every event arrives.
    QCOMPARE(runScan({root}).size(), 999);
}

void ScanTest::eventsOutliveTheirThread()
{
    const QString root = freshRoot();
    QStringList tree;
    for (int i = 0; i < 400; ++i)
        tree << QStringLiteral("f%1=same").arg(i);
    QVERIFY(makeTree(root, tree));
    EventSink sink;
    auto* thread = new DuplicateFinderThread(&sink);
    thread->mFolders = QStringList{root};
    thread->start();
    QTest::qSleep(500);
    delete thread;
    QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    QCOMPARE(sink.events.size(), ScanEngine::kMaxUndelivered);
    bool consistent = false;
    QCOMPARE(groupsOf(sink.events, root, &consistent).size(), 1);
    QVERIFY(consistent);
}

TARVIK_TEST_GUILESS_MAIN(ScanTest)
#include "tst_scan.moc"
