#include "app/startup.h"
#include "testenv.h"
#include "tst_ui_support.h"
#include "ui/filestamp.h"
#include "ui/sizetext.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileIconProvider>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarvik;
using namespace tarvik::test;

namespace {

QString shortDate(const QDateTime& time)
{
    return time.toString(QLocale().dateTimeFormat(QLocale::ShortFormat));
}

QString trashedCopy(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Trash/files/") + name;
}

// As a user does it: the press that makes the row current, then the double-click.
void doubleClick(TreeWidget* tree, const QPoint& pos)
{
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, pos);
}

// A right-click on the item (which makes it current), then the context menu request.
void rightClick(TreeWidget* tree, const QPoint& pos)
{
    QTest::mouseClick(tree->viewport(), Qt::RightButton, Qt::NoModifier, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(tree->viewport(), &event);
}

// Records the labels being shown and hidden.
class VisibilityLog : public QObject
{
public:
    QStringList changes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
            changes << QString::fromLatin1(watched->metaObject()->className()) +
                           (event->type() == QEvent::ShowToParent ? " show" : " hide");
        return false;
    }
};

} // namespace

class ResultTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scanFillsTheTree();
    void spinnerShowsWhileScanning();
    void emptyFolderListEndsWithAnEmptyTree();
    void actions_data();
    void actions();
    void contextMenuOnlyOverFiles_data();
    void contextMenuOnlyOverFiles();
    void deletingEveryFileKeepsTheGroup();
    void changedFileIsNotDeleted_data();
    void changedFileIsNotDeleted();
    void oddNamesOpenTheRightUrl_data();
    void oddNamesOpenTheRightUrl();

private:
    // Three copies of one text (one deep), two of another, two empty files, two unique ones.
    QStringList makeTree(const QString& root);
};

void ResultTest::initTestCase()
{
    Q_INIT_RESOURCE(resource);
    qRegisterMetaType<QMovie::MovieState>();
    qApp->setStyleSheet(readTextFile(QStringLiteral(":/resource/style.css")));
}

QStringList ResultTest::makeTree(const QString& root)
{
    const QStringList files = {"a1.txt", "sub/a2.txt", "sub/deep/a3.txt", "b1.bin", "other/b2.bin",
                               "e1",     "sub/e2",     "u1.txt",          "u2.txt"};
    const QList<QByteArray> contents = {"alpha\n",     "alpha\n", "alpha\n", "bravo bravo",
                                        "bravo bravo", "",        "",        "unique one",
                                        "unique two"};
    QStringList paths;
    for (int i = 0; i < files.size(); ++i) {
        paths.append(root + QLatin1Char('/') + files[i]);
        writeFile(paths.last(), contents[i]);
    }
    return paths;
}

void ResultTest::scanFillsTheTree()
{
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());

    QList<QStringList> expected = {{p[0], p[1], p[2]}, {p[3], p[4]}, {p[5], p[6]}};
    for (QStringList& group : expected)
        group.sort();
    std::sort(expected.begin(), expected.end());
    QCOMPARE(w.groupPaths(), expected);

    QFileIconProvider icons;
    const QList<QTreeWidgetItem*> groups = w.groups();
    for (int number = 0; number < groups.size(); ++number) {
        QTreeWidgetItem* group = groups[number];
        QCOMPARE(group->text(0), QStringLiteral("Duplicate group #%1").arg(number));
        for (int column = 1; column < 4; ++column)
            QVERIFY(group->text(column).isEmpty());
        QVERIFY(group->toolTip(0).isEmpty());
        QVERIFY(group->icon(0).isNull());
        QVERIFY(group->isExpanded());

        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* file = group->child(i);
            const QFileInfo info(file->text(3));
            QVERIFY(p.contains(file->text(3)));
            QDateTime created = info.birthTime();
            if (!created.isValid())
                created = info.metadataChangeTime();
            QCOMPARE(file->text(0), info.fileName());
            QCOMPARE(file->text(1), sizeToString(info.size()));
            QCOMPARE(file->text(2), shortDate(created));
            QVERIFY(!file->text(2).isEmpty());
            const QStringList tip = {
                "File: " + info.fileName(), "Size: " + sizeToString(info.size()),
                "Created: " + shortDate(created), "Modified: " + shortDate(info.lastModified()),
                "Location: " + file->text(3)};
            QCOMPARE(file->toolTip(0), tip.join(QLatin1Char('\n')));
            QVERIFY(!file->icon(0).isNull());
            QCOMPARE(file->icon(0).pixmap(16).toImage(), icons.icon(info).pixmap(16).toImage());
            QVERIFY(file->data(0, ResultWidget::FileStampRole).value<FileStamp>().valid);
        }
    }
    QTreeWidgetItem* alpha = w.fileItem(p[0])->parent();
    QCOMPARE(alpha->childCount(), 3);
    QCOMPARE(w.fileItem(p[3])->text(1), QStringLiteral("11 B"));

    // A second scan of the same tree numbers from 0 again, with nothing left of the first.
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(w.groupPaths(), expected);
    for (int number = 0; number < w.groups().size(); ++number)
        QCOMPARE(w.groups()[number]->text(0), QStringLiteral("Duplicate group #%1").arg(number));
}

