#include "core/appdirs.h"
#include "core/trash.h"
#include "testenv.h"

#include <QDirIterator>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <sys/stat.h>
#endif

using namespace tarvik;
using tarvik::test::writeFile;

namespace {

bool setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

QStringList filesBelow(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

class AppDirsTest : public QObject
{
    Q_OBJECT

private slots:
    void directoriesLieInTheDataLocation();
    void ensureDirectory_data();
    void ensureDirectory();
    void debugLogWritesTextLiterally_data();
    void debugLogWritesTextLiterally();
    void recycleBinPathList_data();
    void recycleBinPathList();
    void trashIfUnchanged_data();
    void trashIfUnchanged();
#ifdef Q_OS_UNIX
    void trashWriter_data();
    void trashWriter();
    void trashOnAnotherFileSystem_data();
    void trashOnAnotherFileSystem();
#endif
};

void AppDirsTest::directoriesLieInTheDataLocation()
{
    const QString data = dataDirectory();
    QVERIFY(data.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/"));
    QVERIFY(!data.endsWith('/'));
    QCOMPARE(usersDirectory(), data + "/Users");
    QCOMPARE(cacheDirectory(), data + "/Cache");
}

void AppDirsTest::ensureDirectory_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");
    QTest::newRow("missing parents") << "b/c/d" << true;
    QTest::newRow("already there") << "." << true;
    QTest::newRow("a file stands there") << "f" << false;
    QTest::newRow("a file stands in a parent's place") << "f/g" << false;
}

// A file in the way is left alone.
void AppDirsTest::ensureDirectory()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QTemporaryDir root;
    QVERIFY(writeFile(root.filePath("f"), "x"));
    const QString path = root.filePath(relative);
    QCOMPARE(tarvik::ensureDirectory(path), expected);
    QCOMPARE(QFileInfo(path).isDir(), expected);
    QVERIFY(QFileInfo(root.filePath("f")).isFile());
}

void AppDirsTest::debugLogWritesTextLiterally_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("percent signs") << QString::fromUtf8("100% of %s and %n, Grüße");
    QTest::newRow("empty") << "";
}

void AppDirsTest::debugLogWritesTextLiterally()
{
    QFETCH(QString, text);
    test::MessageCatcher messages;
    debugLog(text);
    QCOMPARE(messages.lines(QtDebugMsg), QStringList{text});
}

void AppDirsTest::recycleBinPathList_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("expected"); // empty: refused
    const auto row = [](const char* name, const QString& path, const QString& expected,
                        const QString& workingDirectory = "C:/work dir") {
        QTest::newRow(name) << path << workingDirectory << expected;
    };
    row("drive letter", R"(C:\data\a.txt)", R"(C:\data\a.txt)");
    row("mixed and doubled slashes", R"(C:/data\\sub//a.txt)", R"(C:\data\sub\a.txt)");
    row("share, forward slashes", "//srv/share/d/a.txt", R"(\\srv\share\d\a.txt)");
    row("relative", "sub/a.txt", R"(C:\work dir\sub\a.txt)");
    row("relative to a share", "a.txt", R"(\\srv\share\w\a.txt)", "//srv/share/w");
    row("dot segments", "C:/a/./b/../c.txt", R"(C:\a\c.txt)");
    row("empty", "", "");
    row("drive-relative", "C:a.txt", "");
    row("root-relative", R"(\a.txt)", "");
    row("working folder not fully qualified", "a.txt", "", "work");
    row("above the root", "C:/../a.txt", "");
    row("the root itself", "C:/", "");
    row("star", "C:/d/*.txt", "");
    row("question mark", "C:/d/a?.txt", "");
    row("the shell's own wildcard", "C:/d/a<.txt", "");
    row("embedded NUL", "C:/d/a.txt" + QString(QChar()) + "b.txt", "");
    row("stream", "C:/d/a.txt:s", "");
    row("trailing dot, which Windows drops", "C:/d/a.", "");
}

void AppDirsTest::recycleBinPathList()
{
    QFETCH(QString, path);
    QFETCH(QString, workingDirectory);
    QFETCH(QString, expected);
    QString list = "untouched";
    QCOMPARE(tarvik::recycleBinPathList(path, workingDirectory, &list), !expected.isEmpty());
    QCOMPARE(list, expected.isEmpty() ? QString("untouched") : expected + QChar() + QChar());
}

void AppDirsTest::trashIfUnchanged_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("expected");
    QTest::newRow("unchanged") << "none" << int(TrashOutcome::Moved);
    QTest::newRow("rewritten, same size") << "rewritten" << int(TrashOutcome::ChangedSince);
    QTest::newRow("grown, same time") << "grown" << int(TrashOutcome::ChangedSince);
    QTest::newRow("replaced, same bytes and time") << "replaced" << int(TrashOutcome::ChangedSince);
    QTest::newRow("removed") << "removed" << int(TrashOutcome::Gone);
    QTest::newRow("a folder in its place") << "folder" << int(TrashOutcome::Gone);
    QTest::newRow("no trash to take it") << "no trash" << int(TrashOutcome::Refused);
    // Qt would use a "files" folder in the current one for a trash without its data folder.
    QTest::newRow("no data folder yet") << "no data folder" << int(TrashOutcome::Moved);
}

