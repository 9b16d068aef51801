#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUuid>

namespace tarvik {

class ScanEngine;

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

    // The digest of every duplicate group found, with the group's identity and first path.
    QHash<QString, DigestEntry> mDigests;
    QStringList mFolders;
    QString mFilter;

protected:
    void run() override;

private:
    void walk();
    void processFile(const QString& path);

    ScanEngine* mEngine = nullptr;
};

} // namespace tarvik
