#include "core/filestamp.h"

#include <QDateTime>
#include <QFileInfo>

namespace tarvik {

FileStamp FileStamp::of(const QString& path)
{
    FileStamp stamp;
    if (path.isEmpty())
        return stamp;
    const QFileInfo info(path);
    if (!info.isFile())
        return stamp;
    stamp.valid = true;
    stamp.canonicalPath = info.canonicalFilePath();
    stamp.size = info.size();
    stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return stamp;
}

} // namespace tarvik
