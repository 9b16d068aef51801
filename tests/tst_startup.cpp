#include "app/startup.h"
#include "testenv.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtTest>

using namespace tarvik;

namespace {

QString writeTemp(QTemporaryFile& file, const QByteArray& bytes)
{
    if (!file.open())
        return QString();
    file.write(bytes);
    file.close();
    return file.fileName();
}

// Width of the inked part of a label's grab.
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
    void pluginPathsKeepTheDefaultsFirst();
    void styleSheetHoldsEveryRuleInOrder();
    void styleSheetNamesOnlyBundledImages();
    void bundleHoldsTheImagesAtTheirSizes_data();
    void bundleHoldsTheImagesAtTheirSizes();
    void spinnerIsNineteenFramesOfFiftyMilliseconds();
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
    QTest::newRow("plain") << QByteArray("QWidget { color: red; }") << "QWidget { color: red; }";
    QTest::newRow("stops at NUL") << QByteArray("abc\0def", 7) << "abc";
    QTest::newRow("NUL first") << QByteArray("\0abc", 4) << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("high bytes are Latin-1")
        << QByteArray("\x80\xe9\xff") << QString::fromUtf8("\u0080\u00e9\u00ff");
    QTest::newRow("UTF-8 is not decoded")
        << QByteArray("\xc3\xa9") << QString::fromUtf8("\u00c3\u00a9");
}

void StartupTest::readTextFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryFile file;
    const QString path = writeTemp(file, bytes);
    QVERIFY(!path.isEmpty());
    QCOMPARE(tarvik::readTextFile(path), expected);
    QVERIFY(tarvik::readTextFile(path + ".missing").isEmpty());
}

void StartupTest::pluginPathsKeepTheDefaultsFirst()
{
    const QStringList defaults{"/usr/lib/qt5/plugins", "platforms"};
    QCOMPARE(pluginSearchPaths(defaults), (QStringList{"/usr/lib/qt5/plugins", "platforms", ".",
                                                       "platforms", "sqldrivers", "imageformats"}));
    QCOMPARE(pluginSearchPaths({}), (QStringList{".", "platforms", "sqldrivers", "imageformats"}));
}

void StartupTest::styleSheetHoldsEveryRuleInOrder()
{
    const QString sheet = tarvik::readTextFile(":/resource/style.css");
    QVERIFY(!sheet.isEmpty());

    // Selector, and one declaration that must stand in its block.
    const QList<QPair<QString, QString>> rules{
        {"QWidget", "font: 13px 'Entypo', Verdana, Arial, Helvetica, sans-serif;"},
        {"QAbstractItemView", "outline: 0;"},
        {"QAbstractItemView::item", "padding: 0px 6px;"},
        {"QAbstractItemView::item:selected", "color: #ffffff;"},
        {"QAbstractItemView::item:selected:active", "background-color: #3498db;"},
        {"QAbstractItemView::item:selected:!active", "background-color: #5dade2;"},
        {"QLabel", "height: 27px;"},
        {"QLineEdit", "border: 1px solid #cccccc;"},
        {"QPushButton", "color: #ffffff;"},
        {"QPushButton:disabled", "color: rgba(255, 255, 255, 200);"},
        {"QPushButton:hover", "background-color: #5dade2;"},
        {"QPushButton:pressed", "background-color: #2c81ba;"},
        {"QListView", "border-radius: 2px;"},
        {"QTreeView", "border-radius: 2px;"},
        {"QScrollBar:horizontal", "height: 10px;"},
        {"QScrollBar:hover:horizontal", "border-top: 1px solid #d2d2d2;"},
        {"QScrollBar::handle:horizontal", "background: #cbcbcb;"},
        {"QScrollBar::handle:hover:horizontal", "background: #909090;"},
        {"QScrollBar::handle:pressed:horizontal", "stop: 1 #747474);"},
        {"QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal", "width: 0px;"},
        {"QScrollBar:vertical", "width: 10px;"},
        {"QScrollBar:hover:vertical", "border-left: 1px solid #d2d2d2;"},
        {"QScrollBar::handle:vertical", "background: #cbcbcb;"},
        {"QScrollBar::handle:hover:vertical", "background: #909090;"},
        {"QScrollBar::handle:pressed:vertical", "min-height: 20px;"},
        {"QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical", "height: 0px;"},
        {"QMenu", "border: 1px solid #cccccc;"},
        {"QMenu::item:selected", "color: #fff;"},
        {"QHeaderView", "font-weight: bold;"},
        {"#MainWindow", "background-color: #FFFFFF;"},
        {"#LogoLabel", "margin: 0px 0px 50px 0px;"},
        {"#WebLinkLabel", "font: 10px 'Entypo', Verdana, Arial, Helvetica, sans-serif;"},
        {"#AddFolderButton", "image: url(\":/resource/plus_normal2.png\");"},
        {"#AddFolderButton::pressed", "padding: 0 1px;"},
        {"#AddFolderButton::focused", "image: url(\":/resource/plus_active.png\");"},
        {"#AddFolderButton::hover", "image: url(\":/resource/plus_active.png\");"},
        {"#RemoveFolderButton", "image: url(\":/resource/remove_folder_normal2.png\");"},
        {"#RemoveFolderButton::pressed", "padding: 0 1px;"},
        {"#RemoveFolderButton::focused", "remove_folder_active.png"},
        {"#RemoveFolderButton::hover", "remove_folder_active.png"},
        {"#MenuButton", "menu_normal2.png"},
        {"#MenuButton:pressed", "padding: 0 1px;"},
        {"#MenuButton:focused", "menu_active.png"},
        {"#MenuButton::hover", "menu_active.png"},
        {"#BackButton", "back_normal2.png"},
        {"#BackButton:pressed", "padding: 0 1px;"},
        {"#BackButton:focused", "back_active.png"},
        {"#BackButton::hover", "back_active.png"},
        {"#OpenFolderButton", "folder_normal2.png"},
        {"#OpenFolderButton:pressed", "padding: 0 1px;"},
        {"#OpenFolderButton:focused", "folder_active.png"},
        {"#OpenFolderButton::hover", "folder_active.png"},
        {"#TrashButton", "trash_normal2.png"},
        {"#TrashButton:pressed", "padding: 0 1px;"},
        {"#TrashButton:focused", "trash_active.png"},
        {"#TrashButton::hover", "trash_active.png"},
        {"#SourceListWidget", "margin: 0px 16px 0px 16px;"},
        {"#StartScanButton", "margin: 16px 0px 16px 0px;"},
        {"#DuplicateViewWidgte", "margin: 0px 16px 16px 16px;"},
    };

    // Blocks in the order they stand, comments removed.
    QString text = sheet;
    text.remove(QRegularExpression(R"(/\*.*?\*/)", QRegularExpression::DotMatchesEverythingOption));
    QList<QPair<QString, QString>> blocks;
    const QRegularExpression block(R"(([^{}]+)\{([^{}]*)\})");
    for (auto it = block.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        blocks.append({match.captured(1).simplified(), match.captured(2)});
    }

    int at = 0;
    for (const auto& rule : rules) {
        while (at < blocks.size() && blocks[at].first != rule.first)
            ++at;
        QVERIFY2(at < blocks.size(), qPrintable("missing or out of order: " + rule.first));
        QVERIFY2(blocks[at].second.contains(rule.second),
                 qPrintable(rule.first + " lacks " + rule.second));
        ++at;
    }
}