void ResultTest::spinnerShowsWhileScanning()
{
    QTemporaryDir dir;
    makeTree(dir.path());
    Window w;
    QMovie* movie = w.spinnerLabel->movie();
    QSignalSpy states(movie, SIGNAL(stateChanged(QMovie::MovieState)));
    VisibilityLog log;
    w.spinnerLabel->installEventFilter(&log);
    w.scanningLabel->installEventFilter(&log);

    // Built visible; the first scan starts the movie and hides both at its end.
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(states.count(), 2);
    QCOMPARE(states[0][0].value<QMovie::MovieState>(), QMovie::Running);
    QCOMPARE(states[1][0].value<QMovie::MovieState>(), QMovie::NotRunning);
    QCOMPARE(log.changes.mid(log.changes.size() - 2), QStringList({"QLabel hide", "QLabel hide"}));
    QVERIFY(w.spinnerLabel->isHidden());
    QVERIFY(w.scanningLabel->isHidden());

    // The next scan shows both again while it runs.
    log.changes.clear();
    states.clear();
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QCOMPARE(states.count(), 2);
    QCOMPARE(log.changes,
             QStringList({"QLabel show", "QLabel show", "QLabel hide", "QLabel hide"}));
    QVERIFY(w.spinnerLabel->isHidden());
    QVERIFY(w.scanningLabel->isHidden());
}

void ResultTest::emptyFolderListEndsWithAnEmptyTree()
{
    QTemporaryDir dir;
    makeTree(dir.path());
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QVERIFY(w.tree->topLevelItemCount() > 0);

    w.scan({});
    QCOMPARE(w.stack->currentWidget(), w.result);
    QVERIFY(w.waitForScan());
    QCOMPARE(w.tree->topLevelItemCount(), 0);
    QVERIFY(w.spinnerLabel->isHidden());
    QVERIFY(!w.spinnerLabel->movie()->state());
}

void ResultTest::actions_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("target");

    const QStringList actions = {"open button", "keypad enter", "context open",
                                 "return",      "double click", "trash button",
                                 "delete key",  "shift delete", "context delete"};
    for (const QString& action : actions)
        for (const char* target : {"file", "group", "vanished", "none"})
            QTest::newRow(qPrintable(action + " on " + target)) << action << target;
}

