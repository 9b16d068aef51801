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

TARVIK_TEST_WIDGETS_MAIN(StartupTest)
#include "tst_startup.moc"
