#include "actions.h"

#include "gapmeter.h"
#include "ui/treewidget.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

double msSince(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

// The window's thread's own time: on a loaded machine the wall time also counts the time the
// thread waited for a processor.
struct CpuClock
{
    qint64 begin = GapMeter::threadCpuNs();
    double ms() const { return (GapMeter::threadCpuNs() - begin) / 1e6; }
};

// Each action's wall and processor times over the rounds, in the order first done, with their
// medians.
class Timings
{
public:
    void note(const QString& name, double wall, double cpu)
    {
        if (!mWalls.contains(name))
            mNames.append(name);
        mWalls[name].append(wall);
        mCpus[name].append(cpu);
    }

    void printMedians(int rounds) const
    {
        if (rounds < 2)
            return;
        const auto median = [](QVector<double> v) {
            std::sort(v.begin(), v.end());
            return v.at(v.size() / 2);
        };
        for (const QString& name : mNames)
            std::printf("median of %d, %s: %.1f ms (%.1f ms on the processor)\n", rounds,
                        qPrintable(name), median(mWalls.value(name)), median(mCpus.value(name)));
    }

private:
    QStringList mNames;
    QHash<QString, QVector<double>> mWalls, mCpus;
};

int fileRows(const tarvik::TreeWidget* tree)
{
    int rows = 0;
    for (int g = 0; g < tree->topLevelItemCount(); ++g)
        rows += tree->topLevelItem(g)->childCount();
    return rows;
}

// The open message box of the page whose text holds part, or null.
QMessageBox* boxSaying(QWidget* page, const char* part)
{
    for (QMessageBox* box : page->findChildren<QMessageBox*>()) {
        if (box->isVisible() && box->text().contains(QLatin1String(part)))
            return box;
    }
    return nullptr;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    // Asked between events, woken by a timer: a harness that spins on processEvents() takes the
    // processor from the window and the worker it measures. Not a nested QEventLoop either: it
    // would return at once after the scan's QApplication::quit().
    QTimer poll;
    poll.start(10);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

bool benchTrashMarked(QWidget* page, tarvik::TreeWidget* tree)
{
    auto* rule = page->findChild<QAction*>(QStringLiteral("MarkAllButOldestAction"));
    auto* button = page->findChild<QAbstractButton*>(QStringLiteral("TrashMarkedButton"));
    if (!rule || !button) {
        std::printf("trash marked: not on this page\n");
        return false;
    }
    const int before = fileRows(tree);
    QElapsedTimer marking;
    marking.start();
    rule->trigger();
    std::printf("mark all but the oldest: %.1f ms\n", msSince(marking));
    // The marked rows are gathered before the question: the window is away meanwhile.
    QElapsedTimer asking;
    asking.start();
    const CpuClock askingCpu;
    button->click();
    std::printf("trash marked: the question after %.1f ms (%.1f ms on the processor)\n",
                msSince(asking), askingCpu.ms());
    QMessageBox* question = nullptr;
    if (!waitFor([&] { return (question = boxSaying(page, "?")) != nullptr; }, 10000)) {
        std::printf("trash marked: no confirmation\n");
        return false;
    }
    QAbstractButton* accept = nullptr;
    for (QAbstractButton* b : question->buttons()) {
        if (b->text() == QLatin1String("Move to Trash"))
            accept = b;
    }
    GapMeter gaps;
    gaps.start();
    QElapsedTimer clock;
    clock.start();
    accept->click();
    QMessageBox* summary = nullptr;
    // Hours before this round of work on the million-file tree: give up after a while.
    const int limitMs = qEnvironmentVariableIntValue("BENCH_TRASH_LIMIT_S") * 1000;
    const bool ended = waitFor([&] { return (summary = boxSaying(page, "went to")) != nullptr; },
                               limitMs > 0 ? limitMs : 600000);
    const double took = msSince(clock);
    // Rows of the files moved that were still waiting leave as the summary shows.
    QCoreApplication::processEvents();
    gaps.stop();
    const int after = fileRows(tree);
    if (!ended) {
        std::printf("trash marked: no summary after %.1f s, %d rows gone\n", took / 1000,
                    before - fileRows(tree));
        gaps.print("trash marked (unfinished):");
        return false;
    }
    std::printf("trash marked: %.2f s from the confirmation to the summary; %d file rows "
                "before, %d after (%s)\n",
                took / 1000, before, after,
                qPrintable(summary->text().replace(QLatin1Char('\n'), QLatin1String(" / "))));
    gaps.print("trash marked:");
    summary->close();
    return true;
}

void benchDelete(QWidget* page, tarvik::TreeWidget* tree, int count, const char* when)
{
    Q_UNUSED(page)
    std::vector<double> times;
    std::vector<double> cpuTimes;
    const int groups = tree->topLevelItemCount();
    for (int i = 0; i < count && groups > 0; ++i) {
        QTreeWidgetItem* group = tree->topLevelItem(int(qint64(groups - 1) * i / qMax(1, count)));
        if (group->childCount() < 2)
            continue;
        QTreeWidgetItem* row = group->child(group->childCount() - 1);
        tree->setCurrentItem(row);
        QElapsedTimer clock;
        clock.start();
        const CpuClock cpu;
        QTest::keyClick(tree, Qt::Key_Delete);
        times.push_back(msSince(clock));
        cpuTimes.push_back(cpu.ms());
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    if (times.empty())
        return;
    std::printf("delete one row %s (%zu rows): longest %.1f ms, median %.1f ms (on the "
                "processor: longest %.1f ms, median %.1f ms)\n",
                when, times.size(), times.back(), times[times.size() / 2], cpuTimes.back(),
                cpuTimes[cpuTimes.size() / 2]);
}

void benchMarks(QWidget* page, int rounds)
{
    Timings timings;
    for (int round = 0; round < rounds; ++round) {
        for (const char* name : {"MarkAllButOldestAction", "ClearMarksAction"}) {
            auto* action = page->findChild<QAction*>(QLatin1String(name));
            if (!action) {
                std::printf("marks: not on this page\n");
                return;
            }
            QElapsedTimer clock;
            clock.start();
            const CpuClock cpu;
            action->trigger();
            QCoreApplication::processEvents();
            const double wall = msSince(clock);
            std::printf("%s and the events after it: %.1f ms (%.1f ms on the processor)\n", name,
                        wall, cpu.ms());
            timings.note(QLatin1String(name), wall, cpu.ms());
        }
    }
    timings.printMedians(rounds);
}

void benchSortAndFilter(QWidget* page, tarvik::TreeWidget* tree, bool sort,
                        const QStringList& filters, int rounds)
{
    Timings timings;
    const char* orders[] = {"SortByWasteAction", "SortBySizeAction", "SortByCopiesAction",
                            "SortByPathAction", "SortByFoundAction"};
    auto* edit = page->findChild<QLineEdit*>(QStringLiteral("ResultFilterEdit"));
    for (int round = 0; round < rounds; ++round) {
        for (const char* name : orders) {
            if (!sort)
                break;
            auto* action = page->findChild<QAction*>(QLatin1String(name));
            if (!action) {
                std::printf("sort: not on this page\n");
                break;
            }
            QElapsedTimer clock;
            clock.start();
            const CpuClock cpu;
            action->trigger();
            const double wall = msSince(clock);
            std::printf("sort %s: %.1f ms (%.1f ms on the processor), %d groups\n", name, wall,
                        cpu.ms(), tree->topLevelItemCount());
            timings.note(QStringLiteral("sort %1").arg(QLatin1String(name)), wall, cpu.ms());
            QCoreApplication::processEvents();
        }
        if (!edit) {
            std::printf("filter: not on this page\n");
            continue;
        }
        for (const QString& text : filters + QStringList(QString())) {
            edit->setText(text);
            QElapsedTimer clock;
            clock.start();
            const CpuClock cpu;
            QMetaObject::invokeMethod(page, "arrange");
            const double wall = msSince(clock);
            std::printf("filter \"%s\": %.1f ms (%.1f ms on the processor), %d groups shown\n",
                        qPrintable(text), wall, cpu.ms(), tree->topLevelItemCount());
            timings.note(QStringLiteral("filter \"%1\"").arg(text), wall, cpu.ms());
            // What follows in the event loop (the repaint; any tidying left for later) counts
            // towards what the user waits for too.
            QCoreApplication::processEvents();
            timings.note(QStringLiteral("filter \"%1\" and the events after it").arg(text),
                         msSince(clock), cpu.ms());
        }
    }
    timings.printMedians(rounds);
}
