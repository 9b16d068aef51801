// The scan engine against the plain full-read reference and against hostile input: contents
// that collide under MD5, files that change while they are read, odd names and filters.
// Whatever happens, no file is ever reported as a copy of a file with other content. The
// filters and the hold-back run through the real scan thread, which posts to its receiver.

#include "scan/contentreader.h"
#include "scan/duplicatefinderthread.h"
#include "scan/md5.h"
#include "scan/scancache.h"
#include "scan/sidebysidecomparer.h"
#include "scanreference.h"

#include <QRandomGenerator>
#include <cstdio>

using namespace tarvik;
using namespace tarvik::test;

namespace {

QStringList words(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Changes a file the first time the scan opens it.
void changeUnderTheScan(const QString& path, const QString& action)
{
    QFile file(path);
    const qint64 size = file.size();
    const bool grow = action == "grow";
    if (action == "shrink") {
        file.resize(size - 1);
    } else if (grow || action == "rewrite") {
        if (file.open(grow ? QIODevice::Append : QIODevice::WriteOnly))
            file.write(grow ? QByteArray("+") : QByteArray(int(size), 'z'));
    } else if (file.remove() && action == "folder") {
        QDir().mkdir(path);
    }
}

// Every entry below root as the scan must leave it: link target, time, bytes.
QStringList snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile file(info.filePath());
        entries << info.filePath() + " -> " + info.symLinkTarget() + ' ' +
                       QString::number(info.lastModified().toMSecsSinceEpoch()) + ' ' +
                       (info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll().toHex()
                                                                        : QByteArray());
    }
    entries.sort();
    return entries;
}

DuplicateFinderThread* startThread(QObject* receiver, const QStringList& folders,
                                   const QString& filter, QEventLoop* loop = nullptr,
                                   const ScanOptions& options = ScanOptions())
{
    auto* thread = new DuplicateFinderThread(receiver);
    thread->mFolders = folders;
    thread->mFilter = filter;
    thread->mOptions = options;
    if (loop)
        QObject::connect(thread, SIGNAL(finished()), loop, SLOT(quit()));
    thread->start();
    return thread;
}

} // namespace

class ScanTest : public QObject
{
    Q_OBJECT

private slots:
    void groups_data();
    void groups();
    void options_data();
    void options();
    void sizes_data();
    void sizes();
    void sameEventsAsTheReference_data();
    void sameEventsAsTheReference();
    void filesChangingDuringTheScan_data();
    void filesChangingDuringTheScan();
    void stopInsideALargeFile();
    void noFileLostBehindAFullQueue();
    void holdsBackForAReceiverThatDoesNotDrain();
    void exceptionEndsTheScanNotTheProcess_data();
    void exceptionEndsTheScanNotTheProcess();
    void md5AsTheToolkit();
    void sideBySideDigests_data();
    void sideBySideDigests();
};

void ScanTest::groups_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("folders");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("filter");
    const auto row = [](const char* name, const char* tree, const char* folders,
                        const char* expected, const QString& filter = QString()) {
        QTest::newRow(name) << tree << folders << expected << filter;
    };
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

    // Files of content 1 form one group, which shows what the walk listed; "=" means as the
    // reference lists them.
    const char* names = "in/a.jpg=1 in/PHOTO.JPG=1 in/b.png=1 in/s/c.png=1 in/d.txt=1 in/s/e.txt=1 "
                        "in/.hidden=1 in/[x].jpg=1 in/c\\d=1 in/]=1 in/s/e.x1=1 in/s/f=2 in/g=2";
    row("filter empty", names, "in gone",
        "in/PHOTO.JPG in/[x].jpg in/] in/a.jpg in/b.png in/c\\d in/d.txt in/s/c.png in/s/e.txt "
        "in/s/e.x1|in/g in/s/f");
    row("two patterns, any case", names, "in gone",
        "in/PHOTO.JPG in/[x].jpg in/a.jpg in/b.png in/s/c.png", "*.jpg, *.png");
    row("trailing blank kept", names, "in", "in/b.png in/s/c.png", "*.jpg ,*.png");
    row("blanks only match nothing", names, "in", "", "   ");
    row("empty part between commas", names, "in",
        "in/PHOTO.JPG in/[x].jpg in/a.jpg in/d.txt in/s/e.txt", "*.txt,,*.jpg");
    // Patterns the toolkit cannot compile must not warn for every name met.
    row("open bracket", names, "in", "=", "[");
    row("close bracket", names, "in", "=", "],a.jpg");
    row("negated set", names, "in", "=", "[!a]*");
    row("backslash", names, "in", "=", "\\");
    row("double star", names, "in", "=", "**");
    row("control characters", names, "in", "=", QString::fromLatin1("\x01\x02\t\n*\x7f,\x1b[0m"));
    row("ten thousand characters", names, "in", "=",
        ("*.jpg" + QString(",*.x[").repeated(2000)).left(10000));
}

