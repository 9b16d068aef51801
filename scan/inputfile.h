#pragma once

#include <QHash>
#include <QString>
#include <memory>

class QFile;

namespace tarvik {

// A file as the engine names it: the path as it keeps paths (encodePath) and, where the system
// allows, a folder already open with the name in it, which spares looking up the whole path.
struct FileName
{
    const char* path = nullptr;
    int folder = -1;
    const char* name = nullptr;
};

// A folder held open for FileName::folder; -1 where that cannot be had.
int openFolder(const char* path);
void closeFolder(int folder);

// A read-only regular file for the scan, read by position. Whatever a name stands for (a FIFO,
// a device), opening never blocks and only a regular file counts as open.
class InputFile
{
public:
    explicit InputFile(const QString& path);
    explicit InputFile(const FileName& name);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const;
    // A hint that the whole file will be read from the start.
    void expectSequential(qint64 size);
    // A hint that these bytes will be read soon: the system may start reading them now.
    void willNeed(qint64 offset, qint64 length);
    // Reads up to count bytes from where the last read ended, fewer only at the end of the
    // file; -1 on failure.
    qint64 read(char* data, qint64 count)
    {
        const qint64 done = readAt(data, count, mOffset);
        if (done > 0)
            mOffset += done;
        return done;
    }
    qint64 readAt(char* data, qint64 count, qint64 offset);
    // One read call where the system allows it: may return fewer bytes before the end.
    qint64 readSome(char* data, qint64 count, qint64 offset);
    // The size when the file was opened.
    qint64 size() const { return mSize; }

private:
    qint64 mOffset = 0;
    qint64 mSize = -1;
    int mFd = -1;
    std::unique_ptr<QFile> mFile;
};

// Which file a path names, so that a file reached twice (hard links, links, a folder listed
// twice) is met once: device and inode where the system has them, else the canonical path.
struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    QString canonicalPath;

    bool operator==(const FileId& o) const
    {
        return device == o.device && inode == o.inode && canonicalPath == o.canonicalPath;
    }
};

inline uint qHash(const FileId& id, uint seed = 0)
{
    return ::qHash(id.inode, seed) ^ ::qHash(id.device, seed ^ 0x9e3779b9u) ^
           ::qHash(id.canonicalPath, seed);
}

// The identity and size of a regular file (links followed); false for anything else.
bool regularFileId(const QString& path, FileId* id, qint64* size);

// Paths as the engine keeps them: the file system's own bytes where names are bytes, UTF-8
// elsewhere.
QByteArray encodePath(const QString& path);
QString decodePath(const char* path, qsizetype size);

} // namespace tarvik