void AppDirsTest::trashIfUnchanged()
{
    QFETCH(QString, change);
    QFETCH(int, expected);
    QTemporaryDir folder;
    const QString path = folder.filePath("plain.txt"), other = folder.filePath("other");
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME"), trash = dataHome + "/Trash";
    // A time in whole milliseconds, which setFileTime can give back exactly.
    const QDateTime time(QDate(2001, 2, 3), QTime(4, 5));
    QVERIFY(writeFile(path, "content") && setModified(path, time));
    QVERIFY(QDir(trash).removeRecursively());
    const FileStamp stamp = FileStamp::of(path);

    if (change == "rewritten")
        QVERIFY(writeFile(path, "CONTENT"));
    if (change == "grown")
        QVERIFY(writeFile(path, "content!") && setModified(path, time));
    if (change == "replaced") // made before the old one goes, so it cannot get its inode
        QVERIFY(writeFile(other, "content") && setModified(other, time) && QFile::remove(path) &&
                QFile::rename(other, path));
    if (change == "removed" || change == "folder")
        QVERIFY(QFile::remove(path) && (change == "removed" || QDir().mkdir(path)));
    if (change == "no data folder")
        QVERIFY(QDir(dataHome).removeRecursively());
    if (change == "no trash") // the trash would have to go below a file
        QVERIFY(writeFile(other, "") && qputenv("XDG_DATA_HOME", QFile::encodeName(other + "/d")));
    const TrashOutcome outcome = tarvik::trashIfUnchanged(path, stamp);
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));

    QCOMPARE(int(outcome), expected);
    const bool moved = outcome == TrashOutcome::Moved;
    QCOMPARE(QFileInfo::exists(path), !moved && change != "removed");
    // The file and its info, or nothing.
    QCOMPARE(filesBelow(trash).size(), moved ? 2 : 0);
    QVERIFY(!moved || !moveToRecycleBin(path));
}

#ifdef Q_OS_UNIX

