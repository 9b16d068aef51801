// Replacing marked files while keeping their paths: hard links and shared storage, the checks
// before them, an interruption, and real file systems (as root, on loop devices).

#include "scan/markedlinkaction.h"
#include "testenv.h"

#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarvik;

Q_DECLARE_METATYPE(LinkOutcome)

namespace {

struct stat statOf(const QString& path)
{
    struct stat st = {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

bool setTime(const QString& path, qint64 secs)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::fromSecsSinceEpoch(secs), QFileDevice::FileModificationTime);
}

// The marked file and the copies meant to stay, stamped as they are now.
MarkedTrashTask taskFor(const QString& marked, const QStringList& kept)
{
    MarkedTrashTask task{marked, FileStamp::of(marked), {}, true};
    for (const QString& path : kept)
        task.keep.append({path, FileStamp::of(path)});
    return task;
}

// What a link under its temporary name left behind.
QStringList strays(const QString& folder)
{
    return QDir(folder).entryList({".tarvik-link-*"}, QDir::Files | QDir::Hidden | QDir::System);
}

LinkOutcome act(const QString& action, const MarkedTrashTask& task, const StopCheck& stop)
{
    return action == "share" ? shareMarkedFile(task, stop) : hardLinkMarkedFile(task, stop);
}

// Runs a command, its output going to the test's log.
bool run(const QString& program, const QStringList& args)
{
    return QProcess::execute(program, args) == 0;
}

// Unmounts a folder on every way out of the test.
struct Unmount
{
    QString folder;
    ~Unmount()
    {
        if (!folder.isEmpty())
            run("umount", {folder});
    }
};

// The space the file system counts as used, once written out.
qint64 usedBytes(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    struct statvfs st = {};
    const bool ok = fd >= 0 && ::syncfs(fd) == 0 && ::fstatvfs(fd, &st) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? qint64(st.f_blocks - st.f_bfree) * qint64(st.f_frsize) : -1;
}

// Which file a path is, with its owner, permissions and times.
QString identity(const QString& path)
{
    const struct stat st = statOf(path);
    return QString::asprintf("ino %llu uid %u mode %o mtime %lld.%ld ctime %lld.%ld",
                             qulonglong(st.st_ino), st.st_uid, st.st_mode,
                             qlonglong(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                             qlonglong(st.st_ctim.tv_sec), st.st_ctim.tv_nsec);
}

} // namespace

class LinksTest : public QObject
{
    Q_OBJECT

private slots:
    void checksComeFirst_data();
    void checksComeFirst();
    void interruptionLeavesEveryPath();
    void onRealFileSystems();
};

void LinksTest::checksComeFirst_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("change");
    QTest::addColumn<LinkOutcome>("outcome");
    using O = LinkOutcome;
    const struct
    {
        const char* action;
        const char* change;
        LinkOutcome outcome;
    } rows[] = {
        {"link", "", O::Done},
        {"link", "kept copy deleted", O::NoKeptCopy},
        {"link", "kept copy rewritten, time put back", O::KeptCopyDiffers},
        {"link", "marked file rewritten", O::ChangedSince},
        {"link", "already one file", O::AlreadyOneFile},
        {"link", "a symbolic link", O::SymbolicLink},
        {"link", "cancelled", O::Cancelled},
        {"share", "kept copy deleted", O::NoKeptCopy},
        {"share", "marked file rewritten", O::ChangedSince},
        {"share", "already one file", O::AlreadyOneFile},
        {"share", "cancelled", O::Cancelled},
    };
    for (const auto& row : rows) {
        QTest::newRow(qPrintable(QString(row.action) + ' ' + row.change))
            << QString(row.action) << QString(row.change) << row.outcome;
    }
}

// Anything but a link that is done leaves the marked path as it was, and nothing beside it.
void LinksTest::checksComeFirst()
{
    QFETCH(QString, action);
    QFETCH(QString, change);
    const QString root = test::freshRoot();
    const QString kept = root + "/kept", marked = root + "/d/marked";
    QVERIFY(test::makeTree(root, {"kept=same bytes", "other=same bytes"}));
    QVERIFY(change == "already one file"  ? test::makeTree(root, {"d/marked=>kept"})
            : change == "a symbolic link" ? test::makeTree(root, {"d/marked->" + root + "/other"})
                                          : test::makeTree(root, {"d/marked=same bytes"}));
    // Whole seconds, so that a time put back is the very same time.
    QVERIFY(setTime(kept, 1700000000) && setTime(marked, 1700000000));
    const MarkedTrashTask task = taskFor(marked, {kept});
    const ino_t before = statOf(marked).st_ino;
    if (change == "kept copy deleted")
        QVERIFY(QFile::remove(kept));
    if (change.startsWith("kept copy rewritten"))
        QVERIFY(test::writeFile(kept, "SAME BYTES") && setTime(kept, 1700000000));
    if (change == "marked file rewritten")
        QVERIFY(test::writeFile(marked, "other bytes"));

    const LinkOutcome outcome = act(action, task, [&] { return change == "cancelled"; });
    QTEST(outcome, "outcome");
    if (outcome == LinkOutcome::Done) {
        QCOMPARE(statOf(marked).st_ino, statOf(kept).st_ino);
        QCOMPARE(statOf(kept).st_nlink, nlink_t(2));
    } else {
        QCOMPARE(statOf(marked).st_ino, before);
    }
    QCOMPARE(bytesOf(marked),
             QByteArray(change == "marked file rewritten" ? "other bytes" : "same bytes"));
    QVERIFY(strays(root + "/d").isEmpty());
}

