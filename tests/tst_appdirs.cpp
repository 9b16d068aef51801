#include "core/appdirs.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarvik;
using tarvik::test::writeFile;

namespace {

QStringList gMessages;

void captureMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtDebugMsg && !context.file && !context.function && context.line == 0)
        gMessages << text;
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
    void createAppDirectoriesIsRepeatable();
    void debugLogWritesTextLiterally_data();
    void debugLogWritesTextLiterally();
    void trashTakesAFileAndKeepsItRestorable_data();
    void trashTakesAFileAndKeepsItRestorable();
    void trashWithoutDataHomeNeverLandsInTheCurrentFolder();
    void trashOfAMissingFileFails();
};

void AppDirsTest::directoriesLieInTheDataLocation()
{
    const QString data = dataDirectory();
    QCOMPARE(data, QStandardPaths::standardLocations(QStandardPaths::DataLocation).first());
    QVERIFY(data.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    QVERIFY(!data.endsWith(QLatin1Char('/')));
    QCOMPARE(usersDirectory(), QDir::toNativeSeparators(data + QDir::separator() + "Users"));
    QCOMPARE(cacheDirectory(), QDir::toNativeSeparators(data + QDir::separator() + "Cache"));
}

void AppDirsTest::ensureDirectory_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("fileInTheWay");
    QTest::addColumn<bool>("expected");
    QTest::newRow("one level") << "a" << false << true;
    QTest::newRow("missing parents") << "b/c/d/e" << false << true;
    QTest::newRow("already there") << "." << false << true;
    QTest::newRow("a file stands there") << "f" << true << false;
    QTest::newRow("a file stands in a parent's place") << "f/g" << true << false;
}

void AppDirsTest::ensureDirectory()
{
    QFETCH(QString, relative);
    QFETCH(bool, fileInTheWay);
    QFETCH(bool, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    if (fileInTheWay)
        QVERIFY(writeFile(root.filePath("f"), "x"));
    const QString path = root.filePath(relative);
    QCOMPARE(tarvik::ensureDirectory(path), expected);
    QCOMPARE(QFileInfo(path).isDir(), expected);
    if (fileInTheWay)
        QVERIFY(QFileInfo(root.filePath("f")).isFile());
}

void AppDirsTest::createAppDirectoriesIsRepeatable()
{
    QDir(dataDirectory()).removeRecursively();
    createAppDirectories();
    QVERIFY(QFileInfo(dataDirectory()).isDir());
    QVERIFY(QFileInfo(usersDirectory()).isDir());
    QVERIFY(QFileInfo(cacheDirectory()).isDir());

    QVERIFY(writeFile(usersDirectory() + "/keep", "kept"));
    createAppDirectories();
    QFile kept(usersDirectory() + "/keep");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept"));
}

void AppDirsTest::debugLogWritesTextLiterally_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("percent signs") << "100% of %s and %n";
    QTest::newRow("empty") << "";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Grüße, 日本");
    QTest::newRow("a scan line") << "mFilter: YES";
}

void AppDirsTest::debugLogWritesTextLiterally()
{
    QFETCH(QString, text);
    gMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    debugLog(text);
    qInstallMessageHandler(previous);
    QCOMPARE(gMessages, QStringList{text});
}

void AppDirsTest::trashTakesAFileAndKeepsItRestorable_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "plain.txt";
    QTest::newRow("blanks and signs") << "a b #1 %20 ?.txt";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Grüße.txt");
    QTest::newRow("hidden") << ".hidden";
}

void AppDirsTest::trashTakesAFileAndKeepsItRestorable()
{
    QFETCH(QString, name);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(name);
    const QByteArray content = "content of " + name.toUtf8();
    QVERIFY(writeFile(path, content));

    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
    const QStringList before = filesBelow(trash + "/files");

    QVERIFY(moveToRecycleBin(path));
    QVERIFY(!QFileInfo::exists(path));

    QStringList added = filesBelow(trash + "/files");
    for (const QString& old : before)
        added.removeAll(old);
    QCOMPARE(added.size(), 1);
    QFile moved(added.first());
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), content);

    const QString info =
        trash + "/info/" + QFileInfo(added.first()).fileName() + QStringLiteral(".trashinfo");
    QFile infoFile(info);
    QVERIFY2(infoFile.open(QIODevice::ReadOnly), qPrintable(info));
    QVERIFY(infoFile.readAll().contains("[Trash Info]"));
}

void AppDirsTest::trashWithoutDataHomeNeverLandsInTheCurrentFolder()
{
    QTemporaryDir folder;
    QTemporaryDir work;
    QVERIFY(folder.isValid() && work.isValid());
    const QString path = folder.filePath("victim.txt");
    QVERIFY(writeFile(path, "precious"));

    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(QDir(dataHome).removeRecursively());
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));

    const bool moved = moveToRecycleBin(path);

    QDir::setCurrent(oldCurrent);
    QVERIFY(filesBelow(work.path()).isEmpty());
    if (moved) {
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(filesBelow(dataHome + "/Trash/files").size(), 1);
    } else {
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("precious"));
    }
}

void AppDirsTest::trashOfAMissingFileFails()
{
    QTemporaryDir folder;
    QVERIFY(!moveToRecycleBin(folder.filePath("never-was.txt")));
    QVERIFY(!moveToRecycleBin(QString()));
}

TARVIK_TEST_GUILESS_MAIN(AppDirsTest)
#include "tst_appdirs.moc"
