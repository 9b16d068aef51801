#include "core/appdirs.h"
#include "testenv.h"

#include <QDirIterator>

using namespace tarvik;
using tarvik::test::writeFile;

namespace {

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
    void trashTakesAFileWithItsInfo();
    void trashWithoutDataHomeNeverLandsInTheCurrentFolder();
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

void AppDirsTest::trashTakesAFileWithItsInfo()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("plain.txt");
    QVERIFY(writeFile(path, "content"));
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";

    QVERIFY(moveToRecycleBin(path));
    QVERIFY(!QFileInfo::exists(path));
    const QStringList moved = filesBelow(trash + "/files");
    QCOMPARE(moved.size(), 1);
    QFile file(moved.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("content"));
    QFile info(trash + "/info/" + QFileInfo(file).fileName() + ".trashinfo");
    QVERIFY(info.open(QIODevice::ReadOnly));
    QVERIFY(info.readAll().contains("[Trash Info]"));

    QVERIFY(!moveToRecycleBin(path));
    QVERIFY(!moveToRecycleBin(QString()));
}

void AppDirsTest::trashWithoutDataHomeNeverLandsInTheCurrentFolder()
{
    QTemporaryDir folder;
    QTemporaryDir work;
    const QString path = folder.filePath("victim.txt");
    QVERIFY(writeFile(path, "precious"));
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(QDir(dataHome).removeRecursively());
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));

    const bool moved = moveToRecycleBin(path);

    QDir::setCurrent(oldCurrent);
    QVERIFY(QDir(work.path()).isEmpty());
    // Either a real trash took it or it is still where it was.
    QCOMPARE(QFileInfo::exists(path), !moved);
    QCOMPARE(filesBelow(dataHome + "/Trash/files").size(), moved ? 1 : 0);
}

TARVIK_TEST_GUILESS_MAIN(AppDirsTest)
#include "tst_appdirs.moc"
