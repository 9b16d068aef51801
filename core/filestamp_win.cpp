#include "core/filestamp.h"

#include <QDateTime>
#include <QFileInfo>

namespace tarvik {

namespace {

FileStamp stampFrom(const QFileInfo& info)
{
    FileStamp stamp;
    if (!info.isFile())
        return stamp;
    stamp.valid = true;
    stamp.canonicalPath = info.canonicalFilePath();
    stamp.size = info.size();
    stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return stamp;
}

} // namespace

FileStamp FileStamp::of(const QString& path)
{
    if (path.isEmpty())
        return FileStamp();
    aboutToRead(path);
    return stampFrom(QFileInfo(path));
}

FileFacts FileFacts::of(const QString& path)
{
    FileFacts facts;
    if (path.isEmpty())
        return facts;
    FileStamp::aboutToRead(path);
    const QFileInfo info(path);
    facts.stamp = stampFrom(info);
    if (!facts.stamp.valid)
        return facts;
    QDateTime created = info.birthTime();
    if (!created.isValid())
        created = info.metadataChangeTime();
    facts.createdMs = created.isValid() ? created.toMSecsSinceEpoch() : -1;
    return facts;
}

} // namespace tarvik