void ResultTest::actions()
{
    QFETCH(QString, action);
    QFETCH(QString, target);

    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    const QString path = p[1]; // sub/a2.txt
    UrlCatcher urls;
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());

    QTreeWidgetItem* item = w.fileItem(path);
    QVERIFY(item);
    QTreeWidgetItem* group = item->parent();
    const QString groupText = group->text(0);
    const int groupCount = w.tree->topLevelItemCount();
    if (target == QLatin1String("group"))
        item = group;
    else if (target == QLatin1String("none"))
        item = nullptr;
    else if (target == QLatin1String("vanished"))
        QVERIFY(QFile::remove(path));
    w.tree->setCurrentItem(item);
    QCOMPARE(w.tree->currentItem(), item);
    const bool wasExpanded = group->isExpanded();

    const QPoint at =
        item ? w.tree->visualItemRect(item).center() : QPoint(10, w.tree->viewport()->height() - 5);
    QPointer<QTimer> menuWatch;
    if (action == QLatin1String("open button"))
        QTest::mouseClick(w.button(w.result, "OpenFolderButton"), Qt::LeftButton);
    else if (action == QLatin1String("trash button"))
        QTest::mouseClick(w.button(w.result, "TrashButton"), Qt::LeftButton);
    else if (action == QLatin1String("keypad enter"))
        QTest::keyClick(w.tree, Qt::Key_Enter, Qt::KeypadModifier);
    else if (action == QLatin1String("return"))
        QTest::keyClick(w.tree, Qt::Key_Return);
    else if (action == QLatin1String("delete key"))
        QTest::keyClick(w.tree, Qt::Key_Delete);
    else if (action == QLatin1String("shift delete"))
        QTest::keyClick(w.tree, Qt::Key_Delete, Qt::ShiftModifier);
    else if (action == QLatin1String("double click"))
        doubleClick(w.tree, at);
    else if (action.startsWith(QLatin1String("context"))) {
        menuWatch =
            chooseFromMenu(action == QLatin1String("context open") ? "Open Folder" : "Delete");
        if (item)
            rightClick(w.tree, at);
        else
            QTest::qWait(100);
    }
    QTest::qWait(50);
    delete menuWatch.data();

    const bool onFile = target == QLatin1String("file");
    const bool opens = action == QLatin1String("open button") ||
                       action == QLatin1String("keypad enter") ||
                       action == QLatin1String("context open");
    const bool deletes =
        action == QLatin1String("trash button") || action.contains(QLatin1String("delete"));

    QList<QUrl> expectedUrls;
    if (onFile && opens)
        expectedUrls << QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    if (action == QLatin1String("double click") && (onFile || target == QLatin1String("vanished")))
        expectedUrls << QUrl::fromLocalFile(path);
    QCOMPARE(urls.urls, expectedUrls);

    if (onFile && deletes) {
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QFileInfo::exists(trashedCopy(QStringLiteral("a2.txt"))));
        QVERIFY(!w.fileItem(path));
        QCOMPARE(group->childCount(), 2);
    } else {
        QCOMPARE(QFileInfo::exists(path), target != QLatin1String("vanished"));
        QVERIFY(w.fileItem(path));
        QCOMPARE(group->childCount(), 3);
    }
    // Groups are never removed or renumbered; a double-click on a group only folds it.
    QCOMPARE(w.tree->topLevelItemCount(), groupCount);
    QCOMPARE(group->text(0), groupText);
    const bool folded = action == QLatin1String("double click") && target == QLatin1String("group");
    QCOMPARE(group->isExpanded(), folded ? !wasExpanded : wasExpanded);
    for (const QString& other : p.mid(2, 5))
        QVERIFY(QFileInfo::exists(other));
}

void ResultTest::contextMenuOnlyOverFiles_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("file") << "file";
    QTest::newRow("group") << "group";
    QTest::newRow("empty space") << "empty";
}

void ResultTest::contextMenuOnlyOverFiles()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());

    QPoint at(10, w.tree->viewport()->height() - 5);
    if (where == QLatin1String("file"))
        at = w.tree->visualItemRect(w.fileItem(p[0])).center();
    else if (where == QLatin1String("group"))
        at = w.tree->visualItemRect(w.groups().first()).center();
    QVERIFY(w.tree->viewport()->rect().contains(at));

    QStringList entries;
    QPointer<QTimer> watch = chooseFromMenu(QString(), &entries);
    rightClick(w.tree, at);
    QTest::qWait(50);
    delete watch.data();
    if (where == QLatin1String("file"))
        QCOMPARE(entries, QStringList({"Open Folder", "Delete"}));
    else
        QVERIFY(entries.isEmpty());
}