// Besides the expected groups, the events must be the reference's, in its order: first paths
// and shared identities included. The scan changes nothing on the disk. The thread walks the
// folders on its own: it must post the same, and write two debug lines for every folder.
void ScanTest::groups()
{
    QFETCH(QString, tree);
    QFETCH(QString, folders);
    QFETCH(QString, expected);
    QFETCH(QString, filter);
    const QString root = freshRoot();
    QVERIFY(makeTree(root, words(tree)) && QDir().mkpath(root + "/other"));
    QStringList list;
    for (const QString& folder : words(folders))
        list << (folder.startsWith('@') ? folder.mid(1) : root + '/' + folder);
    // Relative entries are taken from the folder "other" until the case ends.
    const struct Restore
    {
        QString folder = QDir::currentPath();
        ~Restore() { QDir::setCurrent(folder); }
    } restore;
    QVERIFY(QDir::setCurrent(root + "/other"));
    const QStringList before = snapshot(root);
    MessageCatcher messages;
    const QVector<SeenEvent> events = runScan(list, filter);
    EventSink sink;
    QEventLoop loop;
    DuplicateFinderThread* thread = startThread(&sink, list, filter, &loop);
    loop.exec();
    delete thread;
    QStringList lines;
    for (int i = 0; i < list.size(); ++i)
        lines << "mFilter: " + filter << (filter.isEmpty() ? "mFilter: NO" : "mFilter: YES");
    QCOMPARE(messages.lines(QtDebugMsg), lines);
    QCOMPARE(messages.lines(QtWarningMsg), QStringList());
    QCOMPARE(snapshot(root), before);
    const QVector<SeenEvent> reference = referenceScan(list, filter);
    QCOMPARE(groupsOf(events, root), expected == "=" ? groupsOf(reference, root) : expected);
    QCOMPARE(describe(events, root), describe(reference, root));
    QCOMPARE(describe(sink.events, root), describe(events, root));
}

void ScanTest::options_data()
{
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("folders");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("gone");
    const auto row = [](const char* name, const char* tree, const char* folders,
                        const char* options, const char* expected, const char* gone) {
        QTest::newRow(name) << tree << folders << options << expected << gone;
    };
    const char* sizes = "in/a0= in/b0= in/a1=1 in/b1=1 in/a3=333 in/b3=333 in/a4=4444 in/b4=4444";
    row("sizes at the limits", sizes, "in", "min=1 max=3", "in/a1 in/b1|in/a3 in/b3",
        "in/a0 in/b0 in/a4 in/b4");
    row("minimum 0 keeps the empty group", sizes, "in", "min=0 max=0", "in/a0 in/b0",
        "in/a1 in/b1 in/a3 in/b3 in/a4 in/b4");
    row("maximum below minimum", sizes, "in", "min=2 max=1", "", "in");
    row("an excluded folder holds the only copy",
        "in/a=1 in/build/b=1 in/c=2 in/d=2 in/build/sub/e=2", "in", "exclude=BUILD", "in/c in/d",
        "in/build");
    row("excluded file names", "in/a.tmp=1 in/b=1 in/c.TMP=1 in/d=1 in/s/e.tmp=1", "in",
        "exclude=*.tmp", "in/b in/d", "in/a.tmp in/c.TMP in/s/e.tmp");
    row("a path below the chosen folder",
        "in/photos/y/thumbs/t=1 in/photos/y/p=1 in/x/photos/y/thumbs/u=1", "in",
        "exclude=photos/*/thumbs", "in/photos/y/p in/x/photos/y/thumbs/u", "in/photos/y/thumbs");
    row("double star spans folders",
        "in/a/build/x=1 in/build/y=1 in/c/d/build/z=1 in/build.txt=1 in/k=1 in/e/f/g/h=2 in/e/h=2",
        "in", "exclude=**/build/**,e/**/h", "in/build.txt in/k",
        "in/a/build in/build in/c/d/build in/e/f/g/h in/e/h");
    row("leading and trailing slash", "in/build/x=1 in/sub/build/y=1 in/sub/b/z=1 in/b=1", "in",
        "exclude=/build,b/", "in/b in/sub/build/y", "in/build in/sub/b");
    row("hidden files and folders", "in/v=x in/.h=x in/.hd/y=x in/.git/o=x", "in", "hidden",
        "in/.git/o in/.h in/.hd/y in/v", "");
    row("hidden, one folder excluded", "in/v=x in/.h=x in/.hd/y=x in/.git/o=x", "in",
        "hidden exclude=.git", "in/.h in/.hd/y in/v", "in/.git");
    row("the chosen folder is never matched", "in/build/a=1 in/build/b=1 in/build/build/c=1",
        "in/build", "exclude=build", "in/build/a in/build/b", "in/build/build");
}