void StartupTest::styleSheetNamesOnlyBundledImages()
{
    const QString sheet = tarvik::readTextFile(":/resource/style.css");
    const QRegularExpression url(R"re(url\("([^"]+)"\))re");
    int count = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext(); ++count) {
        const QString path = it.next().captured(1);
        QVERIFY2(QImageReader(path).canRead(), qPrintable(path));
    }
    QVERIFY(count >= 24);
}

void StartupTest::bundleHoldsTheImagesAtTheirSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << ":/resource/app_name_320.png" << QSize(320, 100);
    for (const char* name : {"plus", "remove_folder", "menu", "back", "folder", "trash"}) {
        for (const char* state : {"normal2", "active"}) {
            const QString file = QString(":/resource/%1_%2.png").arg(name, state);
            QTest::newRow(qPrintable(file)) << file << QSize(64, 64);
        }
    }
}

void StartupTest::bundleHoldsTheImagesAtTheirSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());

    // A normal image and its active partner are two different pictures.
    if (path.contains("_normal2")) {
        const QImage active(QString(path).replace("_normal2", "_active"));
        QVERIFY(!active.isNull());
        QVERIFY(active.convertToFormat(QImage::Format_ARGB32) !=
                image.convertToFormat(QImage::Format_ARGB32));
    }
}

void StartupTest::spinnerIsNineteenFramesOfFiftyMilliseconds()
{
    QMovie movie(":/resource/loading_spinner.gif");
    QVERIFY(movie.isValid());
    QCOMPARE(movie.frameCount(), 19);

    QImageReader reader(":/resource/loading_spinner.gif");
    QCOMPARE(reader.loopCount(), -1);
    for (int frame = 0; frame < 19; ++frame) {
        const QImage image = reader.read();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(200, 200));
        QCOMPARE(reader.nextImageDelay(), 50);
    }
    QVERIFY(reader.read().isNull());
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
    QVERIFY(!QFontInfo(narrow.font()).fixedPitch());
    const int narrowInk = inkWidth(narrow);
    const int wideInk = inkWidth(wide);
    QVERIFY2(narrowInk > 0, "no text was drawn: is a font installed?");
    // In a monospace face both rows would be equally wide.
    QVERIFY2(wideInk > 2 * narrowInk, qPrintable(QString("%1 vs %2").arg(wideInk).arg(narrowInk)));
    // Blanks are a sans font's blanks, not a wide glyph of the icon font.
    QVERIFY2(inkWidth(spaced) < 3 * narrowInk,
             qPrintable(QString("%1 vs %2").arg(inkWidth(spaced)).arg(narrowInk)));
    qApp->setStyleSheet(QString());
}

TARVIK_TEST_WIDGETS_MAIN(StartupTest)
#include "tst_startup.moc"
