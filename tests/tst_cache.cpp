// The digest cache: a rescan trusts only files unchanged to the nanosecond, shows files as
// copies unread only where a byte comparison once found them equal, and never needs the cache:
// a damaged, foreign, unwritable or busy one gives the same result as none.

#include "scan/contentreader.h"
#include "scan/scancache.h"
#include "scanreference.h"

#include <QDateTime>
#include <QDirIterator>
#include <QLockFile>
#include <QMutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

using namespace tarvik;
using namespace tarvik::test;

namespace {

// Longer than a clock tick of the file system, so that a later change shows in the stamp.
constexpr int kMarginMs = 50;

QByteArray noise(int size, quint32 seed)
{
    QByteArray bytes((size + 3) & ~3, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    bytes.resize(size);
    return bytes;
}

// Small and large files of a few sizes: copies, same size other content, and both colliding
// pairs (each with a copy) in folders of their own.
void makeBase(const QString& root)
{
    const QByteArray small = noise(3000, 1), large = noise(300000, 2), huge = noise(1200000, 3);
    const QByteArray big(100 * 1024, 's');
    QVERIFY(writeFile(root + "/a/s1", small) && writeFile(root + "/a/s2", small) &&
            writeFile(root + "/a/s3", noise(3000, 4)) && writeFile(root + "/b/l1", large) &&
            writeFile(root + "/b/l2", large) && writeFile(root + "/b/l3", noise(300000, 5)) &&
            writeFile(root + "/b/h1", huge) && writeFile(root + "/b/h2", huge) &&
            writeFile(root + "/b/h3", noise(1200000, 6)));
    QVERIFY(writeFile(root + "/c1/m", kCollisionA + big) &&
            writeFile(root + "/c1/m2", kCollisionA + big) &&
            writeFile(root + "/c2/m", kCollisionB + big) &&
            writeFile(root + "/c2/m2", kCollisionB + big));
}

void setTimes(const QString& path, const struct stat& st)
{
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// A change between two scans, as a user (or a tool that puts times back) makes it.
void change(const QString& root, const QString& how)
{
    const QString target = root + "/a/s1";
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
    if (how == "content, times put back") {
        QVERIFY(writeFile(target, noise(3000, 9)));
        setTimes(target, st);
    } else if (how == "large content, times put back") {
        QCOMPARE(::stat(QFile::encodeName(root + "/b/l2").constData(), &st), 0);
        QVERIFY(writeFile(root + "/b/l2", noise(300000, 9)));
        setTimes(root + "/b/l2", st);
    } else if (how == "replaced, same size and times") {
        QVERIFY(writeFile(root + "/new", noise(3000, 4)));
        setTimes(root + "/new", st);
        QVERIFY(::rename(QFile::encodeName(root + "/new").constData(),
                         QFile::encodeName(target).constData()) == 0);
    } else if (how == "hard link") {
        QVERIFY(makeTree(root, {"a/s1-link=>a/s3"}));
    } else if (how == "renamed") {
        QVERIFY(QFile::rename(root + "/a/s2", root + "/a/renamed"));
    }
}

struct Scan
{
    QVector<SeenEvent> events;
    QHash<QString, DigestEntry> digests;
    QStringList opened;
    qint64 fromCache = 0;
    QString warning;
};

// One scan through a cache in folder (none when empty), noting every file the readers open.
Scan scan(const QStringList& folders, const QString& folder)
{
    Scan s;
    QMutex mutex;
    ContentReader::ScopedOpenHook hook([&](const QString& path) {
        QMutexLocker lock(&mutex);
        s.opened << path;
    });
    ScanCache cache(folder);
    ScanProgress progress;
    if (!folder.isEmpty())
        cache.open();
    {
        EventSink sink;
        ScanEngine engine([] { return false; }, sink.sink(), &s.digests, &progress);
        engine.setCache(folder.isEmpty() ? nullptr : &cache);
        scanFolders(folders, QString(), engine, [] { return false; });
        s.events = sink.events;
    }
    if (!folder.isEmpty())
        cache.save();
    s.fromCache = progress.filesFromCache;
    s.warning = cache.warning();
    return s;
}

QStringList under(const QString& root, const QStringList& names)
{
    QStringList out;
    for (const QString& name : names)
        out << root + '/' + name;
    return out;
}

// The cache file with bytes changed as a disk or another program might have.
void spoil(const QString& path, const QString& how)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    if (how == "truncated") {
        QVERIFY(file.resize(size - 7));
    } else if (how == "corrupt") {
        file.seek(size / 2);
        const char flipped = char(file.peek(1).at(0) ^ 0x10);
        file.write(&flipped, 1);
    } else if (how == "foreign byte order") {
        file.seek(12);
        file.write(QByteArray::fromHex("01020304"));
    } else if (how == "not a cache") {
        file.resize(0);
        file.write("registry\n");
    }
}

} // namespace

class CacheTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ScanCache::setRacyMarginMs(kMarginMs); }
    void rescans_data();
    void rescans();
    void cacheNeverNeeded_data();
    void cacheNeverNeeded();
    void twoScansAtOnce();
    void mergeStreamsAnotherScansRecords();
};

