// The scan engine against hostile input: contents that collide under MD5, files that change
// while they are read, odd names and filters, huge and deep trees. Whatever happens, no file
// is ever reported as a copy of a file with other content.

#include "scan/contentreader.h"
#include "scanharness.h"
#include "scanreference.h"
#include "testenv.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace tarvik;
using namespace tarvik::test;

namespace {

// Two different 128-byte blocks with one MD5 (79054025255fb1a26e4bc422aef54eb4), the pair
// published with the first MD5 collision attack. Equal suffixes keep the collision.
const QByteArray kCollisionA =
    QByteArray::fromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab58712467eab4004583eb8fb7f89"
                        "55ad340609f4b30283e488832571415a085125e8f7cdc99fd91dbdf280373c5b"
                        "d8823e3156348f5bae6dacd436c919c6dd53e2b487da03fd02396306d248cda0"
                        "e99f33420f577ee8ce54b67080a80d1ec69821bcb6a8839396f9652b6ff72a70");
const QByteArray kCollisionB =
    QByteArray::fromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab50712467eab4004583eb8fb7f89"
                        "55ad340609f4b30283e4888325f1415a085125e8f7cdc99fd91dbd7280373c5b"
                        "d8823e3156348f5bae6dacd436c919c6dd53e23487da03fd02396306d248cda0"
                        "e99f33420f577ee8ce54b67080280d1ec69821bcb6a8839396f965ab6ff72a70");

// What the open hook does to its target the first time the scan opens it.
QString gHookTarget;
QString gHookAction;
std::atomic<bool> gHookFired{false};

void changeUnderTheScan(const QString& path)
{
    if (path != gHookTarget || gHookFired.exchange(true))
        return;
    QFile file(path);
    const qint64 size = file.size();
    if (gHookAction == "shrink") {
        file.resize(size - 1);
    } else if (gHookAction == "grow" || gHookAction == "rewrite") {
        const bool grow = gHookAction == "grow";
        if (file.open(grow ? QIODevice::Append : QIODevice::WriteOnly))
            file.write(grow ? QByteArray("+") : QByteArray(int(size), 'z'));
    } else {
        file.remove();
        if (gHookAction == "folder")
            QDir().mkdir(path);
    }
}

// A pattern the toolkit cannot compile would warn once for every name it meets.
std::atomic<int> gWarnings{0};

void countWarnings(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type == QtWarningMsg)
        ++gWarnings;
}

} // namespace

class ScanStressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }
    void cleanup() { ContentReader::setOpenHook(nullptr); }
    void md5CollisionIsNoDuplicate_data();
    void md5CollisionIsNoDuplicate();
    void filesChangingDuringTheScan_data();
    void filesChangingDuringTheScan();
    void oddNames();
    void hostileFilters_data();
    void hostileFilters();
    void deepFolder();
    void hundredThousandFiles();
};

void ScanStressTest::md5CollisionIsNoDuplicate_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("suffix");
    QTest::addColumn<QString>("expected");
    // Names a* hold the first block, b* the second; each group holds only true copies.
    QTest::newRow("the pair alone") << QStringList{"a1", "b1"} << QByteArray() << "";
    QTest::newRow("copies of both")
        << QStringList{"b1", "a1", "b2", "a2", "b3"} << QByteArray() << "a1 a2|b1 b2 b3";
    QTest::newRow("large, one suffix")
        << QStringList{"a1", "b1", "a2"} << QByteArray(100 * 1024, 's') << "a1 a2";
}

void ScanStressTest::md5CollisionIsNoDuplicate()
{
    QFETCH(QStringList, names);
    QFETCH(QByteArray, suffix);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    for (const QString& name : names)
        QVERIFY(
            writeFile(root + "/" + name, (name[0] == 'a' ? kCollisionA : kCollisionB) + suffix));
    QCOMPARE(tarvik::fileDigest(root + "/a1"), tarvik::fileDigest(root + "/b1"));
    QCOMPARE(groupsOf(runScan({root}), root), expected);
}

// Three files of one content; one of them changes the first time the scan opens it.
void ScanStressTest::filesChangingDuringTheScan_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("action");
    for (const char* action : {"vanish", "shrink", "grow", "folder", "rewrite"})
        for (int target = 0; target < 3; ++target)
            QTest::addRow("%s, file %d in walk order", action, target) << target << action;
}