namespace {

QStringList gOpened;
QMutex gOpenedMutex;

void recordOpened(const QString& folder)
{
    QMutexLocker lock(&gOpenedMutex);
    gOpened << folder;
}

} // namespace

// The options leave out exactly the entries named gone: the events are those of a plain scan
// of the tree without them. An excluded folder is never even opened. The thread, the engine
// and the toolkit's own walk list the same.
void ScanTest::options()
{
    QFETCH(QString, tree);
    QFETCH(QString, folders);
    QFETCH(QString, options);
    QFETCH(QString, expected);
    QFETCH(QString, gone);
    ScanOptions chosen;
    for (const QString& word : words(options)) {
        const QString value = word.section('=', 1);
        if (word.startsWith("min="))
            QVERIFY(parseSize(value, &chosen.minSize));
        else if (word.startsWith("max="))
            QVERIFY(parseSize(value, &chosen.maxSize));
        else if (word.startsWith("exclude="))
            chosen.exclude = splitPatterns(value);
        chosen.hidden = chosen.hidden || word == "hidden";
    }
    const QString root = freshRoot();
    QVERIFY(makeTree(root, words(tree)));
    QStringList list;
    for (const QString& folder : words(folders))
        list << root + '/' + folder;
    gOpened.clear();
    setFolderHook(recordOpened);
    MessageCatcher messages;
    const QVector<SeenEvent> events = runScan(
        list, QString(), [] { return false; }, nullptr, nullptr, chosen);
    setFolderHook(nullptr);
    EventSink sink;
    QEventLoop loop;
    DuplicateFinderThread* thread = startThread(&sink, list, QString(), &loop, chosen);
    loop.exec();
    delete thread;
    QCOMPARE(describe(sink.events, root), describe(events, root));
    QCOMPARE(messages.lines(QtWarningMsg), QStringList());
    QCOMPARE(groupsOf(events, root), expected);
    for (const QString& folder : list) {
        QStringList native, portable;
        const WalkRules rules(QString(), chosen);
        walkFolder(
            folder, rules, [] { return false; }, [&](const QString& p) { native << p; });
        walkFolderPortable(
            folder, rules, [] { return false; }, [&](const QString& p) { portable << p; });
        QCOMPARE(portable, native);
    }
    for (const QString& entry : words(gone)) {
        const QString path = root + '/' + entry;
        for (const QString& opened : qAsConst(gOpened))
            QVERIFY2(!(opened + '/').startsWith(path + '/'), qPrintable(opened));
        QVERIFY(QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path));
    }
    QCOMPARE(describe(events, root), describe(referenceScan(list, QString(), chosen), root));
}