void CacheTest::rescans_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("mustRead");
    const QStringList all{"a", "b", "c1", "c2"};
    QTest::newRow("unchanged: nothing read") << all << "" << all << QStringList();
    QTest::newRow("content changed, times put back")
        << all << "content, times put back" << all << QStringList{"a/s1"};
    QTest::newRow("large content changed, times put back")
        << all << "large content, times put back" << all << QStringList{"b/l2"};
    QTest::newRow("replaced, same size and times")
        << all << "replaced, same size and times" << all << QStringList{"a/s1"};
    QTest::newRow("hard link") << all << "hard link" << all << QStringList();
    QTest::newRow("renamed") << all << "renamed" << all << QStringList{"a/renamed"};
    // Equal MD5s learnt in separate scans prove nothing: the pairs are compared.
    QTest::newRow("colliding pairs met apart")
        << QStringList{"c1"} << "" << all << QStringList{"c1/m", "c2/m"};
    QTest::newRow("colliding pairs, second apart")
        << QStringList{"c2", "a"} << "c1 alone" << all << QStringList{"c2/m"};
}

// Each rescan gives what the plain reference gives, event for event, with the MD5 of every
// group, and reads what changed.
void CacheTest::rescans()
{
    QFETCH(QStringList, first);
    QFETCH(QString, how);
    QFETCH(QStringList, second);
    QFETCH(QStringList, mustRead);
    const QString root = freshRoot();
    const QString folder = root + "-cache";
    makeBase(root);
    QTest::qWait(2 * kMarginMs);
    QVERIFY(scan(under(root, first), folder).warning.isEmpty());
    if (how == "c1 alone")
        scan(under(root, {"c1"}), folder);
    change(root, how);
    QTest::qWait(2 * kMarginMs);

    const Scan fresh = scan(under(root, second), QString());
    const Scan cached = scan(under(root, second), folder);
    QCOMPARE(describe(cached.events, root), describe(referenceScan(under(root, second), ""), root));
    QCOMPARE(describe(cached.events, root), describe(fresh.events, root));
    QStringList digests = cached.digests.keys(), expected = fresh.digests.keys();
    digests.sort();
    expected.sort();
    QCOMPARE(digests, expected);
    for (const QString& path : under(root, mustRead))
        QVERIFY2(cached.opened.contains(path), qPrintable(path));
    if (how.isEmpty() && first == second)
        QCOMPARE(cached.opened, QStringList());
    QVERIFY(cached.fromCache > 0);
    // And what this scan learnt holds on the next.
    QCOMPARE(describe(scan(under(root, second), folder).events, root),
             describe(fresh.events, root));
}

void CacheTest::cacheNeverNeeded_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("warns");
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("truncated") << "truncated" << true;
    QTest::newRow("corrupt") << "corrupt" << true;
    QTest::newRow("foreign byte order") << "foreign byte order" << true;
    QTest::newRow("not a cache") << "not a cache" << true;
    QTest::newRow("folder cannot be written") << "read-only" << true;
    QTest::newRow("locked by another scan") << "locked" << true;
}

