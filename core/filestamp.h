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

    // For tests only: called with the path of every stamp or facts read, from the reading
    // thread. Null for none.
    using ReadObserver = void (*)(const QString& path);
    static void setReadObserver(ReadObserver observer);
    static void aboutToRead(const QString& path);

    // Same entry at the path, same content identity, size and time.
    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }

    // The entry at the path is still the one stamped, whatever became of its content.
    bool sameEntry(const FileStamp& other) const;
};

// What a row of the result tree shows of a file, read in one go where the file system allows:
// its stamp and its creation time (the birth time where the file system keeps one, else the
// last status change), -1 when unknown. A file that is gone has an invalid stamp.
struct FileFacts
{
    FileStamp stamp;
    qint64 createdMs = -1;

    static FileFacts of(const QString& path);
};

} // namespace tarvik

Q_DECLARE_METATYPE(tarvik::FileStamp)