void ScanTest::sizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes");
    const qint64 bad = -2;
    const qint64 none = ScanOptions::kNoLimit;
    for (const auto& [text, bytes] : std::initializer_list<std::pair<const char*, qint64>>{
             {"", none},
             {"  ", none},
             {"0", 0},
             {" 100 ", 100},
             {"100b", 100},
             {"1K", 1024},
             {"1k", 1024},
             {"2 KB", 2048},
             {"3KiB", 3072},
             {"1.5M", 1572864},
             {"0.3k", 307},
             {"2G", qint64(2) << 30},
             {"9223372036854775807", Q_INT64_C(9223372036854775807)},
             {"8589934591G", Q_INT64_C(8589934591) << 30},
             {"8589934592G", bad},
             {"9223372036854775808", bad},
             {"1.5", bad},
             {"-1", bad},
             {"1T", bad},
             {"1MBB", bad},
             {"ten", bad},
             {"1,5M", bad},
             {"1 000", bad},
             {".5M", bad},
             {"1iB", bad},
             {"\u0661\u0662", bad},
             {"0.0000000001G", bad}})
        QTest::newRow(text) << QString::fromUtf8(text) << bytes;
}

void ScanTest::sizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    qint64 read = -2;
    QCOMPARE(parseSize(text, &read) ? read : qint64(-2), bytes);
}

void ScanTest::sameEventsAsTheReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("large");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("filter");
    const QStringList one{""};
    const QStringList overlapping{"d1", "", "d2/d3"};
    const QStringList repeated{"d0", "d0", "d3/d1", ""};
    QTest::newRow("overlapping folders") << 3u << 300 << false << overlapping << "";
    QTest::newRow("repeated folders, filtered") << 8u << 500 << false << repeated << "*.txt,,*.JPG";
    QTest::newRow("filtered") << 5u << 300 << false << one << "*.jpg, *.png";
    QTest::newRow("many of few sizes") << 6u << 800 << false << one << "";
    QTest::newRow("large files") << 7u << 80 << true << overlapping << "";
}

// Randomized trees with odd names: the same duplicates as the reference, with the same first
// files, in the same order. Beside them lie two files with one MD5 but other bytes, a true
// copy of one of them, and names that are not UTF-8.
void ScanTest::sameEventsAsTheReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, files);
    QFETCH(bool, large);
    QFETCH(QStringList, folders);
    QFETCH(QString, filter);
    const QString root = freshRoot();
    QRandomGenerator rng(seed);

    // Few sizes, so that files of one size but other content are common; some sit on block
    // and fingerprint boundaries. Large files that differ only inside share a fingerprint,
    // and a comparison leaves them unhashed: they take a path of their own.
    QVector<int> sizes{0, 1, 2, 100, 4095, 4096, 4097, 8192, 65536, 65537, 100000, 300000};
    if (large)
        sizes = {1048576, 1048577, 2621440};
    const QStringList names{"f",          " it's \"quoted\" ", "#100%",
                            "what?[set]", "line\nbreak",       "Ünï\\"};
    const QStringList exts{".jpg", ".png", ".txt", ".JPG", ""};
    QVector<QByteArray> contents;
    for (int i = 0; i < files; ++i) {
        QString dir;
        for (int d = rng.bounded(4); d > 0; --d)
            dir += QStringLiteral("d%1/").arg(rng.bounded(4));
        const QString path = dir + names.at(rng.bounded(names.size())) + QString::number(i) +
                             exts.at(rng.bounded(exts.size()));
        const int kind = rng.bounded(100);
        QByteArray content;
        if (kind < 50 && !contents.isEmpty()) {
            // A copy, or one byte changed: the first, the last or any.
            content = contents.at(rng.bounded(contents.size()));
            if (kind >= 30 && !content.isEmpty()) {
                const int where = rng.bounded(3);
                const int at = where == 0   ? 0
                               : where == 1 ? content.size() - 1
                                            : rng.bounded(content.size());
                content[at] = char(content.at(at) ^ (1 + rng.bounded(255)));
            }
        } else if (kind >= 55) {
            const int size = sizes.at(rng.bounded(sizes.size()));
            content.resize((size + 3) & ~3);
            rng.fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
            content.resize(size);
        }
        contents << content;
        QVERIFY(writeFile(root + '/' + path, content));
        // Now and then a link, a hard link or a hidden copy beside it.
        const int extra = rng.bounded(40);
        if (extra < 2)
            QVERIFY(makeTree(root, {extra == 0 ? path + ".lnk->" + root + '/' + path
                                               : path + ".hard=>" + path}));
        else if (extra == 2)
            QVERIFY(writeFile(root + '/' + dir + ".hidden" + QString::number(i), content));
    }
    const QByteArray suffix(large ? 100 * 1024 : 0, 's');
    QCOMPARE(QCryptographicHash::hash(kCollisionA + suffix, QCryptographicHash::Md5),
             QCryptographicHash::hash(kCollisionB + suffix, QCryptographicHash::Md5));
    QVERIFY(writeFile(root + "/md5-a", kCollisionA + suffix) &&
            writeFile(root + "/md5-b", kCollisionB + suffix) &&
            writeFile(root + "/d1/md5-a-copy", kCollisionA + suffix));
    // The toolkit reads a name that is not UTF-8 as the text of another file, which must still
    // be met only once.
    QVERIFY(writeFile(root + "/raw-twin", "raw") && writeFile(root + "/\uFFFD", "raw"));
    const QByteArrayList raw{QFile::encodeName(root) + "/bad\xff",
                             QFile::encodeName(root) + "/\xfe"};
