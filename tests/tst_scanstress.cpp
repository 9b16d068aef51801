// The scan engine against hostile input: contents that collide under MD5, files that change
// while they are read, odd names, filters and folder entries, huge and deep trees. Whatever
// happens, no file is ever reported as a copy of a file with other content.

#include "scan/contentreader.h"
#include "scan/duplicatefinderthread.h"
#include "scanharness.h"
#include "scanreference.h"
#include "testenv.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

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
QMutex gHookMutex;
QString gHookTarget;
QString gHookAction;
bool gHookFired = false;

void changeUnderTheScan(const QString& path)
{
    QMutexLocker lock(&gHookMutex);
    if (gHookFired || path != gHookTarget)
        return;
    gHookFired = true;
    QFile file(path);
    if (gHookAction == "vanish") {
        file.remove();
    } else if (gHookAction == "shrink") {
        file.resize(file.size() - 1);
    } else if (gHookAction == "grow") {
        if (file.open(QIODevice::Append))
            file.write("+");
    } else if (gHookAction == "folder") {
        file.remove();
        QDir().mkdir(path);
    } else if (gHookAction == "rewrite") {
        const qint64 size = file.size();
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(int(size), 'z'));
    }
}

// A pattern the toolkit cannot compile would otherwise warn once for every name it meets.
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
    void initTestCase();
    void cleanup();
    void md5CollisionIsNoDuplicate_data();
    void md5CollisionIsNoDuplicate();
    void filesChangingDuringTheScan_data();
    void filesChangingDuringTheScan();
    void oddNames();
    void nameThatIsNotUtf8();
    void hostileFilters_data();
    void hostileFilters();
    void oddFolderEntries_data();
    void oddFolderEntries();
    void deepFolder();
    void hundredThousandFiles();

private:
    QString freshRoot()
    {
        const QString root = mTemp.path() + QStringLiteral("/case") + QString::number(mCase++);
        QDir().mkpath(root);
        return root;
    }

    QTemporaryDir mTemp;
    int mCase = 0;
};

void ScanStressTest::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QVERIFY(kCollisionA != kCollisionB);
    QCOMPARE(QCryptographicHash::hash(kCollisionA, QCryptographicHash::Md5),
             QCryptographicHash::hash(kCollisionB, QCryptographicHash::Md5));
}

void ScanStressTest::cleanup()
{
    ContentReader::setOpenHook(nullptr);
}

void ScanStressTest::md5CollisionIsNoDuplicate_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("suffix");
    QTest::addColumn<QString>("expected");
    // Names a* hold the first block, b* the second; each group holds only true copies.
    const QByteArray large(100 * 1024, 's');
    QTest::newRow("the pair alone") << QStringList{"a1", "b1"} << QByteArray() << "";
    QTest::newRow("copies of both")
        << QStringList{"a1", "b1", "a2", "b2"} << QByteArray() << "a1 a2|b1 b2";
    QTest::newRow("copy of the second") << QStringList{"a1", "b1", "b2"} << QByteArray() << "b1 b2";
    QTest::newRow("many of each") << QStringList{"b1", "a1", "b2", "a2", "b3", "a3"} << QByteArray()
                                  << "a1 a2 a3|b1 b2 b3";
    QTest::newRow("several blocks long")
        << QStringList{"a1", "b1", "b2"} << QByteArray(3 * 1024 * 1024 + 5, 'x') << "b1 b2";
    QTest::newRow("large, one suffix") << QStringList{"a1", "b1", "a2"} << large << "a1 a2";
}

void ScanStressTest::md5CollisionIsNoDuplicate()
{
    QFETCH(QStringList, names);
    QFETCH(QByteArray, suffix);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    for (const QString& name : names) {
        const QByteArray& block = name.startsWith('a') ? kCollisionA : kCollisionB;
        QVERIFY(writeFile(root + "/" + name, block + suffix));
    }
    QCOMPARE(tarvik::fileDigest(root + "/" + names.at(0)),
             tarvik::fileDigest(root + "/" + names.at(1)));
    const QVector<SeenEvent> events = runScan({root});
    bool consistent = false;
    QCOMPARE(groupsOf(events, root, &consistent).join('|'), expected);
    QVERIFY(consistent);
}

