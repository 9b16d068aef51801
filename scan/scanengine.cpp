#include "scan/scanengine.h"

#include "scan/inputfile.h"
#include "scan/scancache.h"

#include <cstring>

namespace tarvik {

ScanEngine::ScanEngine(StopCheck stop, DuplicateSink sink, QHash<QString, DigestEntry>* digests,
                       ScanProgress* progress)
    : mProgress(progress),
      mPipeline(mPaths, std::move(stop), std::move(sink), digests, GroupDigestSink(), progress)
{
    mFlushTimer.start();
}

ScanEngine::ScanEngine(StopCheck stop, DuplicateSink sink, GroupDigestSink digestSink,
                       ScanProgress* progress)
    : mProgress(progress),
      mPipeline(mPaths, std::move(stop), std::move(sink), nullptr, std::move(digestSink), progress)
{
    mFlushTimer.start();
}

void ScanEngine::setCache(ScanCache* cache)
{
    mCache = cache;
    mPipeline.setCache(cache);
}

void ScanEngine::addFile(const QString& path)
{
    mPipeline.rethrowFailure();
    if (mPipeline.stopRequested())
        return;
    FileId id;
    qint64 size = 0;
    if (!regularFileId(path, &id, &size))
        return;
    if (!id.canonicalPath.isEmpty()) {
        if (mVisitedPaths.contains(id.canonicalPath))
            return;
        mVisitedPaths.insert(id.canonicalPath);
    } else if (!mVisited.insert(id.device, id.inode)) {
        return;
    }
    const QByteArray native = encodePath(path);
    const int cut = native.lastIndexOf('/') + 1;
    add(native.constData(), size_t(cut), native.constData() + cut, size_t(native.size() - cut),
        size, nullptr);
}

void ScanEngine::addListed(const ListedFile& file)
{
    mPipeline.rethrowFailure();
    if (mPipeline.stopRequested() || !mVisited.insert(file.device, file.inode))
        return;
    add(file.folder->constData(), size_t(file.folder->size()), file.name, file.nameSize, file.size,
        &file);
}

quint32 ScanEngine::track(const ListedFile* listed, qint64 size)
{
    if (!mCache || !listed || (listed->mtimeNs == 0 && listed->ctimeNs == 0))
        return 0;
    return mCache->track({listed->device, listed->inode, size, listed->mtimeNs, listed->ctimeNs},
                         listed->folder->constData());
}

quint32 ScanEngine::trackFirst(const FileRef& first, qint64 size)
{
    CacheStamp stamp;
    if (!mCache || !stampOf(mPaths.path(first, &mPathBuffer), &stamp) || stamp.size != size)
        return 0;
    return mCache->track(stamp, mPathBuffer.c_str());
}

void ScanEngine::add(const char* folder, size_t folderSize, const char* name, size_t nameSize,
                     qint64 size, const ListedFile* listed)
{
    // A walk hands over the files of one folder together: keep the folder once.
    if (!mHaveFolder || size_t(mLastFolder.size()) != folderSize ||
        std::memcmp(mLastFolder.constData(), folder, folderSize) != 0) {
        if (!mPaths.add(folder, folderSize, &mLastFolderRef))
            return;
        mLastFolder = QByteArray(folder, int(folderSize));
        mHaveFolder = true;
    }
    FileRef file;
    file.folder = mLastFolderRef;
    if (!mPaths.add(name, nameSize, &file.name))
        return;
    if (mProgress) {
        ScanProgress::add(mProgress->filesListed, 1);
        ScanProgress::add(mProgress->bytesListed, size);
    }

    SizeSlot& slot = mSizes[size];
    if (slot.first.isNull()) {
        // The first file of a size cannot be a duplicate yet; it is read only if another comes.
        slot.first = file;
    } else {
        // The second file of a size brings the first into the comparison too.
        const int newcomers = slot.bucket ? 1 : 2;
        if (!slot.bucket) {
            // Only the files that are looked at are looked up: the first of a size only now.
            slot.first.fact = trackFirst(slot.first, size);
            slot.bucket = mPipeline.newBucket(size, slot.first);
        }
        file.fact = track(listed, size);
        if (mProgress) {
            ScanProgress::add(mProgress->filesToCompare, newcomers);
            ScanProgress::add(mProgress->bytesToCompare, newcomers * size);
        }
        mPipeline.stage(file, slot.bucket);
    }
    // Work and results move in batches, but never wait long behind a slow walk.
    if (++mSinceFlush >= kBatch || mFlushTimer.hasExpired(kFlushMs)) {
        mSinceFlush = 0;
        mFlushTimer.restart();
        mPipeline.flush();
    }
}

void ScanEngine::finish()
{
    if (mProgress)
        mProgress->walkDone = true;
    mPipeline.finish();
}

} // namespace tarvik
