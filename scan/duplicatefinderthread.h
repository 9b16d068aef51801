#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUuid>

namespace tarvik {

// MD5 of the whole file as 32 lowercase hex digits; empty when the file cannot be read to
// its end.
QString fileDigest(const QString& path);

struct DigestEntry
{
    QUuid groupId;
    QString firstPath;
};

// Walks mFolders and posts a DuplicateEvent to parent() for every file whose content was met
// before. One object serves one scan. A stop is asked with requestInterruption(); the
// destructor asks for it too and waits, so the object can be deleted while it runs.
class DuplicateFinderThread : public QThread
{
    Q_OBJECT

public:
    explicit DuplicateFinderThread(QObject* parent = nullptr);
    ~DuplicateFinderThread() override;

    QHash<QString, DigestEntry> mDigests;
    QStringList mFolders;
    QString mFilter;

protected:
    void run() override;

private:
    // A file met again in one scan (overlapping folders, links, hard links) is passed over.
    struct FileId
    {
        quint64 device = 0;
        quint64 inode = 0;
        QString canonicalPath;

        bool operator==(const FileId& other) const
        {
            return device == other.device && inode == other.inode &&
                   canonicalPath == other.canonicalPath;
        }
    };
    friend uint qHash(const FileId& id, uint seed)
    {
        return ::qHash(id.inode, seed) ^ ::qHash(id.device, seed) ^ ::qHash(id.canonicalPath, seed);
    }

    void processFile(const QString& path);
    bool firstVisit(const QString& path);

    QSet<FileId> mVisited;
};

} // namespace tarvik
