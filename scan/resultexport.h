#pragma once

#include "scan/scantypes.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVector>

class QIODevice;

namespace tarvik {

struct ExportedFile
{
    QString path;
    // Invalid when the file could not be looked at.
    QDateTime modified;
};

struct ExportedGroup
{
    int number = 0;
    // Empty when unknown.
    QString md5;
    // -1 when unknown.
    qint64 size = -1;
    QVector<ExportedFile> files;
};

enum class ExportFormat { Text, Csv, Json };

// "text", "csv" or "json", as on the command line; "txt" too, as a file suffix. Case is ignored.
bool exportFormatFromName(const QString& name, ExportFormat* format);

// The MD5 of every group, by group identity.
QHash<QUuid, QString> md5ByGroup(const QHash<QString, DigestEntry>& digests);

// Writes the groups to out, which must be open for writing. False when a write failed or stop
// said so; out then holds a part only.
bool writeResults(QIODevice* out, const QVector<ExportedGroup>& groups, ExportFormat format,
                  const StopCheck& stop = StopCheck());

// Writes the groups to path. A plain file (or none yet) is written beside and renamed over
// path only once complete, so a failed or stopped save leaves an existing file as it was; a
// link is followed, and stays a link. A device or named pipe is written into as it is, never
// replaced; "-" is standard output. A folder, a link to nothing and a disk device are refused.
// On failure error says why (empty when stopped).
bool saveResults(const QString& path, const QVector<ExportedGroup>& groups, ExportFormat format,
                 QString* error, const StopCheck& stop = StopCheck());

// Gathers the duplicates of a scan as its sink hands them out, for export once the scan ended.
class ResultCollector
{
public:
    void add(const QUuid& groupId, const QString& firstPath, const QString& path);
    // Groups in the order they were found, the first file first; sizes and times are read
    // from the disk now.
    QVector<ExportedGroup> groups(const QHash<QString, DigestEntry>& digests) const;

private:
    QHash<QUuid, int> mIndex;
    QVector<QUuid> mIds;
    QVector<QStringList> mPaths;
};

} // namespace tarvik