// A scan through a cache that cannot serve is the scan without one, with one warning; the
// cache is made anew where it can be.
void CacheTest::cacheNeverNeeded()
{
    QFETCH(QString, how);
    QFETCH(bool, warns);
    const QString root = freshRoot();
    const QString folder = root + "-cache";
    const QString file = folder + '/' + ScanCache::kFileName;
    makeBase(root);
    QTest::qWait(2 * kMarginMs);
    const QStringList folders{root};
    scan(folders, folder);
    // Something new to keep.
    QVERIFY(makeTree(root, {"z/new1=new", "z/new2=new"}));
    QLockFile lock(file + ".lock");
    if (how == "missing") {
        QVERIFY(QFile::remove(file));
    } else if (how == "locked") {
        QVERIFY(lock.tryLock(0));
    } else if (how == "read-only") {
        QVERIFY(QFile::remove(file));
        // Permissions do not stop root: a file where the folder should be does.
        QVERIFY(QDir(folder).removeRecursively());
        if (::geteuid() == 0)
            QVERIFY(writeFile(folder, "in the way"));
        else
            QVERIFY(QDir().mkpath(folder) &&
                    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    } else {
        spoil(file, how);
    }
    const Scan s = scan(folders, folder);
    QCOMPARE(describe(s.events, root), describe(referenceScan(folders, ""), root));
    QCOMPARE(!s.warning.isEmpty(), warns);
    QVERIFY(!s.warning.contains('\n'));
    std::vector<CacheRecord> records;
    QString problem;
    const bool rebuilt =
        DigestCacheFile::read(file, &records, &problem) == DigestCacheFile::Load::Ok;
    QCOMPARE(rebuilt, how != "read-only");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Scans of two trees at once, over and over, through one cache: it stays whole, and each
// rescan is still the truth.
void CacheTest::twoScansAtOnce()
{
    const QString one = freshRoot(), two = freshRoot();
    const QString folder = one + "-cache";
    makeBase(one);
    makeBase(two);
    QTest::qWait(2 * kMarginMs);
    const QString expectOne = describe(referenceScan({one}, ""), one).join('\n');
    const QString expectTwo = describe(referenceScan({two}, ""), two).join('\n');
    bool same[2] = {true, true};
    const auto run = [&](const QString& root, const QString& expect, bool* ok) {
        for (int i = 0; i < 6; ++i)
            *ok = *ok && describe(scan({root}, folder).events, root).join('\n') == expect;
    };
    std::thread first(run, one, expectOne, &same[0]);
    run(two, expectTwo, &same[1]);
    first.join();
    QVERIFY(same[0] && same[1]);
    std::vector<CacheRecord> records;
    QString problem;
    QCOMPARE(DigestCacheFile::read(folder + '/' + ScanCache::kFileName, &records, &problem),
             DigestCacheFile::Load::Ok);
    // Both scans' knowledge was kept: neither tree is read again.
    QCOMPARE(scan({one}, folder).opened, QStringList());
    QCOMPARE(scan({two}, folder).opened, QStringList());
}

// A cache holding more than a read buffer of another scan's records, among this tree's inodes
// and some too old to keep: the merge streams through it and keeps each in its place.
void CacheTest::mergeStreamsAnotherScansRecords()
{
    const QString root = freshRoot();
    const QString file = root + "-cache/" + ScanCache::kFileName;
    makeBase(root);
    QTest::qWait(2 * kMarginMs);
    QSet<quint64> ours;
    struct stat st;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QCOMPARE(::stat(QFile::encodeName(it.next()).constData(), &st), 0);
        ours.insert(st.st_ino);
    }
    const quint32 today = quint32(QDateTime::currentMSecsSinceEpoch() / (24 * 3600 * 1000));
    std::vector<CacheRecord> theirs;
    for (quint64 ino = *std::min_element(ours.begin(), ours.end()) - 5000;
         theirs.size() < 3 * DigestCacheFile::kBlock + 7; ++ino) {
        if (ours.contains(ino))
            continue;
        CacheRecord r;
        r.device = st.st_dev;
        r.inode = ino;
        r.key = ino;
        r.flags = CacheRecord::HasKey;
        r.seenDay = theirs.size() % 5 ? today : today - 61;
        theirs.push_back(r);
    }
    QVERIFY(QDir().mkpath(root + "-cache"));
    DigestCacheFile::Writer writer(file);
    QString problem;
    QVERIFY(writer.begin(&problem));
    for (const CacheRecord& r : theirs)
        writer.add(r);
    QVERIFY(writer.commit(&problem));
    const QStringList folders{root};
    const QString expect = describe(referenceScan(folders, ""), root).join('\n');
    QCOMPARE(describe(scan(folders, root + "-cache").events, root).join('\n'), expect);
    std::vector<CacheRecord> kept;
    QCOMPARE(DigestCacheFile::read(file, &kept, &problem), DigestCacheFile::Load::Ok);
    QVERIFY(std::is_sorted(kept.begin(), kept.end(), CacheRecord::before));
    QSet<quint64> met;
    size_t others = 0;
    for (const CacheRecord& r : kept) {
        if (ours.contains(r.inode))
            met.insert(r.inode);
        else
            others += r.seenDay == today && r.key == r.inode;
    }
    QCOMPARE(met, ours);
    QCOMPARE(others, size_t(std::count_if(theirs.begin(), theirs.end(), [&](const CacheRecord& r) {
                 return r.seenDay == today;
             })));
    const Scan again = scan(folders, root + "-cache");
    QCOMPARE(describe(again.events, root).join('\n'), expect);
    QCOMPARE(again.opened, QStringList());
}

TARVIK_TEST_GUILESS_MAIN(CacheTest)
#include "tst_cache.moc"
