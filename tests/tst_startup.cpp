#include "app/startup.h"
#include "testenv.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QRegularExpression>

using namespace tarvik;

namespace {

// Width of the inked part of a widget's grab.
int inkWidth(QWidget& widget)
{
    const QImage image = widget.grab().toImage();
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
    return right < left ? 0 : right - left + 1;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readTextFile_data();
    void readTextFile();
    void styleSheetRulesStandInAWorkingOrder();
    void iconFontLeavesTextProportional();
};

void StartupTest::initTestCase()
{
    Q_INIT_RESOURCE(resource);
    QVERIFY(QFontDatabase::addApplicationFont(":/resource/fonts/entypo.ttf") >= 0);
    QVERIFY(QFontDatabase().families().contains("Entypo"));
}

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

void StartupTest::iconFontLeavesTextProportional()
{
    qApp->setStyleSheet(tarvik::readTextFile(":/resource/style.css"));
    QLabel narrow("iiiiiiiiii");
    QLabel wide("MMMMMMMMMM");
    QLabel spaced("i i i i i i i i i i");
    for (QLabel* label : {&narrow, &wide, &spaced}) {
        label->setStyleSheet("background: white; color: black;");
        label->adjustSize();
    }
    const int narrowInk = inkWidth(narrow);
    QVERIFY2(narrowInk > 0, "no text was drawn: is a font installed?");
    // In a monospace face both rows would be equally wide.
    QVERIFY2(inkWidth(wide) > 2 * narrowInk, qPrintable(QString::number(inkWidth(wide))));
    // Blanks are a sans font's blanks, not a wide glyph of the icon font.
    QVERIFY2(inkWidth(spaced) < 3 * narrowInk, qPrintable(QString::number(inkWidth(spaced))));
    qApp->setStyleSheet(QString());
}

TARVIK_TEST_WIDGETS_MAIN(StartupTest)
#include "tst_startup.moc"