#ifdef Q_OS_UNIX
    for (const QByteArray& path : raw) {
        QFile file;
        QVERIFY(file.open(::fopen(path.constData(), "wx"), QIODevice::WriteOnly,
                          QFile::AutoCloseHandle));
        file.write("raw");
    }
#endif

    for (QString& folder : folders)
        folder = root + '/' + folder;
    const QStringList expected = describe(referenceScan(folders, filter), root);
    QHash<QString, DigestEntry> digests;
    const QVector<SeenEvent> events = runScan(
        folders, filter, [] { return false; }, nullptr, &digests);
    const QStringList found = describe(events, root);
    // Each group under the MD5 of its content, with its identity and first file.
    QHash<QString, DigestEntry> expectedDigests;
    for (const SeenEvent& e : events) {
        QFile file(e.firstPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        expectedDigests.insert(
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex(),
            DigestEntry{e.groupId, e.firstPath});
    }
    QCOMPARE(digests.size(), expectedDigests.size());
    for (auto it = expectedDigests.cbegin(); it != expectedDigests.cend(); ++it) {
        QCOMPARE(digests.value(it.key()).groupId, it.value().groupId);
        QCOMPARE(digests.value(it.key()).firstPath, it.value().firstPath);
    }
    // The same through a digest cache, as it is made and once it is warm.
    ScanCache::setRacyMarginMs(50);
    QTest::qWait(100);
    for (int pass = 0; pass < 2; ++pass) {
        ScanCache cache(root + "-cache");
        cache.open();
        QHash<QString, DigestEntry> cached;
        ScanProgress progress;
        QCOMPARE(describe(runScan(
                              folders, filter, [] { return false; }, &progress, &cached,
                              ScanOptions(), &cache),
                          root),
                 expected);
        QCOMPARE(progress.filesFromCache > 0, pass == 1);
        cache.save();
        QCOMPARE(cached.size(), digests.size());
        for (auto it = cached.cbegin(); it != cached.cend(); ++it)
            QCOMPARE(it.value().firstPath, digests.value(it.key()).firstPath);
    }
    for (const QByteArray& path : raw)
        std::remove(path.constData());
    QVERIFY(expected.size() > files / 10);
    QCOMPARE(found, expected);
}

// Three files of one content; one of them changes the first time the scan opens it.
void ScanTest::filesChangingDuringTheScan_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("action");
    for (const QString action : {"vanish", "shrink", "grow", "folder", "rewrite"})
        for (int target = 0; target < 3; ++target)
            QTest::newRow(
                qPrintable(action + ", file " + QString::number(target) + " in walk order"))
                << target << action;
}