// Killed between the link and the rename, the process leaves the marked file where it was,
// and the link under its temporary name beside it; the next run replaces the file.
void LinksTest::interruptionLeavesEveryPath()
{
    const QString root = test::freshRoot();
    QVERIFY(test::makeTree(root, {"kept=same", "marked=same"}));
    const MarkedTrashTask task = taskFor(root + "/marked", {root + "/kept"});
    const ino_t marked = statOf(root + "/marked").st_ino;
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        setHardLinkHookForTest([](const QString&) { ::_exit(42); });
        hardLinkMarkedFile(task, {});
        ::_exit(1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 42);
    QCOMPARE(statOf(root + "/marked").st_ino, marked);
    QCOMPARE(bytesOf(root + "/marked"), QByteArray("same"));
    const QStringList left = strays(root);
    QCOMPARE(left.size(), 1);
    QCOMPARE(statOf(root + "/" + left[0]).st_ino, statOf(root + "/kept").st_ino);

    QCOMPARE(hardLinkMarkedFile(task, {}), LinkOutcome::Done);
    QCOMPARE(statOf(root + "/marked").st_ino, statOf(root + "/kept").st_ino);
}

// Btrfs in an image on a loop device, beside a tmpfs: storage shared where the kernel can,
// and each file that stays says why.
void LinksTest::onRealFileSystems()
{
    if (::geteuid() != 0)
        QSKIP("Mounting a loop device needs root; skipped.");
    const QString mkfs = QStandardPaths::findExecutable("mkfs.btrfs", {"/usr/sbin", "/sbin"});
    if (mkfs.isEmpty())
        QSKIP("mkfs.btrfs is missing (scripts/deps.sh installs btrfs-progs); skipped.");
    const QString root = test::freshRoot();
    QFile image(root + "/btrfs.img");
    // Sparse: the image takes only what is written into it.
    QVERIFY(image.open(QIODevice::WriteOnly) && image.resize(256 << 20));
    image.close();
    QVERIFY(run(mkfs, {"-q", image.fileName()}));
    const QString cow = root + "/cow", tmp = root + "/tmp";
    QVERIFY(QDir().mkpath(cow) && QDir().mkpath(tmp));
    if (!run("mount", {"-o", "loop", image.fileName(), cow}))
        QSKIP("Cannot mount a loop device here (see mount's message); skipped.");
    const Unmount btrfs{cow};
    QVERIFY(run("mount", {"-t", "tmpfs", "-o", "size=16m", "tmpfs", tmp}));
    const Unmount tmpfs{tmp};

    QByteArray four(4 << 20, Qt::Uninitialized), twenty(20 << 20, Qt::Uninitialized);
    for (QByteArray* bytes : {&four, &twenty}) {
        for (char& c : *bytes)
            c = char(QRandomGenerator::global()->generate());
    }
    const struct
    {
        const char* marked;
        const char* kept;
        QByteArray bytes;
        const char* action;
        LinkOutcome outcome;
    } cases[] = {
        {"cow/a", "cow/kept", four, "share", LinkOutcome::Done},
        {"cow/d/b", "cow/kept", four, "share", LinkOutcome::Done},
        {"cow/big", "cow/bigkept", twenty, "share", LinkOutcome::SharedInPart},
        {"cow/c", "tmp/kept", "on tmpfs", "share", LinkOutcome::OtherFileSystem},
        {"cow/c", "tmp/kept", "on tmpfs", "link", LinkOutcome::OtherFileSystem},
        {"tmp/y", "tmp/kept", "on tmpfs", "share", LinkOutcome::CannotShare},
    };
    for (const auto& c : cases) {
        for (const char* name : {c.marked, c.kept}) {
            QVERIFY(test::writeFile(root + "/" + name, c.bytes) &&
                    setTime(root + "/" + name, 1600000000));
        }
    }
    // The big kept copy's last 4 MiB differ, its stamp unchanged: only the kernel can tell.
    QFile bigKept(root + "/cow/bigkept");
    QVERIFY(bigKept.open(QIODevice::ReadWrite) && bigKept.seek(16 << 20) &&
            bigKept.write(QByteArray(4 << 20, 'x')) == 4 << 20);
    bigKept.close();
    QVERIFY(setTime(bigKept.fileName(), 1600000000));
    // Owner and permissions that differ from the kept copy's stay the marked file's own.
    QVERIFY(::chown(QFile::encodeName(cow + "/a").constData(), 1234, 2345) == 0 &&
            ::chmod(QFile::encodeName(cow + "/a").constData(), 0640) == 0);
    QStringList before;
    for (const auto& c : cases)
        before.append(identity(root + "/" + c.marked));
    const qint64 used = usedBytes(cow);

    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        const MarkedTrashTask task = taskFor(root + "/" + c.marked, {root + "/" + c.kept});
        QCOMPARE(act(c.action, task, {}), c.outcome);
        QCOMPARE(identity(root + "/" + c.marked), before[i]);
        QVERIFY(bytesOf(root + "/" + c.marked) == c.bytes);
    }
    // The two 4 MiB copies take no room of their own now. The big one frees nothing yet: Btrfs
    // frees an extent only once no file uses any of it.
    const qint64 freed = used - usedBytes(cow);
    QVERIFY2(freed >= 7 << 20, qPrintable(QString("freed %1 bytes").arg(freed)));
}

TARVIK_TEST_GUILESS_MAIN(LinksTest)
#include "tst_links.moc"
