#pragma once

#include "core/stopcheck.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <QtGlobal>
#include <atomic>
#include <functional>

namespace tarvik {

// Receives each duplicate found, in walk order, on the thread that feeds the engine: the group
// it belongs to, the first file met with that content, and the file just found. Returning false
// ends the scan.
using DuplicateSink =
    std::function<bool(const QUuid& groupId, const QString& firstPath, const QString& path)>;

// Receives each group's MD5, 16 bytes, once computed: from the engine's worker threads, one call
// at a time. Where several groups share an MD5 (contents that collide), each gets its call.
using GroupDigestSink = std::function<void(const QUuid& groupId, const QByteArray& md5)>;

// One file as a walk hands it to the engine, with what the walk learnt of it on the way. The
// folder is kept as the engine keeps paths (encodePath) and ends with a separator.
struct ListedFile
{
    const QByteArray* folder = nullptr;
    const char* name = nullptr;
    size_t nameSize = 0;
    qint64 size = 0;
    quint64 device = 0;
    quint64 inode = 0;
    // In ns; both 0 where the walk could not tell.
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
};

// One entry per duplicate group, under the group's MD5.
struct DigestEntry
{
    QUuid groupId;
    QString firstPath;
};

// What one scan has done so far. The engine's threads only add; anyone may read at any time
// (a timer in the window, a progress line on a terminal), so each figure is its own atomic and
// the set is only roughly coherent while the scan runs. Once the scan has returned, the
// figures are final and agree with the duplicates handed out.
struct ScanProgress
{
    std::atomic<qint64> filesListed{0};
    std::atomic<qint64> bytesListed{0};
    // Files that share their size with another, and so have to be looked at.
    std::atomic<qint64> filesToCompare{0};
    std::atomic<qint64> bytesToCompare{0};
    std::atomic<qint64> filesCompared{0};
    std::atomic<qint64> bytesCompared{0};
    // Bytes actually read from disk, including re-reads.
    std::atomic<qint64> bytesRead{0};
    // Counted as the duplicates are handed out, in walk order.
    std::atomic<qint64> groups{0};
    std::atomic<qint64> duplicates{0};
    std::atomic<qint64> reclaimableBytes{0};
    // Files whose comparison the digest cache settled without reading them.
    std::atomic<qint64> filesFromCache{0};
    std::atomic<bool> walkDone{false};

    static void add(std::atomic<qint64>& figure, qint64 amount)
    {
        figure.fetch_add(amount, std::memory_order_relaxed);
    }
};

} // namespace tarvik