// The other two stay a group, led by the earlier of them.
void ScanTest::filesChangingDuringTheScan()
{
    QFETCH(int, target);
    QFETCH(QString, action);
    // Small files are compared at once, large ones by fingerprint first.
    for (const int size : {100, 200 * 1024}) {
        const QString root = freshRoot();
        QStringList order;
        for (const char* name : {"/x", "/y", "/z"})
            QVERIFY(writeFile(root + name, QByteArray(size, 'c')));
        for (QDirIterator it(root, QDir::Files); it.hasNext();)
            order << it.next();
        std::atomic<bool> fired{false};
        const ContentReader::ScopedOpenHook hook([&](const QString& path) {
            if (path == order.at(target) && !fired.exchange(true))
                changeUnderTheScan(path, action);
        });
        const QVector<SeenEvent> events = runScan({root});
        QVERIFY2(fired, "the scan never opened the file");
        order.removeAt(target);
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].firstPath, order[0]);
        QCOMPARE(events[0].duplicatePath, order[1]);
    }
}

// Two large files of one size are compared block by block: a stop asked once that has begun
// ends the scan within a block or so, not after the whole files.
void ScanTest::stopInsideALargeFile()
{
    const QString root = freshRoot();
    const qint64 size = qint64(256) << 20;
    for (const char* name : {"/big1", "/big2"}) {
        QFile file(root + name);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            QSKIP("no room for sparse files");
    }
    ScanProgress progress;
    const QVector<SeenEvent> events = runScan(
        {root}, QString(), [&] { return progress.bytesRead > (4 << 20); }, &progress);
    QVERIFY(events.isEmpty());
    QVERIFY2(progress.bytesRead < size / 4, qPrintable(QString::number(progress.bytesRead)));
}

void ScanTest::noFileLostBehindAFullQueue()
{
    const QString root = freshRoot();
    QStringList tree;
    for (int i = 0; i < 2 * ScanEngine::kMaxQueued; ++i)
        tree << QStringLiteral("d%1/f%2=%3").arg(i % 10).arg(i).arg(i % 1000);
    QVERIFY(makeTree(root, tree));
    ScanProgress progress;
    // The first read waits until the walk has stopped listing files, so that files pile up
    // behind it as far as the engine lets them.
    std::atomic<bool> held{false};
    const ContentReader::ScopedOpenHook hook([&](const QString&) {
        if (held.exchange(true))
            return;
        for (qint64 seen = -1; seen != progress.filesListed; QThread::msleep(200))
            seen = progress.filesListed;
    });
    const QVector<SeenEvent> events = runScan(
        {root}, QString(), [] { return false; }, &progress);
    QCOMPARE(describe(events, root), describe(referenceScan({root}, QString()), root));
}

// A receiver that does not drain holds the thread back instead of being flooded; once it
// drains, the scan goes on to its end. Deleting a held-back thread still ends it, and the
// events it left behind are delivered whole afterwards.
void ScanTest::holdsBackForAReceiverThatDoesNotDrain()
{
    const QString root = freshRoot();
    const int files = 1000;
    QStringList tree;
    for (int i = 0; i < files; ++i)
        tree << QStringLiteral("d%1/f%2=same").arg(i % 10).arg(i);
    QVERIFY(makeTree(root, tree));
    EventSink sink;
    const auto drain = [&] {
        QCoreApplication::sendPostedEvents(&sink, DuplicateEvent::eventType);
    };
    for (const bool drained : {true, false}) {
        sink.events.clear();
        DuplicateFinderThread* thread = startThread(&sink, {root}, QString());
        QVERIFY(!thread->wait(1000));
        if (drained)
            QVERIFY(QTest::qWaitFor([&] { return drain(), thread->isFinished(); }, 60000));
        else
            QCOMPARE(thread->progress().duplicates.load(),
                     qint64(DuplicateFinderThread::kMaxUndelivered));
        delete thread;
        drain();
        // A stopped scan still hands over what it had confirmed.
        QVERIFY(sink.events.size() >= DuplicateFinderThread::kMaxUndelivered);
        QVERIFY(!drained || sink.events.size() == files - 1);
        for (const SeenEvent& e : qAsConst(sink.events))
            QVERIFY(e.groupId == sink.events[0].groupId && e.firstPath == sink.events[0].firstPath);
    }
}

void ScanTest::exceptionEndsTheScanNotTheProcess_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("a worker, resolving") << "first open";
    QTest::newRow("a worker, comparing and digesting") << "last open";
    QTest::newRow("the feeding thread, in the sink") << "sink";
}

