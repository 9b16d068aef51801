#include "scan/duplicateevent.h"
#include "scan/duplicatefinderthread.h"
#include "scan/scanengine.h"
#include "scanharness.h"
#include "scanreference.h"
#include "testenv.h"

#include <QDateTime>
#include <QDirIterator>
#include <QLoggingCategory>
#include <QtTest>

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
    explicit CountedEvent(int n) : DuplicateEvent({}, {}, QString::number(n)) { ++alive; }
    ~CountedEvent() override { --alive; }
};
int CountedEvent::alive = 0;

// One row of a table of three texts.
void row(const char* name, const QString& a, const QString& b, const QString& c)
{
    QTest::newRow(name) << a << b << c;
}

} // namespace

class ScanTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }
    void eventsInPostingOrderAndFreedWithTheirReceiver();
    void fileDigest();
    void filter_data();
    void filter();
    void groups_data();
    void groups();
    void stopInsideALargeFile();
    void holdsBackWhileEventsWaitUndelivered();
};

void ScanTest::eventsInPostingOrderAndFreedWithTheirReceiver()
{
    EventSink sink;
    auto* doomed = new EventSink;
    for (int i = 0; i < 500; ++i) {
        QCoreApplication::postEvent(&sink, new CountedEvent(i), Qt::NormalEventPriority);
        QCoreApplication::postEvent(doomed, new CountedEvent(i), Qt::NormalEventPriority);
    }
    delete doomed;
    QCOMPARE(CountedEvent::alive, 500);
    QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    QCOMPARE(CountedEvent::alive, 0);
    QCOMPARE(sink.events.size(), 500);
    for (int i = 0; i < 500; ++i)
        QCOMPARE(sink.events.at(i).duplicatePath, QString::number(i));
}

void ScanTest::fileDigest()
{
    const QString path = freshRoot() + QStringLiteral("/f");
    QVERIFY(writeFile(path, QByteArray()));
    QCOMPARE(tarvik::fileDigest(path), "d41d8cd98f00b204e9800998ecf8427e");
    // Several read blocks, the last one short.
    QVERIFY(writeFile(path, QByteArray(3000000, 'a')));
    QCOMPARE(tarvik::fileDigest(path), "99ddc9a3a46ea62c95652bdf937a1fb8");
    QCOMPARE(tarvik::fileDigest(path + QStringLiteral(".missing")), QString());
}

// Every file holds the same bytes, so the single group shows exactly what the walk listed.
void ScanTest::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("listed");
    row("empty lists every file", "", "NO", "PHOTO.JPG a.jpg b.png d.txt sub/c.png sub/e.txt");
    row("two patterns, any case", "*.jpg, *.png", "YES", "PHOTO.JPG a.jpg b.png sub/c.png");
    row("trailing blank kept", "*.jpg ,*.png", "YES", "b.png sub/c.png");
    row("blanks only match nothing", "   ", "YES", "");
    row("empty part between commas", "*.txt,,*.jpg", "YES", "PHOTO.JPG a.jpg d.txt sub/e.txt");
}

// The missing folder still gets its two debug lines.
void ScanTest::filter()
{
    QFETCH(QString, filter);
    QFETCH(QString, answer);
    QFETCH(QString, listed);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, words("a.jpg=1 PHOTO.JPG=1 b.png=1 sub/c.png=1 d.txt=1 sub/e.txt=1 "
                                 ".hidden=1")));
    QLoggingCategory::setFilterRules("default.debug=true");
    gDebugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
    const QVector<SeenEvent> events = runScan({root, root + "/missing"}, filter);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules("default.debug=false");
    QCOMPARE(groupsOf(events, root), listed);
    const QStringList one{"mFilter: " + filter, "mFilter: " + answer};
    QCOMPARE(gDebugLines, one + one);
}

