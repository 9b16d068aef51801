// The German translation: complete for every text of the sources, and shown: the real window in
// a German locale leaves no English word in sight, and both programs answer in German.

#include "tst_ui_support.h"

#include <QProcess>
#include <QXmlStreamReader>

using namespace tarvik::test;

namespace {

// The sources' texts and their translations in a .ts file.
struct Entries
{
    QStringList sources, translations;
    QStringList unfinished;
};

Entries readTs(const QString& path)
{
    Entries entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, {}, {path + QStringLiteral(": cannot be read")}};
    QXmlStreamReader xml(&file);
    QString source;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
            entries.sources << source;
        } else if (xml.name() == QLatin1String("translation")) {
            // Anything but a finished translation: new, changed or vanished from the sources.
            if (!xml.attributes().value(QLatin1String("type")).isEmpty())
                entries.unfinished << source;
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (text.trimmed().isEmpty())
                entries.unfinished << source;
            entries.translations << text;
        }
    }
    return entries;
}

QSet<QString> words(const QStringList& texts)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QSet<QString> found;
    for (const QString& text : texts) {
        for (auto it = word.globalMatch(text); it.hasNext();)
            found.insert(it.next().captured().toLower());
    }
    return found;
}

// The texts a user reads on the widget and its visible children, menus included.
QStringList visibleTexts(QWidget* root)
{
    QStringList texts{root->windowTitle()};
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : qAsConst(widgets)) {
        if (!w->isVisible() && !qobject_cast<QMenu*>(w))
            continue;
        texts << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w))
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts << button->text();
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            texts << edit->placeholderText();
        if (auto* menu = qobject_cast<QMenu*>(w)) {
            for (QAction* action : menu->actions())
                texts << action->text();
        }
        if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
            for (int c = 0; c < tree->columnCount(); ++c)
                texts << tree->headerItem()->text(c);
            for (int g = 0; g < tree->topLevelItemCount(); ++g)
                texts << tree->topLevelItem(g)->text(0)
                      << tree->topLevelItem(g)->child(0)->toolTip(0);
        }
    }
    texts.removeAll(QString());
    return texts;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private:
    // Words of the English texts that no German one has; texts the same in both languages
    // ("Name", "OK", numbers, units) are left out so.
    QSet<QString> mEnglish;

    QString mRoot;

    QString english(QStringList texts) const
    {
        // A file's path is no text of the program's.
        texts.replaceInStrings(mRoot, QString());
        // Set as they stand, untranslated, by the new search page and the result page.
        static const QStringList fixed{"Scanning...", "Add Folder", "Remove Folder", "Menu",
                                       "Filter Items..."};
        QStringList found;
        for (const QString& text : qAsConst(texts)) {
            if (fixed.contains(text))
                continue;
            if (!(words({text}) & mEnglish).isEmpty())
                found << text;
        }
        return found.join(QStringLiteral(" | "));
    }

private slots:
    void initTestCase()
    {
        initUiTest();
        const Entries de = readTs(QStringLiteral(TARVIK_TS_DIR "/tarvik_de.ts"));
        mEnglish = words(de.sources) - words(de.translations);
        QVERIFY(mEnglish.contains(QStringLiteral("folder")));
    }

    // The .ts files brought up to date with the sources, as update_translations does, must
    // hold a finished translation for every text: a new English text needs its German.
    void everyTextTranslated_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("de") << "de" << QStringList();
        QTest::newRow("en") << "en" << QStringList{"-pluralonly"};
    }
    void everyTextTranslated()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, options);
        QTemporaryDir dir;
        const QString ts = dir.filePath("tarvik_" + language + ".ts");
        QVERIFY(QFile::copy(TARVIK_TS_DIR "/tarvik_" + language + ".ts", ts));
        QProcess lupdate;
        lupdate.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{"-silent", "-locations", "none", "-no-obsolete", "-I", TARVIK_SOURCE_DIR};
        for (const char* folder : {"app", "ui", "scan", "core"})
            args << TARVIK_SOURCE_DIR "/" + QString::fromLatin1(folder);
        lupdate.start(TARVIK_LUPDATE, args + options + QStringList{"-ts", ts});
        QVERIFY(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0);
        const QStringList unfinished = readTs(ts).unfinished;
        QVERIFY2(unfinished.isEmpty(),
                 qPrintable("not translated (update_translations, then translate): " +
                            unfinished.join(" | ")));
    }

    void windowInGerman()
    {
        const QString root = mRoot = freshRoot();
        QVERIFY(makeTree(root, {"a1=same", "a2=same", "b=other"}));
        Window w;
        QString left = english(visibleTexts(w.window.get()));
        QVERIFY2(left.isEmpty(), qPrintable("first page: " + left));

        w.window->openFolders({root}, false);
        w.press(w.search, "OptionsButton");
        left = english(visibleTexts(w.window.get()));
        QVERIFY2(left.isEmpty(), qPrintable("new search page: " + left));

        w.press(w.search, "StartScanButton");
        QVERIFY(w.waitForScan());
        w.fileItem(root + "/a2")->setCheckState(0, Qt::Checked);
        const QString status = w.result->findChild<QLabel*>("StatusLabel")->text();
        QVERIFY2(status.contains(": 1 Gruppe, 1 doppelte Datei, 4 B einsparbar · 1 markiert"),
                 qPrintable(status));
        left = english(visibleTexts(w.window.get()));
        QVERIFY2(left.isEmpty(), qPrintable("result page: " + left));

        // The confirmation, then the summary; Qt's own buttons come from Qt's translation.
        QStringList said;
        const std::function<void(int)> answer = [&](int boxes) {
            whenShown(false, [&, boxes](QWidget* widget) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box)
                    return;
                said << visibleTexts(box);
                if (boxes > 1)
                    answer(boxes - 1);
                box->defaultButton()->click();
            });
        };
        answer(2);
        w.press(w.result, "TrashMarkedButton");
        QVERIFY(
            QTest::qWaitFor([&] { return said.join("\n").contains("Papierkorb verschoben."); }));
        left = english(said);
        QVERIFY2(left.isEmpty(), qPrintable("message boxes: " + left));
        QVERIFY2(said.join("\n").contains("1 Datei (4 B) wurde in den Papierkorb verschoben."),
                 qPrintable(said.join(" | ")));
    }

    void commandLineInGerman_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("begins");
        QTest::newRow("tarvik --help") << TARVIK_APP << QStringList{"--help"} << "Aufruf: tarvik ";
        QTest::newRow("tarvik-scan --help")
            << TARVIK_SCAN << QStringList{"--help"} << "Aufruf: tarvik-scan ";
        QTest::newRow("no folder") << TARVIK_SCAN << QStringList{"/nonexistent/x"}
                                   << "tarvik-scan: Ordner nicht vorhanden: ";
        QTest::newRow("Qt's own error")
            << TARVIK_SCAN << QStringList{"--bogus"} << "tarvik-scan: Unbekannte Option";
    }
    void commandLineInGerman()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, begins);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        env.insert("LANG", "de_DE.UTF-8");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(30000));
        const QString out = QString::fromUtf8(process.readAll());
        QVERIFY2(out.startsWith(begins), qPrintable(out));
    }
};

int main(int argc, char* argv[])
{
    tarvik::test::PrivateHome home;
    QApplication app(argc, argv);
    // As main does on a German desktop.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    tarvik::installTranslators(QLocale());
    TranslationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translation.moc"
