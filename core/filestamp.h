#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

namespace tarvik {

// What a file was when its row was made: which file (device and inode of the entry at the
// path and of what it resolves to; the canonical path where there are no inodes), its size
// and its modification time. A file is only trashed while its stamp is unchanged, so a row
// never deletes a file that was replaced, rewritten or moved in behind it.
struct FileStamp
{
    bool valid = false;
    quint64 entryDevice = 0;
    quint64 entryInode = 0;
    quint64 targetDevice = 0;
    quint64 targetInode = 0;
    QString canonicalPath;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    static FileStamp of(const QString& path);

    // Same entry at the path, same content identity, size and time.
    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }

    // The entry at the path is still the one stamped, whatever became of its content.
    bool sameEntry(const FileStamp& other) const;
};

} // namespace tarvik

Q_DECLARE_METATYPE(tarvik::FileStamp)
