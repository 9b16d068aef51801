// Scans a tree of many small files, about a third of them copies, through the real main
// window (offscreen unless QT_QPA_PLATFORM says otherwise) and prints the wall time until
// every row is in the tree, how long the GUI thread went without getting back to its event
// loop (the gaps between the ticks of a 10 ms timer) and the peak memory.
//
//   bench_gui [--files N] [--seed S] [--keep] [--delete N] [--sort] [--filter TEXT]... [--marks]
//             [--rounds N] [--trash] [FOLDER]
//
// After the scan it can act as a user would and time that too (actions.cpp): --delete N rows
// one by one (and, while the scan runs, one a second), --sort in every order, --filter by each
// TEXT, --marks: "Mark All but the Oldest" and "Clear Marks" (these three --rounds times, once
// by default, with the medians), and last --trash: Trash
// Marked after "Mark All but the Oldest", which moves files to a trash inside the bench's own
// temporary home (on the tree's file system when both are under /tmp): give it a copy
// (cp -al) of a tree you want to keep.
//
// Without FOLDER the tree is made afresh, with a fixed seed, in a temporary folder; with
// FOLDER an existing tree is scanned (bench/run_bench.py makes the million-file tree L) and
// the rows are checked against what the engine reported instead.

#include "actions.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "scan/duplicatefinderthread.h"
#include "ui/newsearchwidget.h"
#include "ui/resultwidget.h"
#include "ui/treewidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

struct Tree
{
    qint64 files = 0;
    qint64 copies = 0;
    qint64 groups = 0;
    qint64 groupedFiles = 0;
};

// Folders nest six deep; about forty files to a folder.
QString folderFor(const QString& root, qint64 index)
{
    qint64 folder = index / 40;
    QString path = root;
    for (int level = 0; level < 6; ++level) {
        path += QStringLiteral("/l%1_%2").arg(level).arg(folder % 6);
        folder /= 6;
    }
    return path;
}

