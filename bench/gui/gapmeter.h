#pragma once

// How long the GUI thread goes without getting back to its event loop: the gaps between the
// ticks of a 10 ms timer, with the CPU time the thread spent in each.

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

class GapMeter
{
public:
    GapMeter()
    {
        mTicker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&mTicker, &QTimer::timeout, [this]() { tick(); });
    }

    void start()
    {
        mGaps.clear();
        mClock.start();
        mLastTick = 0;
        mLastCpu = threadCpuNs();
        mTicker.start(10);
    }
    void stop() { mTicker.stop(); }

    qint64 longestNs() const
    {
        qint64 longest = 0;
        for (const auto& gap : mGaps)
            longest = std::max(longest, gap.first);
        return longest;
    }

    // One line: longest gap, 99th percentile, median, how many over 100 ms, and the CPU time of
    // the longest.
    void print(const char* what) const
    {
        std::vector<std::pair<qint64, qint64>> gaps = mGaps;
        std::sort(gaps.begin(), gaps.end());
        auto ms = [](qint64 ns) { return ns / 1e6; };
        const auto at = [&](double q) {
            return gaps.empty() ? 0 : gaps[size_t(double(gaps.size() - 1) * q)].first;
        };
        const auto over = std::count_if(gaps.begin(), gaps.end(),
                                        [](const auto& g) { return g.first > 100000000; });
        qint64 busiest = 0;
        qint64 busy = 0;
        for (const auto& gap : gaps) {
            busiest = std::max(busiest, gap.second);
            busy += gap.second;
        }
        std::printf("%s event-loop gaps (10 ms timer, %zu ticks): longest %.1f ms, 99th "
                    "percentile %.1f ms, median %.1f ms, %lld over 100 ms; the window's thread "
                    "on the processor %.1f ms of the longest, at most %.1f ms between two "
                    "ticks, %.1f ms in all\n",
                    what, gaps.size(), ms(at(1.0)), ms(at(0.99)), ms(at(0.5)), qint64(over),
                    gaps.empty() ? 0.0 : ms(gaps.back().second), ms(busiest), ms(busy));
    }

    static qint64 threadCpuNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

private:
    void tick()
    {
        const qint64 now = mClock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        mGaps.emplace_back(now - mLastTick, cpu - mLastCpu);
        mLastTick = now;
        mLastCpu = cpu;
    }

    QTimer mTicker;
    QElapsedTimer mClock;
    qint64 mLastTick = 0;
    qint64 mLastCpu = 0;
    std::vector<std::pair<qint64, qint64>> mGaps;
};