void ScanTest::groups_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("folders");
    QTest::addColumn<QString>("expected");
    row("three equal files", "in/a=xyz in/b=xyz in/sub/c=xyz in/d=xy", "in", "in/a in/b in/sub/c");
    row("empty files", "in/e1= in/e2= in/deep/e3= in/full=x", "in", "in/deep/e3 in/e1 in/e2");
    row("other names in two selected folders", "A/photo.jpg=12 B/copy.bin=12 C/photo.jpg=12", "A B",
        "A/photo.jpg B/copy.bin");
    row("same names, other content", "A/n.txt=one B/n.txt=two", "A B", "");
    row("hidden files and folders", "in/v=x in/.h=x in/.hd/y=x", "in", "");
    row("link to a folder, broken link", "in/v=x out/w=x in/lnk->../out in/broken->/nonexistent/x",
        "in", "");
    row("link loop", "in/v=x in/w=x in/sub/loop->.. in/self->self", "in", "in/v in/w");
    row("missing folders", "in/v=x in/w=x", "gone in gone/too in/v/x", "in/v in/w");
    row("no folders", "in/v=x in/w=x", "", "");
    row("files as folders", "in/v=x in/w=x", "in/v in/w", "");
    // "@" entries are given literally, from the folder "other".
    row("empty entry is not the current folder", "in/a=1 in/b=1 other/c=2 other/d=2", "@ in",
        "in/a in/b");
    row("relative entry", "in/a=1 in/b=1 other/c=2 other/d=2", "@../in", "in/a in/b");
    row("overlapping and repeated folders", "in/a=1 in/s/b=2", "in/s in in/ in/./ in", "");
    row("links beside their targets", "in/a=1 in/l->a out/b=2 in/l1->../out/b in/l2->../out/b",
        "in", "");
    row("hard links", "in/a=1 in/h=>in/a in/s/h2=>in/a", "in", "");
    // Unreadable files never form a group, not even with one another; as root, only links
    // into /proc give one that cannot be opened and one whose reading fails.
    row("unreadable files",
        "in/empty= in/x=x in/y=x in/p1->/proc/sys/vm/drop_caches in/p2->/proc/self/mem", "in",
        "in/x in/y");
    row("true copies still found once", "in/a=1 in/s/b=1 in/s/l->b", "in/s in in/s", "in/a in/s/b");
}

// Besides the expected groups, the events must be the reference's, in its order: first paths
// and shared identities included.
// Every entry below root as the scan must leave it: kind, link target or size, time, bytes.
static QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString line = info.filePath();
        if (info.isSymLink()) {
            line += " -> " + info.symLinkTarget();
        } else if (info.isFile()) {
            QFile file(info.filePath());
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : "?";
            line += QStringLiteral(" %1 %2 %3")
                        .arg(info.size())
                        .arg(info.lastModified().toMSecsSinceEpoch())
                        .arg(QString::fromLatin1(bytes.toHex()));
        }
        entries << line;
    }
    entries.sort();
    return entries;
}

void ScanTest::groups()
{
    QFETCH(QString, tree);
    QFETCH(QString, folders);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, words(tree)) && QDir().mkpath(root + "/other"));
    QStringList list;
    for (const QString& folder : words(folders))
        list << (folder.startsWith('@') ? folder.mid(1) : root + '/' + folder);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root + "/other"));
    const QStringList before = snapshot(root);
    const QVector<SeenEvent> events = runScan(list, QString(), 20000);
    QCOMPARE(snapshot(root), before);
    const QStringList reference = describe(referenceScan(list, QString()), root);
    const QString found = groupsOf(events, root);
    const QStringList described = describe(events, root);
    QDir::setCurrent(previous);
    QCOMPARE(found, expected);
    QCOMPARE(described, reference);
}

// Two huge files of one size: reading them takes many seconds, a stop takes one block.
void ScanTest::stopInsideALargeFile()
{
    const QString root = freshRoot();
    for (const char* name : {"/big1", "/big2"}) {
        QFile file(root + name);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(8) << 30))
            QSKIP("no room for sparse files");
    }
    EventSink sink;
    DuplicateFinderThread* thread = startScan(&sink, {root});
    QTest::qWait(400);
    QVERIFY(thread->isRunning());
    QElapsedTimer timer;
    timer.start();
    thread->requestInterruption();
    QVERIFY(thread->wait(5000));
    qInfo("stopped %lld ms after the request", timer.elapsed());
    QVERIFY(timer.elapsed() < 2000);
    QCoreApplication::processEvents();
    QVERIFY(sink.events.isEmpty());
}

// A receiver that does not keep up: the thread stops posting at the limit, deleting it still
// ends it at once, and the events it left behind are delivered whole afterwards.
void ScanTest::holdsBackWhileEventsWaitUndelivered()
{
    const QString root = freshRoot();
    QStringList tree;
    for (int i = 0; i < 1000; ++i)
        tree << QStringLiteral("d%1/f%2=same").arg(i % 10).arg(i);
    QVERIFY(makeTree(root, tree));
    EventSink sink;
    DuplicateFinderThread* thread = startScan(&sink, {root});
    QVERIFY(!thread->wait(1500));
    QCOMPARE(thread->progress().duplicates.load(), qint64(DuplicateFinderThread::kMaxUndelivered));
    QElapsedTimer timer;
    timer.start();
    delete thread;
    qInfo("held-back thread deleted in %lld ms", timer.elapsed());
    QVERIFY(timer.elapsed() < 2000);
    QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    // What the stopped scan had confirmed follows the held-back events.
    QVERIFY(sink.events.size() >= DuplicateFinderThread::kMaxUndelivered);
    for (const SeenEvent& e : qAsConst(sink.events))
        QVERIFY(e.groupId == sink.events[0].groupId && e.firstPath == sink.events[0].firstPath);
}

TARVIK_TEST_GUILESS_MAIN(ScanTest)
#include "tst_scan.moc"