// Three files of one content; one of them changes the first time the scan opens it.
void ScanStressTest::filesChangingDuringTheScan_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");
    // Positions are in walk order: 0 is the first file met.
    for (const char* action : {"vanish", "shrink", "grow", "folder", "rewrite"}) {
        QTest::addRow("first, %s", action) << 0 << action << "1 2";
        QTest::addRow("second, %s", action) << 1 << action << "0 2";
        QTest::addRow("third, %s", action) << 2 << action << "0 1";
    }
}

void ScanStressTest::filesChangingDuringTheScan()
{
    QFETCH(int, target);
    QFETCH(QString, action);
    QFETCH(QString, expected);
    for (const int size : {100, 200 * 1024}) {
        const QString root = freshRoot();
        const QByteArray content(size, 'c');
        for (const char* name : {"x", "y", "z"})
            QVERIFY(writeFile(root + "/" + name, content));
        const QStringList order = walkOrder({root});
        QCOMPARE(order.size(), 3);
        {
            QMutexLocker lock(&gHookMutex);
            gHookTarget = order.at(target);
            gHookAction = action;
            gHookFired = false;
        }
        ContentReader::setOpenHook(changeUnderTheScan);
        const QVector<SeenEvent> events = runScan({root});
        ContentReader::setOpenHook(nullptr);
        QStringList positions;
        for (const SeenEvent& e : events) {
            if (positions.isEmpty())
                positions << QString::number(order.indexOf(e.firstPath));
            positions << QString::number(order.indexOf(e.duplicatePath));
        }
        QVERIFY2(gHookFired, "the scan never opened the file");
        QCOMPARE(positions.join(' '), expected);
    }
}

void ScanStressTest::oddNames()
{
    const QString root = freshRoot();
    const QStringList names{"with blank", "it's \"quoted\"", "hash#tag",     "100%",
                            "what?",      "line\nbreak",     "Ünïcödé 日本", " leading",
                            "trailing ",  "[set]",           "back\\slash",  "*star*"};
    QStringList tree;
    for (const QString& name : names)
        tree << "in/" + name + "=same"
             << "in/sub/" + name + "=other";
    QVERIFY(makeTree(root, tree));
    const QVector<SeenEvent> events = runScan({root + "/in"});
    QStringList first;
    QStringList second;
    for (const QString& name : names) {
        first << "in/" + name;
        second << "in/sub/" + name;
    }
    first.sort();
    second.sort();
    QStringList expected{first.join(' '), second.join(' ')};
    expected.sort();
    QCOMPARE(groupsOf(events, root), expected);
    for (const SeenEvent& e : events)
        QVERIFY2(QFileInfo::exists(e.duplicatePath), qPrintable(e.duplicatePath));
}

// A name the toolkit cannot decode cannot be opened under the text it gets: such a file is
// passed over, and never stands in for another.
void ScanStressTest::nameThatIsNotUtf8()
{
#ifdef Q_OS_UNIX
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"in/plain=same", QString::fromUtf8("in/\xef\xbf\xbd=other")}));
    const QByteArray base = QFile::encodeName(root + "/in/");
    for (const char* raw : {"bad\xff", "\xfe"}) {
        const int fd = ::open((base + raw).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "same", 4), ssize_t(4));
        ::close(fd);
    }
    const QVector<SeenEvent> events = runScan({root + "/in"});
    for (const SeenEvent& e : events) {
        QVERIFY(QFileInfo::exists(e.firstPath));
        QVERIFY(QFileInfo::exists(e.duplicatePath));
        QFile a(e.firstPath);
        QFile b(e.duplicatePath);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }
    QVERIFY(events.isEmpty());
    for (const char* raw : {"bad\xff", "\xfe"})
        QCOMPARE(::unlink((base + raw).constData()), 0);
#else
    QSKIP("file names are text here");
#endif
}

void ScanStressTest::hostileFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("open bracket") << "[";
    QTest::newRow("close bracket") << "]";
    QTest::newRow("backslash") << "\\";
    QTest::newRow("double star") << "**";
    QTest::newRow("bracket pair") << "[a-";
    QTest::newRow("control characters") << QString::fromLatin1("\x01\x02\t\n*\x7f,\x1b[0m");
    QString longFilter;
    while (longFilter.size() < 10000)
        longFilter += QStringLiteral("*.x%1,").arg(longFilter.size());
    longFilter.truncate(9995);
    longFilter += QStringLiteral(",*.jpg");
    QTest::newRow("ten thousand characters") << longFilter.left(10000);
    QTest::newRow("only commas") << QString(300, ',');
}

