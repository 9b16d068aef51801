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

// The groups to write, handed over one at a time, so that a long list need not be spelt out
// whole in memory.
class ExportSource
{
public:
    virtual ~ExportSource() = default;
    virtual int groupCount() const = 0;
    virtual ExportedGroup group(int index) const = 0;
};

// Groups spelt out already.
class ExportedGroups : public ExportSource
{
public:
    explicit ExportedGroups(const QVector<ExportedGroup>& groups) : mGroups(groups) {}
    int groupCount() const override { return mGroups.size(); }
    ExportedGroup group(int index) const override { return mGroups.at(index); }

private:
    const QVector<ExportedGroup>& mGroups;
};

// "text", "csv" or "json", as on the command line; "txt" too, as a file suffix. Case is ignored.
bool exportFormatFromName(const QString& name, ExportFormat* format);

// The MD5 of every group, by group identity.
QHash<QUuid, QString> md5ByGroup(const QHash<QString, DigestEntry>& digests);

// Writes the groups to out, which must be open for writing. False when a write failed or stop
// said so; out then holds a part only.
bool writeResults(QIODevice* out, const QVector<ExportedGroup>& groups, ExportFormat format,
                  const StopCheck& stop = StopCheck());
bool writeResults(QIODevice* out, const ExportSource& groups, ExportFormat format,
                  const StopCheck& stop = StopCheck());

// Writes the groups to path. A plain file (or none yet) is written beside and renamed over
// path only once complete, so a failed or stopped save leaves an existing file as it was; a
// link is followed, and stays a link. A device or named pipe is written into as it is, never
// replaced; "-" is standard output. A folder, a link to nothing and a disk device are refused.
// On failure error says why (empty when stopped).
bool saveResults(const QString& path, const QVector<ExportedGroup>& groups, ExportFormat format,
                 QString* error, const StopCheck& stop = StopCheck());
bool saveResults(const QString& path, const ExportSource& groups, ExportFormat format,
                 QString* error, const StopCheck& stop = StopCheck());

} // namespace tarvik