void ResultTest::deletingEveryFileKeepsTheGroup()
{
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* group = w.fileItem(p[3])->parent();
    const QString text = group->text(0);

    // Holding Delete: each repeat acts on whatever row is current then.
    w.tree->setCurrentItem(group->child(0));
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QCOMPARE(group->childCount(), 1);
    w.tree->setCurrentItem(group->child(0));
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QCOMPARE(group->childCount(), 0);
    QVERIFY(!QFileInfo::exists(p[3]) && !QFileInfo::exists(p[4]));
    QCOMPARE(group->text(0), text);
    QCOMPARE(w.tree->topLevelItemCount(), 3);
}

void ResultTest::changedFileIsNotDeleted_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("unchanged") << "none";
    QTest::newRow("grown") << "grown";
    QTest::newRow("shrunk") << "shrunk";
    QTest::newRow("touched") << "touched";
    QTest::newRow("replaced by a copy") << "replaced";
    QTest::newRow("became a folder") << "folder";
    QTest::newRow("became a link to its twin") << "link";
}

// A row may only ever delete the file it was made for.
void ResultTest::changedFileIsNotDeleted()
{
    QFETCH(QString, change);
    QTemporaryDir dir;
    const QStringList p = makeTree(dir.path());
    const QString path = p[0];
    Window w;
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(path);
    QVERIFY(item);

    QFile file(path);
    if (change == QLatin1String("grown")) {
        QVERIFY(file.open(QIODevice::Append));
        file.write("!");
        file.close();
    } else if (change == QLatin1String("shrunk")) {
        QVERIFY(file.resize(2));
    } else if (change == QLatin1String("touched")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                 QFileDevice::FileModificationTime));
        file.close();
    } else if (change == QLatin1String("replaced")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(writeFile(path, "alpha\n"));
    } else if (change == QLatin1String("folder")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    } else if (change == QLatin1String("link")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(p[1], path));
    }

    w.tree->setCurrentItem(item);
    QTest::mouseClick(w.button(w.result, "TrashButton"), Qt::LeftButton);
    const bool unchanged = change == QLatin1String("none");
    QCOMPARE(QFileInfo::exists(path), !unchanged);
    QCOMPARE(!w.fileItem(path), unchanged);
    QVERIFY(QFileInfo::exists(p[1]));
}

void ResultTest::oddNamesOpenTheRightUrl_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("blanks") << "with blanks"
                            << "a file.txt";
    QTest::newRow("number sign") << "#tag"
                                 << "x#1.txt";
    QTest::newRow("percent") << "100%20off"
                             << "50%.txt";
    QTest::newRow("question mark") << "why?"
                                   << "what?.txt";
    QTest::newRow("non-ascii") << QString::fromUtf8("Grüße ☃") << QString::fromUtf8("日本語 ß.txt");
    QTest::newRow("mixed") << QString::fromUtf8("a #b ?c %d é") << "'quote' \"dq\";.txt";
}

void ResultTest::oddNamesOpenTheRightUrl()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);

    QTemporaryDir dir;
    const QString place = dir.filePath(folder);
    const QString path = place + QLatin1Char('/') + name;
    QVERIFY(writeFile(path, "same"));
    QVERIFY(writeFile(dir.filePath("twin"), "same"));
    UrlCatcher urls;
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.scan({dir.path()});
    QVERIFY(w.waitForScan());
    QTreeWidgetItem* item = w.fileItem(path);
    QVERIFY(item);
    QCOMPARE(item->text(0), name);

    w.tree->setCurrentItem(item);
    QTest::mouseClick(w.button(w.result, "OpenFolderButton"), Qt::LeftButton);
    doubleClick(w.tree, w.tree->visualItemRect(item).center());
    QCOMPARE(urls.urls.size(), 2);
    QCOMPARE(urls.urls[0].scheme(), QStringLiteral("file"));
    QCOMPARE(urls.urls[0].toLocalFile(), place);
    QCOMPARE(urls.urls[1].toLocalFile(), path);
    QVERIFY(urls.urls[1].query().isEmpty() && urls.urls[1].fragment().isEmpty());

    w.tree->setCurrentItem(item);
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QFileInfo::exists(trashedCopy(name)));
    QVERIFY(!w.fileItem(path));
}

TARVIK_TEST_WIDGETS_MAIN(ResultTest)
#include "tst_ui_result.moc"