bool makeTree(const QString& root, qint64 count, quint32 seed, Tree* tree)
{
    QRandomGenerator random(seed);
    std::vector<qint64> copiesOf;
    std::vector<quint32> originals;
    QString lastFolder;
    for (qint64 i = 0; i < count; ++i) {
        const QString folder = folderFor(root, i);
        if (folder != lastFolder && !QDir().mkpath(folder))
            return false;
        lastFolder = folder;
        const bool copy = !originals.empty() && random.bounded(100) < 30;
        quint32 content;
        if (copy) {
            const auto which = random.bounded(quint32(originals.size()));
            content = originals[which];
            if (copiesOf[which]++ == 0) {
                ++tree->groups;
                ++tree->groupedFiles;
            }
            ++tree->groupedFiles;
            ++tree->copies;
        } else {
            content = quint32(originals.size());
            originals.push_back(content);
            copiesOf.push_back(0);
        }
        // A few KB, the size and the bytes fixed by the content number.
        QRandomGenerator bytes(content * 2654435761u + seed);
        QByteArray data(int(1024 + bytes.bounded(6 * 1024)), Qt::Uninitialized);
        for (char& c : data)
            c = char(bytes.bounded(256));
        QFile file(QStringLiteral("%1/f%2.dat").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return false;
        ++tree->files;
    }
    return true;
}

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    // A data folder of its own: the real one would remember folders from earlier runs, which
    // the new search page would hold again beside the one added here.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tarvik-bench-home-XXXXXX"));
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(home.path() + QLatin1Char('/') + QLatin1String(name)));
    Q_INIT_RESOURCE(resource);
    QApplication app(argc, argv);
    app.setStyleSheet(tarvik::readTextFile(QStringLiteral(":/resource/style.css")));

    qint64 count = 100000;
    quint32 seed = 20260601;
    bool keep = false;
    bool trash = false;
    bool sort = false;
    bool marks = false;
    int rounds = 1;
    int deletes = 0;
    QStringList filters;
    QString folder;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--files") && i + 1 < args.size())
            count = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--seed") && i + 1 < args.size())
            seed = args[++i].toUInt();
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--trash"))
            trash = true;
        else if (args[i] == QLatin1String("--sort"))
            sort = true;
        else if (args[i] == QLatin1String("--marks"))
            marks = true;
        else if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = qMax(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--delete") && i + 1 < args.size())
            deletes = args[++i].toInt();
        else if (args[i] == QLatin1String("--filter") && i + 1 < args.size())
            filters << args[++i];
        else
            folder = args[i];
    }

    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/tarvik-bench-gui-XXXXXX"));
    Tree tree;
    const bool made = folder.isEmpty();
    if (made) {
        temporary.setAutoRemove(!keep);
        folder = temporary.path();
        QElapsedTimer making;
        making.start();
        if (!makeTree(folder, count, seed, &tree)) {
            std::fprintf(stderr, "cannot make the tree in %s\n", qPrintable(folder));
            return 2;
        }
        std::printf("tree: %s, %lld files, %lld copies, %lld groups holding %lld files "
                    "(made in %.1f s, seed %u)\n",
                    qPrintable(folder), tree.files, tree.copies, tree.groups, tree.groupedFiles,
                    making.elapsed() / 1000.0, seed);
    }

    tarvik::MainWindow window;
    window.show();
    auto* search = window.findChild<tarvik::NewSearchWidget*>();
    auto* result = window.findChild<tarvik::ResultWidget*>();
    auto* treeWidget = result->findChild<tarvik::TreeWidget*>();
    auto* start = search->findChild<QAbstractButton*>(QStringLiteral("StartScanButton"));
    QLabel* scanning = nullptr;
    for (QLabel* label : result->findChildren<QLabel*>())
        if (label->text() == QLatin1String("Scanning..."))
            scanning = label;
    search->addFolder(folder);
    if (search->folders() != QStringList(folder)) {
        std::fprintf(stderr, "the search page holds other folders too: %s\n",
                     qPrintable(search->folders().join(QLatin1String(", "))));
        return 2;
    }

    // Beside each gap, the CPU time the window's thread spent in it: a gap far longer than its
    // CPU time is time the thread was ready but not running (a shared machine's other loads,
    // a virtual processor taken away), not work of the window's.
    std::vector<qint64> gaps;
    std::vector<std::pair<qint64, qint64>> gapCpu;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 lastCpu = threadCpuNs();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&]() {
        const qint64 now = clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        gaps.push_back(now - lastTick);
        gapCpu.emplace_back(now - lastTick, cpu - lastCpu);
        lastCpu = cpu;

        lastTick = now;
    });

    QElapsedTimer wall;
    bool finished = false;
    QTimer::singleShot(0, [&]() {
        clock.start();
        ticker.start(10);
        wall.start();
        start->click();
    });
    // Done when the thread has ended and the page has heard of it (the text is hidden).
    QTimer watcher;
    int watched = 0;
    std::vector<double> deletesDuring;
    QObject::connect(&watcher, &QTimer::timeout, [&]() {
        // A row deleted now and then while results pour in.
        if (deletes > 0 && ++watched % 20 == 0 && treeWidget->topLevelItemCount() > 100 &&
            scanning->isVisible()) {
            QTreeWidgetItem* group = treeWidget->topLevelItem(treeWidget->topLevelItemCount() / 2);
            if (group->childCount() > 2) {
                treeWidget->setCurrentItem(group->child(group->childCount() - 1));
                QElapsedTimer one;
                one.start();
                QTest::keyClick(treeWidget, Qt::Key_Delete);
                deletesDuring.push_back(one.nsecsElapsed() / 1e6);
            }
        }
        auto* thread = result->findChild<tarvik::DuplicateFinderThread*>();
        if (thread && thread->isFinished() && scanning->isHidden()) {
            finished = true;
            app.quit();
        }
    });
    watcher.start(50);
    app.exec();
    const double seconds = wall.elapsed() / 1000.0;
    ticker.stop();

    {
        QElapsedTimer layout;
        layout.start();
        treeWidget->doItemsLayout();
        std::printf("one full relayout of the finished tree: %.1f ms\n",
                    layout.nsecsElapsed() / 1e6);
    }
    const auto* thread = result->findChild<tarvik::DuplicateFinderThread*>();
    const tarvik::ScanProgress& progress = thread->progress();
    qint64 groups = treeWidget->topLevelItemCount();
    qint64 rows = 0;
    for (int i = 0; i < treeWidget->topLevelItemCount(); ++i)
        rows += treeWidget->topLevelItem(i)->childCount();

    std::sort(gaps.begin(), gaps.end());
    auto ms = [](qint64 ns) { return ns / 1e6; };
    const qint64 longest = gaps.empty() ? 0 : gaps.back();
    const qint64 p99 = gaps.empty() ? 0 : gaps[size_t(double(gaps.size() - 1) * 0.99)];
    const qint64 median = gaps.empty() ? 0 : gaps[gaps.size() / 2];
    const auto over =
        std::count_if(gaps.begin(), gaps.end(), [](qint64 g) { return g > 100000000; });

    std::printf("engine: %lld files listed, %lld groups, %lld duplicates\n",
                qint64(progress.filesListed), qint64(progress.groups), qint64(progress.duplicates));
    std::printf("scan through the result page: %.2f s, %lld groups, %lld file rows\n", seconds,
                groups, rows);
    std::printf("event-loop gaps (10 ms timer, %zu ticks): longest %.1f ms, 99th percentile "
                "%.1f ms, median %.1f ms, %lld over 100 ms\n",
                gaps.size(), ms(longest), ms(p99), ms(median), qint64(over));
    std::sort(gapCpu.begin(), gapCpu.end());
    qint64 busiest = 0;
    for (const auto& gap : gapCpu)
        busiest = std::max(busiest, gap.second);
    if (!gapCpu.empty())
        std::printf("the window's thread on the processor: %.1f ms of the longest gap, at most "
                    "%.1f ms between two ticks\n",
                    ms(gapCpu.back().second), ms(busiest));
    std::printf("peak memory of the process: %.1f MB\n", peakMemoryKb() / 1024.0);

    bool complete =
        finished && groups == progress.groups && rows == progress.groups + progress.duplicates;
    if (made)
        complete = complete && groups == tree.groups && rows == tree.groupedFiles;
    std::printf("every group in the tree: %s\n", complete ? "yes" : "NO");
    std::printf("longest gap under 100 ms: %s\n", longest < 100000000 ? "yes" : "NO");
    if (!deletesDuring.empty()) {
        std::sort(deletesDuring.begin(), deletesDuring.end());
        std::printf("delete one row during the scan (%zu rows): longest %.1f ms, median %.1f ms\n",
                    deletesDuring.size(), deletesDuring.back(),
                    deletesDuring[deletesDuring.size() / 2]);
    }
    if (deletes > 0)
        benchDelete(result, treeWidget, deletes, "after the scan");
    if (sort || !filters.isEmpty())
        benchSortAndFilter(result, treeWidget, sort, filters, rounds);
    if (marks)
        benchMarks(result, rounds);
    if (trash && !benchTrashMarked(result, treeWidget))
        return 1;
    return complete || deletes > 0 ? 0 : 1;
}
