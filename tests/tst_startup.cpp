#include "app/failurereport.h"
#include "app/startup.h"
#include "testenv.h"

#include <QImageReader>
#include <QRegularExpression>

using namespace tarvik;

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(resource); }
    void readTextFile_data();
    void readTextFile();
    void styleSheetRulesStandInAWorkingOrder();
    void pluginsOnlyBesideTheExecutable_data();
    void pluginsOnlyBesideTheExecutable();
    void failureIsToldOnOneLine();
};

void StartupTest::readTextFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stops at NUL") << QByteArray("abc\0def", 7) << "abc";
    QTest::newRow("high bytes are Latin-1, UTF-8 is not decoded")
        << QByteArray("\x80\xc3\xa9\xff") << QString::fromUtf8("\u0080\u00c3\u00a9\u00ff");
}

void StartupTest::readTextFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("style.css");
    QVERIFY(test::writeFile(path, bytes));
    QCOMPARE(tarvik::readTextFile(path), expected);
    QVERIFY(tarvik::readTextFile(path + ".missing").isEmpty());
}

void StartupTest::styleSheetRulesStandInAWorkingOrder()
{
    const QString sheet = tarvik::readTextFile(":/resource/style.css")
                              .remove(QRegularExpression(
                                  R"(/\*.*?\*/)", QRegularExpression::DotMatchesEverythingOption));
    const QRegularExpression block(R"(([^{}]+)\{[^{}]*\})");
    QStringList selectors;
    for (auto it = block.globalMatch(sheet); it.hasNext();)
        selectors << it.next().captured(1).simplified();
    // Text left outside the blocks means a lost brace, and the toolkit drops what follows it.
    QCOMPARE(QString(sheet).remove(block).trimmed(), QString());
    QCOMPARE(selectors.value(0), QString("QWidget"));

    // Among rules of equal weight the last one wins: every widget-type rule comes before the
    // object-name rules that override it.
    const int firstName = selectors.indexOf(QRegularExpression("#.*"));
    QVERIFY(firstName > 0);
    for (int i = 0; i < selectors.size(); ++i)
        QVERIFY2(selectors[i].startsWith(i < firstName ? 'Q' : '#'), qPrintable(selectors[i]));

    for (const char* name :
         {"MainWindow", "LogoLabel", "WebLinkLabel", "AddFolderButton", "RemoveFolderButton",
          "MenuButton", "BackButton", "OpenFolderButton", "TrashButton", "SourceListWidget",
          "StartScanButton", "DuplicateViewWidgte"})
        QVERIFY2(selectors.contains(QString("#") + name), name);

    const QRegularExpression url(R"re(url\(\s*"?([^")]*)"?\s*\))re");
    int urls = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext(); ++urls) {
        const QString path = it.next().captured(1);
        QVERIFY2(path.startsWith(":/resource/") && QImageReader(path).canRead(), qPrintable(path));
    }
    QVERIFY(urls > 0);
}

void StartupTest::pluginsOnlyBesideTheExecutable_data()
{
    // How the program was started, and the folder expected of it; % is the current folder.
    QTest::addColumn<QString>("argv0");
    QTest::addColumn<QString>("folder");
    QTest::newRow("as the system tells") << QString() << QCoreApplication::applicationDirPath();
    QTest::newRow("absolute") << "/opt/t/bin/tarvik"
                              << "/opt/t/bin";
    QTest::newRow("relative") << "bin/../bin/tarvik"
                              << "%/bin";
    QTest::newRow("found on PATH") << "tarvik-on-path"
                                   << "%/bin";
    QTest::newRow("nowhere") << "tarvik-nowhere"
                             << "";
}

// Started in a folder that holds plug-in folders of its own (a download folder), the program
// searches the folders beside its executable, never those.
void StartupTest::pluginsOnlyBesideTheExecutable()
{
    QFETCH(QString, argv0);
    QFETCH(QString, folder);
    QTemporaryDir here;
    const QString dot = QDir(here.path()).canonicalPath();
    for (const char* name : {"platforms", "sqldrivers", "imageformats"})
        QVERIFY(QDir(dot).mkpath(name));
    QVERIFY(test::writeFile(dot + "/bin/tarvik-on-path", "#!/bin/sh\n"));
    QFile::setPermissions(dot + "/bin/tarvik-on-path", QFile::ReadOwner | QFile::ExeOwner);
    const QString savedDir = QDir::currentPath();
    const QByteArray savedPath = qgetenv("PATH");
    QDir::setCurrent(dot);
    qputenv("PATH", QFile::encodeName(dot + "/bin"));
    const QString found =
        argv0.isEmpty() ? executableFolder(qPrintable(argv0)) : executableFolderFromArgv0(argv0);
    const QStringList defaults = {"/usr/lib/qt5/plugins"};
    const QStringList paths = pluginSearchPaths(defaults, found);
    QDir::setCurrent(savedDir);
    qputenv("PATH", savedPath);

    QCOMPARE(found, folder.replace("%", dot));
    QCOMPARE(paths.mid(0, 1), defaults);
    QStringList beside;
    for (const QString& path : paths.mid(1)) {
        QVERIFY2(QDir::isAbsolutePath(path), qPrintable(path));
        beside << QDir(found).relativeFilePath(path);
    }
    QCOMPARE(beside, found.isEmpty()
                         ? QStringList()
                         : QStringList({".", "platforms", "sqldrivers", "imageformats"}));
}

void StartupTest::failureIsToldOnOneLine()
{
    int returned = 0;
    const QByteArray told = test::capturedOutput(2, [&returned] {
        returned = reportingFailure("tarvik-scan", 4,
                                    []() -> int { throw std::runtime_error("disk on fire"); });
    });
    QCOMPARE(returned, 4);
    QCOMPARE(told, "tarvik-scan: disk on fire\n");
}

TARVIK_TEST_WIDGETS_MAIN(StartupTest)
#include "tst_startup.moc"
