#pragma once

// Gathers the duplicates of a scan as the engine hands them out, for export once the scan has
// ended: its groups in the order they were found, the first file first. A path costs little
// more than its UTF-8 bytes until it is written, so that the results of a scan of millions of
// files fit beside the engine.

#include "scan/pathstore.h"
#include "scan/resultexport.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <mutex>
#include <vector>

namespace tarvik {

class ResultCollector : public ExportSource
{
public:
    // As the engine's duplicate sink. The two sinks may be called from different threads.
    void add(const QUuid& groupId, const QString& firstPath, const QString& path);
    // As the engine's digest sink. Of groups that share an MD5 (contents that collide), the
    // first whose MD5 came keeps it, as in the thread's table of digests.
    void addDigest(const QUuid& groupId, const QByteArray& md5);
    // Once the scan has ended, before the groups are read.
    void finish();

    int groupCount() const override { return int(mOrder.size()); }
    // Sizes and times are read from the disk now.
    ExportedGroup group(int index) const override;

private:
    static constexpr quint32 kNone = 0xffffffffu;

    struct Group
    {
        quint32 firstFile = kNone;
        quint32 lastFile = kNone;
        // Which digest this was, in the order they came; kNone while unknown.
        quint32 digestOrder = kNone;
        char md5[16];
    };
    struct File
    {
        // Into mPaths, or, negative, into mOddPaths.
        qint64 path = 0;
        quint32 next = kNone;
    };

    quint32 groupOf(const QUuid& groupId);
    void append(Group& group, const QString& path);
    QString path(const File& file) const;

    std::mutex mMutex;
    QHash<QUuid, quint32> mIndex;
    std::vector<Group> mGroups;
    // The groups by number: in the order of their first duplicate.
    std::vector<quint32> mOrder;
    std::vector<File> mFiles;
    PathStore mPaths;
    // The few paths that UTF-8 would not give back as they were.
    QStringList mOddPaths;
    quint32 mDigests = 0;
};

} // namespace tarvik
