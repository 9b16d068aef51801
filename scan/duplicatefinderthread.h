#pragma once

#include "scan/scanoptions.h"
#include "scan/scantypes.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUuid>
#include <memory>

namespace tarvik {

class DeliveryTally;
class ScanEngine;

// MD5 of the whole file as 32 lowercase hex digits; empty when the file cannot be read to
// its end or stop said so between blocks.
QString fileDigest(const QString& path, const StopCheck& stop = StopCheck());

// Walks mFolders and posts a DuplicateEvent to parent() for every file whose content was met
// before. One object serves one scan. A stop is asked with requestInterruption(); the
// destructor asks for it too and waits, so the object can be deleted while it runs.
class DuplicateFinderThread : public QThread
{
    Q_OBJECT

public:
    // Posted events still waiting for delivery at which the scan holds back, and the level it
    // waits for before it posts again.
    static constexpr int kMaxUndelivered = 256;
    static constexpr int kResumeAt = kMaxUndelivered / 2;

    explicit DuplicateFinderThread(QObject* parent = nullptr);
    ~DuplicateFinderThread() override;

    // The digest of every duplicate group found, with the group's identity and first path.
    // Written by the scan's own threads: read it only after finished().
    QHash<QString, DigestEntry> mDigests;
    QStringList mFolders;
    QString mFilter;
    // What the walk lists besides the filter, and whether the digest cache (in
    // cacheDirectory()) is used; set, like the two above, before start().
    ScanOptions mOptions;

    // Live figures of this scan, readable from any thread at any time.
    const ScanProgress& progress() const { return mProgress; }

    // Why the scan failed, empty when it did not; what it found until then was handed out.
    // Read it only after finished().
    QString failure() const { return mFailure; }
    // Why the digest cache could not be used or kept, empty when it could; after finished().
    QString cacheWarning() const { return mCacheWarning; }

protected:
    void run() override;

private:
    void walk();
    void processFile(const QString& path);
    bool post(const QUuid& groupId, const QString& firstPath, const QString& path);

    ScanEngine* mEngine = nullptr;
    ScanProgress mProgress;
    std::shared_ptr<DeliveryTally> mTally;
    // Groups whose first event has gone out: only that one carries the first file's facts.
    QSet<QUuid> mPostedGroups;
    QString mFailure;
    QString mCacheWarning;
};

} // namespace tarvik
