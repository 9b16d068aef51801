#include "core/appdirs.h"
#include "core/trash.h"
#include "testenv.h"

#include <QDirIterator>

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

TARVIK_TEST_GUILESS_MAIN(AppDirsTest)
#include "tst_appdirs.moc"