void ScanStressTest::hostileFilters()
{
    QFETCH(QString, filter);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a.jpg=1", "b.jpg=1", "[x].jpg=1", "c\\d=1", "]=1", "sub/e.x1=1",
                            "sub/f=2", "g=2"}));
    bool inTime = false;
    gWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    const QVector<SeenEvent> events = runScan({root}, filter, &inTime, 60000);
    qInstallMessageHandler(previous);
    QVERIFY(inTime);
    QCOMPARE(gWarnings.load(), 0);
    qInstallMessageHandler(countWarnings);
    const QVector<SeenEvent> expected = referenceScan({root}, filter);
    qInstallMessageHandler(previous);
    QCOMPARE(describe(events, root), describe(expected, root));
}

void ScanStressTest::oddFolderEntries_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a file") << QStringList{"in/a"} << "";
    QTest::newRow("empty text") << QStringList{""} << "";
    QTest::newRow("empty text beside a folder") << QStringList{"", "in"} << "in/a in/b";
    QTest::newRow("missing") << QStringList{"nowhere", "in/a/below"} << "";
    QTest::newRow("relative") << QStringList{"@in"} << "in/a in/b";
}

// Relative entries are taken from the current folder, as the toolkit does; an empty entry is
// not the current folder.
void ScanStressTest::oddFolderEntries()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"in/a=1", "in/b=1", "other/c=2", "other/d=2"}));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(root + "/other"));
    QStringList list;
    for (const QString& folder : folders) {
        if (folder.startsWith('@'))
            list << "../" + folder.mid(1);
        else
            list << (folder.isEmpty() ? folder : root + "/" + folder);
    }
    const QVector<SeenEvent> events = runScan(list);
    QDir::setCurrent(previous);
    const auto fromRoot = [&root](const QString& path) {
        return QDir(root).relativeFilePath(
            QDir::cleanPath(QDir(root + "/other").absoluteFilePath(path)));
    };
    QStringList groups;
    for (const SeenEvent& e : events) {
        QStringList pair{fromRoot(e.firstPath), fromRoot(e.duplicatePath)};
        pair.sort();
        groups << pair.join(' ');
    }
    QCOMPARE(groups.join('|'), expected);
}

void ScanStressTest::deepFolder()
{
    const QString root = freshRoot();
    QString path = root;
    QStringList copies;
    for (int level = 0; level < 200; ++level) {
        path += QStringLiteral("/d%1").arg(level % 10);
        if (level % 50 == 0 || level == 199) {
            QVERIFY(writeFile(path + "/copy", "deep"));
            copies << path + "/copy";
        }
    }
    QVERIFY(writeFile(root + "/copy", "deep"));
    copies << root + "/copy";
    const QVector<SeenEvent> events = runScan({root});
    QCOMPARE(events.size(), copies.size() - 1);
    QStringList found{events.first().firstPath};
    for (const SeenEvent& e : events)
        found << e.duplicatePath;
    found.sort();
    copies.sort();
    QCOMPARE(found, copies);
}

void ScanStressTest::hundredThousandFiles()
{
    const QString root = freshRoot();
    const int files = 100000;
    const int distinct = 70000;
    for (int i = 0; i < files; ++i) {
        const QString path =
            QStringLiteral("%1/%2/%3/f%4").arg(root).arg(i % 17).arg(i % 13).arg(i);
        if (i < 17 * 13)
            QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const int k = i % distinct;
        file.write(QByteArray::number(k) + ';' + QByteArray(k % 7, 'p'));
    }
    QElapsedTimer timer;
    timer.start();
    const QVector<SeenEvent> events = runScan({root}, QString(), nullptr, 110000);
    qInfo("%d files scanned in %lld ms", files, timer.elapsed());
    QCOMPARE(events.size(), files - distinct);
    bool consistent = false;
    QCOMPARE(groupsOf(events, root, &consistent).size(), files - distinct);
    QVERIFY(consistent);
}

TARVIK_TEST_GUILESS_MAIN(ScanStressTest)
#include "tst_scanstress.moc"