namespace {

// The entry's info file says where it came from and when.
bool infoSays(const QString& trash, const QString& entry, const QByteArray& path)
{
    QFile info(trash + "/info/" + entry + ".trashinfo");
    if (!info.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = info.readAll();
    const QByteArray head = "[Trash Info]\nPath=" + path + "\nDeletionDate=";
    return text.startsWith(head) &&
           QDateTime::fromString(QString::fromLatin1(text.mid(head.size()).trimmed()), Qt::ISODate)
               .isValid();
}

// A tmpfs mounted on a folder while it lives, a file system of its own; mounting takes root.
struct ScratchMount
{
    explicit ScratchMount(const QString& folder) : at(QFile::encodeName(folder))
    {
#ifdef Q_OS_LINUX
        mounted =
            !at.isEmpty() && ::mount("tarvik-test", at.constData(), "tmpfs", 0, "size=1m") == 0;
#endif
    }
    ~ScratchMount()
    {
#ifdef Q_OS_LINUX
        if (mounted)
            ::umount2(at.constData(), MNT_DETACH);
#endif
    }
    const QByteArray at;
    bool mounted = false;
};

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

void AppDirsTest::trashWriter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("files");           // of that name, each in a folder of its own, one run
    QTest::addColumn<QStringList>("before");  // the trash's lines, as makeTree takes them
    QTest::addColumn<QStringList>("entries"); // made in files/; none: every file stays
    const QStringList taken{"files/a.txt=old", "info/a.txt.trashinfo=old"};
    const QString longName = QString(250, 'x') + ".txt";
    const QString ue = QString::fromUtf8("\xc3\xbc");
    QTest::newRow("home device") << "a.txt" << 1 << QStringList() << QStringList{"a.txt"};
    QTest::newRow("name in the trash") << "a.txt" << 1 << taken << QStringList{"a.2.txt"};
    QTest::newRow("stray in files/")
        << "a.txt" << 1 << QStringList{"files/a.txt=old"} << QStringList{"a.2.txt"};
    QTest::newRow("one name thrice")
        << "a.txt" << 3 << taken << QStringList{"a.2.txt", "a.3.txt", "a.4.txt"};
    QTest::newRow("percent-encoded")
        << "a b%#" + ue + ".txt" << 1 << QStringList() << QStringList{"a b%#" + ue + ".txt"};
    QTest::newRow("name too long with the info suffix")
        << longName << 1 << QStringList() << QStringList{QString(241, 'x') + ".txt"};
    QTest::newRow("symbolic link") << "link" << 1 << QStringList() << QStringList{"link"};
    // Unwritable even for root, who may write in a folder without write permission.
    QTest::newRow("files/ not a folder")
        << "a.txt" << 1 << QStringList{"files=", "info/k=k"} << QStringList();
    QTest::newRow("info/ not a folder") << "a.txt" << 1 << QStringList{"info="} << QStringList();
    // Found only once the info file is written: the rename fails.
    QTest::newRow("files/ refuses")
        << "a.txt" << 1 << QStringList{"files/refuses"} << QStringList();
}

// One writer trashes the files: the entries and info files it makes, nothing when it cannot.
void AppDirsTest::trashWriter()
{
    QFETCH(QString, name);
    QFETCH(int, files);
    QFETCH(QStringList, before);
    QFETCH(QStringList, entries);
    QTemporaryDir root;
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
    QVERIFY(QDir(trash).removeRecursively());
    QVERIFY(test::makeTree(trash, before << "files/keep=k"
                                         << "info/keep=k") ||
            before.contains("files=") || before.contains("info="));
    const QStringList infoBefore = entriesOf(trash + "/info");
    // Root writes in any folder, but not across file systems.
    const bool refuses = before.contains("files/refuses");
    const ScratchMount otherDevice(refuses && ::getuid() == 0 ? trash + "/files" : QString());
    if (refuses && !otherDevice.mounted &&
        (::getuid() == 0 ||
         !QFile::setPermissions(trash + "/files", QFile::ReadOwner | QFile::ExeOwner)))
        QSKIP("no way here to make a folder refuse a file");
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(trash + "/files",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    QStringList paths;
    TrashWriter writer;
    for (int i = 0; i < files; ++i) {
        paths << root.filePath(QString("d%1/").arg(i) + name);
        QVERIFY(name == "link" ? test::makeTree(root.path(), {"target=t", "d0/link->../target"})
                               : writeFile(paths.last(), "content"));
        QCOMPARE(writer.move(paths.last()), !entries.isEmpty());
        QCOMPARE(QFileInfo(paths.last()).isSymLink() || QFileInfo::exists(paths.last()),
                 entries.isEmpty());
    }
    if (entries.isEmpty()) {
        QCOMPARE(entriesOf(trash + "/info"), infoBefore); // no stray info file
        return;
    }
    for (int i = 0; i < files; ++i) {
        const QString entry = trash + "/files/" + entries[i];
        QVERIFY2(QFileInfo(entry).isSymLink() == (name == "link"), qPrintable(entry));
        QVERIFY(infoSays(trash, entries[i], QFile::encodeName(paths[i]).toPercentEncoding("/")));
    }
    if (name == "link")
        QVERIFY(QFileInfo(root.filePath("target")).isFile());
    if (name.contains('%'))
        QVERIFY(infoSays(trash, entries[0],
                         QFile::encodeName(root.path()).toPercentEncoding("/") +
                             "/d0/a%20b%25%23%C3%BC.txt"));
    for (const QString& kept : before) // what the trash held stays as it was
        QVERIFY(QFileInfo::exists(trash + "/" + kept.section('=', 0, 0)));
}

void AppDirsTest::trashOnAnotherFileSystem_data()
{
    QTest::addColumn<QString>("shared"); // what $topdir/.Trash is
    QTest::addColumn<QString>("trash");  // where the file goes, below $topdir
    const QString uid = QString::number(::getuid());
    QTest::newRow("none: a trash of the user's own") << ""
                                                     << ".Trash-" + uid;
    QTest::newRow("sticky folder") << "sticky"
                                   << ".Trash/" + uid;
    QTest::newRow("folder, not sticky") << "plain"
                                        << ".Trash-" + uid;
    QTest::newRow("link to a sticky folder") << "link"
                                             << ".Trash-" + uid;
}

// A file of another file system goes to the trash at its top, with Path= relative to it; never
// to the home trash, which would take a copy.
void AppDirsTest::trashOnAnotherFileSystem()
{
#ifdef Q_OS_LINUX
    QFETCH(QString, shared);
    QFETCH(QString, trash);
    QTemporaryDir root;
    const QString top = root.filePath("mnt");
    QVERIFY(QDir().mkpath(top));
    const ScratchMount mount(top);
    if (!mount.mounted)
        QSKIP("needs a file system of its own: mounting a tmpfs takes root");
    if (shared == "sticky" || shared == "plain")
        QVERIFY(QDir(top).mkdir(".Trash") && ::chmod(QFile::encodeName(top + "/.Trash").constData(),
                                                     shared == "sticky" ? 01777 : 0777) == 0);
    if (shared == "link")
        QVERIFY(QDir(top).mkdir("s") &&
                ::chmod(QFile::encodeName(top + "/s").constData(), 01777) == 0 &&
                QFile::link("s", top + "/.Trash"));
    const QString path = top + "/sub/f.txt", home = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(writeFile(path, "content") && QDir(home + "/Trash").removeRecursively());
    QVERIFY(TrashWriter().move(path));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QFileInfo(top + "/" + trash + "/files/f.txt").isFile());
    QVERIFY(infoSays(top + "/" + trash, "f.txt", "sub/f.txt"));
    QVERIFY(filesBelow(home + "/Trash").isEmpty());
#else
    QSKIP("the trash at the top of a file system is the freedesktop.org one");
#endif
}

#endif

TARVIK_TEST_GUILESS_MAIN(AppDirsTest)
#include "tst_appdirs.moc"