// The other two stay a group, led by the earlier of them.
void ScanStressTest::filesChangingDuringTheScan()
{
    QFETCH(int, target);
    QFETCH(QString, action);
    // Small files are compared at once, large ones by fingerprint first.
    for (const int size : {100, 200 * 1024}) {
        const QString root = freshRoot();
        for (const char* name : {"x", "y", "z"})
            QVERIFY(writeFile(root + "/" + name, QByteArray(size, 'c')));
        QStringList order;
        for (QDirIterator it(root, QDir::Files); it.hasNext();)
            order << it.next();
        gHookTarget = order.at(target);
        gHookAction = action;
        gHookFired = false;
        ContentReader::setOpenHook(changeUnderTheScan);
        const QVector<SeenEvent> events = runScan({root});
        ContentReader::setOpenHook(nullptr);
        QVERIFY2(gHookFired, "the scan never opened the file");
        order.removeAt(target);
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].firstPath, order[0]);
        QCOMPARE(events[0].duplicatePath, order[1]);
    }
}

// A name that is not UTF-8 cannot be opened under the text the toolkit makes of it: such a
// file is passed over, and the file that this text does name is still met only once.
void ScanStressTest::oddNames()
{
    const QString root = freshRoot();
    const QStringList names{"with blank", "it's \"quoted\"", "hash#tag",    "100%",
                            "what?",      "line\nbreak",     "Ünïcödé",     " leading",
                            "trailing ",  "[set]",           "back\\slash", "\xef\xbf\xbd"};
    QStringList tree;
    for (const QString& name : names)
        tree << "in/" + name + "=same"
             << "in/sub/" + name + "=other";
    QVERIFY(makeTree(root, tree));
#ifdef Q_OS_UNIX
    const QByteArrayList raw{QFile::encodeName(root) + "/in/bad\xff",
                             QFile::encodeName(root) + "/in/\xfe"};
    for (const QByteArray& path : raw) {
        QFile file;
        QVERIFY(file.open(::fopen(path.constData(), "wx"), QIODevice::WriteOnly,
                          QFile::AutoCloseHandle));
        file.write("same");
    }
#endif
    const QStringList events = describe(runScan({root + "/in"}), root);
    const QStringList expected = describe(referenceScan({root + "/in"}, QString()), root);
#ifdef Q_OS_UNIX
    for (const QByteArray& path : raw)
        QCOMPARE(std::remove(path.constData()), 0);
#endif
    QCOMPARE(events.size(), 2 * (names.size() - 1));
    QCOMPARE(events, expected);
}

void ScanStressTest::hostileFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("open bracket") << "[";
    QTest::newRow("close bracket") << "],a.jpg";
    QTest::newRow("negated set") << "[!a]*";
    QTest::newRow("backslash") << "\\";
    QTest::newRow("double star") << "**";
    QTest::newRow("control characters") << QString::fromLatin1("\x01\x02\t\n*\x7f,\x1b[0m");
    QTest::newRow("ten thousand characters")
        << ("*.jpg" + QStringLiteral(",*.x[").repeated(2000)).left(10000);
}

// No warning flood, and the same files listed as the plain walk lists them.
void ScanStressTest::hostileFilters()
{
    QFETCH(QString, filter);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a.jpg=1", "b.jpg=1", "[x].jpg=1", "c\\d=1", "]=1", "sub/e.x1=1",
                            "sub/f=2", "g=2"}));
    gWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    const QVector<SeenEvent> events = runScan({root}, filter);
    QCOMPARE(gWarnings.load(), 0);
    const QStringList expected = describe(referenceScan({root}, filter), root);
    qInstallMessageHandler(previous);
    QCOMPARE(describe(events, root), expected);
}

void ScanStressTest::deepFolder()
{
    const QString root = freshRoot();
    QString path = root;
    for (int level = 0; level < 200; ++level) {
        path += QStringLiteral("/d%1").arg(level % 10);
        if (level % 50 == 0 || level == 199)
            QVERIFY(writeFile(path + "/copy", "deep"));
    }
    QVERIFY(writeFile(root + "/copy", "deep"));
    const QStringList events = describe(runScan({root}), root);
    QCOMPARE(events.size(), 5);
    QCOMPARE(events, describe(referenceScan({root}, QString()), root));
}

void ScanStressTest::hundredThousandFiles()
{
    const QString root = freshRoot();
    const int files = 100000;
    const int distinct = 70000;
    for (int i = 0; i < files; ++i) {
        const int k = i % distinct;
        QVERIFY(writeFile(QStringLiteral("%1/%2/%3/f%4").arg(root).arg(i % 17).arg(i % 13).arg(i),
                          QByteArray::number(k) + ';' + QByteArray(k % 7, 'p')));
    }
    QElapsedTimer timer;
    timer.start();
    const QVector<SeenEvent> events = runScan({root}, QString(), 110000);
    qInfo("%d files scanned in %lld ms", files, timer.elapsed());
    QCOMPARE(events.size(), files - distinct);
    QCOMPARE(describe(events, root), describe(referenceScan({root}, QString()), root));
}

TARVIK_TEST_GUILESS_MAIN(ScanStressTest)
#include "tst_scanstress.moc"
