// The result page's status line and Stop, and what the window remembers between runs.

#include "core/appdirs.h"
#include "core/appsettings.h"
#include "scan/contentreader.h"
#include "scanharness.h"
#include "tst_ui_support.h"

#include <QFileDialog>
#include <QLocale>
#include <atomic>

using namespace tarvik;
using namespace tarvik::test;

namespace {

std::atomic<bool> gHeld{false};
std::atomic<bool> gRelease{false};

// Keeps the scan busy on one file until the test lets it go (or half a minute passes).
void holdOnBig(const QString& path)
{
    if (!path.endsWith(QLatin1String("/big2")))
        return;
    gHeld = true;
    QElapsedTimer clock;
    clock.start();
    while (!gRelease && clock.elapsed() < 30000)
        QThread::msleep(5);
}

QLabel* statusLabel(const Window& w)
{
    return w.result->findChild<QLabel*>(QStringLiteral("StatusLabel"));
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statusLineAgreesWithTheTree();
    void stopKeepsWhatWasFound();
    void remembersTheLastSearch();
    void unusableStoreGivesAWorkingWindow();
};

void SessionTest::initTestCase()
{
    initUiTest();
    QLocale::setDefault(QLocale::c());
    if (qEnvironmentVariableIsSet("TARVIK_BREAK_STORE")) {
        // A folder where the settings file should be: SQLite cannot open it.
        QDir().mkpath(dataDirectory() + QStringLiteral("/registry.db/x"));
    }
}

void SessionTest::statusLineAgreesWithTheTree()
{
    const QString root = freshRoot();
    const QString k1(1000, QLatin1Char('a')), k5(5000, QLatin1Char('b'));
    QVERIFY(makeTree(root, {"a1=" + k1, "d/a2=" + k1, "d/e/a3=" + k1, "b1=" + k5, "d/b2=" + k5,
                            "e1=", "d/e2=", "u1=one", "u2=three"}));
    Window w;
    w.scan({root});
    QVERIFY(w.waitForScan());
    QVERIFY(statusLabel(w)->text().startsWith(QLatin1String("Done in ")));
    QVERIFY2(statusLabel(w)->text().endsWith(": 3 groups, 4 duplicate files, 6.8 KB reclaimable"),
             qPrintable(statusLabel(w)->text()));

    // The line follows the tree when a copy goes to the trash.
    w.tree->setCurrentItem(w.fileItem(root + "/d/b2"));
    QTest::keyClick(w.tree, Qt::Key_Delete);
    QVERIFY(!w.fileItem(root + "/d/b2"));
    QVERIFY2(statusLabel(w)->text().endsWith(": 2 groups, 3 duplicate files, 2.0 KB reclaimable"),
             qPrintable(statusLabel(w)->text()));
}

void SessionTest::stopKeepsWhatWasFound()
{
    const QString root = freshRoot();
    QStringList tree{"b/big1=same big", "b/big2=same big"};
    for (int i = 0; i < 10; ++i)
        tree << QStringLiteral("a/p%1=%1").arg(i) << QStringLiteral("a/q%1=%1").arg(i);
    QVERIFY(makeTree(root, tree));
    gHeld = false;
    gRelease = false;
    ContentReader::setOpenHook(holdOnBig);
    Window w;
    auto* stop = w.result->findChild<QToolButton*>(QStringLiteral("StopButton"));
    QVERIFY(stop && stop->isHidden());
    w.scan({root + "/a", root + "/b"});
    const bool midRun = waitFor([&] { return gHeld && w.tree->topLevelItemCount() == 10; });
    QVERIFY(midRun && w.thread()->isRunning() && stop->isVisible());

    QTest::mouseClick(stop, Qt::LeftButton);
    gRelease = true;
    QVERIFY(w.waitForScan(30000));
    ContentReader::setOpenHook(nullptr);
    QVERIFY(w.thread()->isFinished());
    QCOMPARE(w.tree->topLevelItemCount(), 10);
    QVERIFY(stop->isHidden() && w.spinnerLabel->isHidden());
    QVERIFY2(statusLabel(w)->text().startsWith(QLatin1String("Stopped after ")),
             qPrintable(statusLabel(w)->text()));
}

void SessionTest::remembersTheLastSearch()
{
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"keep/x=1", "gone/y=2"}));
    const QRect moved(150, 120, 500, 560);
    {
        Window w;
        QCOMPARE(w.window->geometry(), QRect(100, 100, 480, 600));
        answerFolderDialog(root + "/keep");
        QTest::mouseClick(w.launcherButton(), Qt::LeftButton);
        w.scan({root + "/keep", root + "/gone"}, "*.txt, *.jpg");
        QVERIFY(w.waitForScan());
        w.window->setGeometry(moved);
    }
    QVERIFY(QDir(root + "/gone").removeRecursively());

    Window w;
    QCOMPARE(w.stack->currentIndex(), 0);
    QCOMPARE(w.search->folders(), QStringList{root + "/keep"});
    QCOMPARE(w.search->filterText(), QStringLiteral("*.txt, *.jpg"));
    QCOMPARE(w.window->geometry(), moved);
    QString openedIn;
    whenShown(false, [&](QWidget* dialog) {
        openedIn = qobject_cast<QFileDialog*>(dialog)->directory().absolutePath();
        qobject_cast<QDialog*>(dialog)->reject();
    });
    QTest::mouseClick(w.launcherButton(), Qt::LeftButton);
    QCOMPARE(openedIn, QDir(root).absolutePath());

    // A place no screen shows is not used.
    AppSettings::setWindowGeometry(QRect(20000, 20000, 480, 600));
    QCOMPARE(Window().window->geometry(), QRect(100, 100, 480, 600));
}

void SessionTest::unusableStoreGivesAWorkingWindow()
{
    if (!qEnvironmentVariableIsSet("TARVIK_BREAK_STORE")) {
        // Again in a process of its own, whose store is broken before anything opens it.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARVIK_BREAK_STORE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("unusableStoreGivesAWorkingWindow")});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitCode(), 0);
        return;
    }
    const QString root = freshRoot();
    QVERIFY(makeTree(root, {"a=same", "b=same"}));
    for (int run = 0; run < 2; ++run) {
        Window w;
        QCOMPARE(w.window->geometry(), QRect(100, 100, 480, 600));
        QVERIFY(w.search->folders().isEmpty());
        w.scan({root});
        QVERIFY(w.waitForScan());
        QCOMPARE(w.tree->topLevelItemCount(), 1);
        w.window->setGeometry(200, 200, 400, 400);
    }
}

TARVIK_TEST_WIDGETS_MAIN(SessionTest)
#include "tst_ui_session.moc"