// Memory running out on a worker reaches the thread that feeds the engine, from its next call;
// the other workers end, nothing hangs, and the sanitizer build sees nothing leak.
void ScanTest::exceptionEndsTheScanNotTheProcess()
{
    QFETCH(QString, where);
    const QString root = freshRoot();
    // The sink fails while the workers still have work; the target is resolved while the
    // engine finishes.
    QStringList tree;
    for (int i = 0; i <= 20; ++i) {
        const QString folder = i < 20 ? QStringLiteral("many/d%1/").arg(i) : "last/";
        const QString content(1048577 + i, QChar('a' + i));
        tree << folder + "a=" + content << folder + "b=" + content;
    }
    QVERIFY(makeTree(root, tree));
    const QStringList folders{root + "/many", root + "/last"};
    // The first of a group of files over a MiB is opened for its fingerprint, then once for its
    // comparison, which also gives the group's MD5.
    const QString target = runScan(folders).value(20).firstPath;
    QVERIFY(target.startsWith(root + "/last/"));
    std::atomic<int> opens{0};
    {
        const ContentReader::ScopedOpenHook count(
            [&](const QString& path) { opens += path == target ? 1 : 0; });
        QCOMPARE(runScan(folders).size(), 21);
    }
    QCOMPARE(opens.load(), 2);
    const int failAt = where == "first open" ? 1 : where == "last open" ? opens.load() : 0;
    std::atomic<int> seen{0};
    const ContentReader::ScopedOpenHook hook([&](const QString& path) {
        if (path == target)
            fprintf(stderr, "open %d of %d\n", seen + 1, failAt);
        if (path != target || ++seen != failAt)
            return;
        // Slow enough that the feeding thread is waiting by then.
        QThread::msleep(200);
        throw std::bad_alloc();
    });
    const auto scan = [&] {
        const StopCheck never = [] { return false; };
        QHash<QString, DigestEntry> digests;
        ScanEngine engine(
            never,
            [&](const QUuid&, const QString&, const QString&) {
                if (where == "sink")
                    throw std::bad_alloc();
                return true;
            },
            &digests);
        scanFolders(folders, QString(), engine, never);
    };
    QVERIFY_EXCEPTION_THROWN(scan(), std::bad_alloc);
    QVERIFY(seen >= failAt);
}

