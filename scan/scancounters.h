#pragma once

#include <QtGlobal>
#include <atomic>

namespace tarvik {

// Process-wide tallies of the scan engine, read by the benchmark.
struct ScanCounters
{
    std::atomic<qint64> filesListed{0};
    std::atomic<qint64> bytesListed{0};
    std::atomic<qint64> bytesRead{0};

    void reset()
    {
        filesListed = 0;
        bytesListed = 0;
        bytesRead = 0;
    }
};

ScanCounters& scanCounters();

} // namespace tarvik