// Every length up to a few blocks, fed whole and in uneven pieces, then one long random input,
// then side by side in SIMD lanes with every kernel the processor has and every number of lanes.
void ScanTest::md5AsTheToolkit()
{
    QRandomGenerator rng(11);
    QByteArray data(4 * 1024 * 1024 + 13, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    for (int size = 0; size <= 300; ++size) {
        const QByteArray input = data.left(size);
        const QByteArray expected = QCryptographicHash::hash(input, QCryptographicHash::Md5);
        Md5 whole;
        whole.add(input.constData(), size_t(size));
        QCOMPARE(whole.result(), expected);
        Md5 pieces;
        for (int at = 0, step = 1; at < size; at += step, step = step * 3 % 71 + 1)
            pieces.add(input.constData() + at, size_t(qMin(step, size - at)));
        QCOMPARE(pieces.result(), expected);
    }
    Md5 large;
    large.add(data.constData(), size_t(data.size()));
    QCOMPARE(large.result(), QCryptographicHash::hash(data, QCryptographicHash::Md5));
    for (const Md5::Kernel kernel : Md5::kernels()) {
        Md5::useKernel(kernel);
        for (int count = 1; count <= Md5::lanes(); ++count) {
            Md5 lanes[16];
            Md5* digests[16];
            const char* at[16];
            for (int i = 0; i < count; ++i) {
                digests[i] = &lanes[i];
                at[i] = data.constData() + 4099 * i;
            }
            const int blocks = 1 + count * 7;
            Md5::addBlocks(digests, at, count, size_t(blocks));
            for (int i = 0; i < count; ++i) {
                const int size = blocks * 64 + i * 9;
                lanes[i].add(at[i] + blocks * 64, size_t(i * 9));
                QCOMPARE(lanes[i].result(), QCryptographicHash::hash(QByteArray(at[i], size),
                                                                     QCryptographicHash::Md5));
            }
        }
    }
    Md5::useKernel(Md5::Kernel::Fastest);
}

void ScanTest::sideBySideDigests_data()
{
    using Match = ContentReader::Match;
    QTest::addColumn<int>("pairs");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("verdict");
    const qint64 step = SideBySideComparer::kStep;
    QTest::newRow("one pair, a step and a byte") << 1 << step + 1 << "" << int(Match::Equal);
    QTest::newRow("two, whole steps") << 2 << 2 * step << "" << int(Match::Equal);
    QTest::newRow("three, a block short") << 3 << 3 * step - 64 << "" << int(Match::Equal);
    const int lanesFrom = qMin(Md5::kLanesFrom, Md5::lanes());
    QTest::newRow("two pairs, in general registers")
        << lanesFrom - 1 << step - 1 << "" << int(Match::Equal);
    QTest::newRow("the fewest in lanes") << lanesFrom << step + 64 << "" << int(Match::Equal);
    QTest::newRow("every lane") << Md5::lanes() << step + 63 << "" << int(Match::Equal);
    QTest::newRow("both rewritten behind the first step")
        << Md5::lanes() << 3 * step << "rewrite" << int(Match::Equal);
    QTest::newRow("first grows") << 3 << 2 * step << "grow" << int(Match::FirstFailed);
    QTest::newRow("second changes at its end") << 3 << 2 * step + 5 << "last" << int(Match::Differ);
}

// Pairs of copies of different sizes compared side by side, a step at a time; the first pair
// changes after its first step. Each digest is the toolkit's MD5 of the bytes compared.
void ScanTest::sideBySideDigests()
{
    QFETCH(int, pairs);
    QFETCH(qint64, size);
    QFETCH(QString, change);
    QFETCH(int, verdict);
    const QString root = freshRoot();
    PathStore paths;
    PathStore::Ref folder = 0;
    const QByteArray dir = encodePath(root + '/');
    QVERIFY(paths.add(dir.constData(), size_t(dir.size()), &folder));
    QRandomGenerator rng{quint32(size)};
    std::vector<Comparison> comparisons{size_t(pairs)};
    std::vector<Comparison*> list;
    for (int i = 0; i < pairs; ++i) {
        QByteArray bytes(int(size + 4) + 67 * i, Qt::Uninitialized);
        rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        bytes.chop(4);
        Comparison& c = comparisons[size_t(i)];
        c.size = bytes.size();
        c.wantDigest = true;
        for (FileRef* file : {&c.first, &c.second}) {
            const QByteArray name = QByteArray::number(i) + (file == &c.first ? "a" : "b");
            QVERIFY(writeFile(root + '/' + name, bytes));
            file->folder = folder;
            QVERIFY(paths.add(name.constData(), size_t(name.size()), &file->name));
        }
        list.push_back(&c);
    }
    FolderHandleCache folders(paths);
    const StopCheck never = [] { return false; };
    SideBySideComparer comparer(folders, never, nullptr);
    comparer.advance(list.data(), pairs, 1);
    const auto changePair = [&](const char* name, const QByteArray& bytes, qint64 at) {
        QFile file(root + "/0" + name);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(at) && file.write(bytes) > 0);
    };
    if (change == "rewrite") {
        const QByteArray other(int(size - SideBySideComparer::kStep), 'r');
        changePair("a", other, SideBySideComparer::kStep);
        changePair("b", other, SideBySideComparer::kStep);
    } else if (change == "grow") {
        changePair("a", "+", size);
    } else if (change == "last") {
        changePair("b", "-", size - 1);
    }
    while (std::any_of(list.begin(), list.end(), [](Comparison* c) { return !c->done; }))
        comparer.advance(list.data(), pairs, 1);
    for (int i = 0; i < pairs; ++i) {
        const Comparison& c = comparisons[size_t(i)];
        QCOMPARE(int(c.match), i ? int(ContentReader::Match::Equal) : verdict);
        QFile file(root + '/' + QString::number(i) + 'a');
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray expected =
            c.match == ContentReader::Match::Equal
                ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5)
                : QByteArray();
        QCOMPARE(c.digest.toHex(), expected.toHex());
    }
}

TARVIK_TEST_GUILESS_MAIN(ScanTest)
#include "tst_scan.moc"
