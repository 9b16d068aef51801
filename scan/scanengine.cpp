#include "scan/scanengine.h"

#include "scan/contentreader.h"
#include "scan/md5.h"

#include <QThread>
#include <algorithm>
#include <cstring>
#include <limits>

namespace tarvik {

namespace {

// Buckets with more classes than this find them through an index instead of a scan.
constexpr size_t kIndexFrom = 16;

size_t slotOf(quint64 key, size_t mask)
{
    return size_t((key * 0x9e3779b97f4a7c15ull) >> 24) & mask;
}

} // namespace

struct ScanEngine::Worker
{
    Worker(const StopCheck& stop, ScanProgress* progress) : reader(stop, progress) {}
    ~Worker()
    {
        for (const OpenFolder& f : folders)
            closeFolder(f.fd);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    ContentReader reader;
    std::string firstPath;
    std::string secondPath;
    std::vector<quint32> candidates;
    // The small file whose bytes are still in one of the reader's buffers.
    bool holding = false;
    FileRef held;
    int heldBuffer = 0;
    // The folders of the latest files, held open: files come mostly in walk order, several
    // from one folder, and a name looked up in an open folder spares the walk down its path.
    struct OpenFolder
    {
        PathStore::Ref folder = 0;
        int fd = -1;
        quint64 used = 0;
    };
    OpenFolder folders[8];
    quint64 uses = 0;
    // New groups of the bucket in hand, queued for their MD5 when the bucket is let go.
    std::vector<PendingDigest> found;
    std::vector<char> laneBuffers;
};

namespace {

// Digests taken at a time, so that lanes that finish are refilled from the same batch.
constexpr int kDigestBatch = 32;
// Bytes read for one lane at a time, a whole number of blocks.
constexpr qint64 kLaneChunk = 256 * 1024;

} // namespace

ScanEngine::ScanEngine(StopCheck stop, DuplicateSink sink, QHash<QString, DigestEntry>* digests,
                       ScanProgress* progress)
    : mStop(std::move(stop)), mSink(std::move(sink)), mDigests(digests), mProgress(progress)
{
    mWorkerCount = qBound(1, QThread::idealThreadCount(), kMaxWorkers);
    mFlushTimer.start();
}

ScanEngine::~ScanEngine()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mQuit = true;
    }
    mWorkReady.notify_all();
    for (std::thread& worker : mWorkers)
        worker.join();
}

void ScanEngine::startWorkers()
{
    for (int i = 0; i < mWorkerCount; ++i)
        mWorkers.emplace_back(&ScanEngine::workerLoop, this);
}

void ScanEngine::addFile(const QString& path)
{
    if (stopRequested())
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
        size);
}

void ScanEngine::addListed(const ListedFile& file)
{
    if (stopRequested() || !mVisited.insert(file.device, file.inode))
        return;
    add(file.folder->constData(), size_t(file.folder->size()), file.name, file.nameSize, file.size);
}

void ScanEngine::add(const char* folder, size_t folderSize, const char* name, size_t nameSize,
                     qint64 size)
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
    count(&ScanProgress::filesListed, 1);
    count(&ScanProgress::bytesListed, size);

    // A name is never at the start of the store, so an empty reference means no file yet.
    SizeSlot& slot = mSizes[size];
    SizeBucket* bucket = slot.bucket;
    if (!bucket && !(slot.first == FileRef())) {
        // The second file of a size brings the first into the comparison too.
        mBucketStore.push_back(std::make_unique<SizeBucket>());
        bucket = slot.bucket = mBucketStore.back().get();
        bucket->size = size;
        bucket->pendingFirst = slot.first;
        bucket->listed = 1;
    }
    if (!bucket) {
        // The first file of a size cannot be a duplicate yet; it is read only if another comes.
        slot.first = file;
    } else {
        const int newcomers = ++bucket->listed == 2 ? 2 : 1;
        count(&ScanProgress::filesToCompare, newcomers);
        count(&ScanProgress::bytesToCompare, newcomers * size);
        mStaged.emplace_back(file, bucket);
    }
    // Work and results move in batches, but never wait long behind a slow walk.
    if (++mSinceFlush >= kBatch || mFlushTimer.hasExpired(kFlushMs)) {
        mSinceFlush = 0;
        mFlushTimer.restart();
        submit();
        drain();
    }
}

// Hands the staged files to the workers in one go, holding back while too many wait.
void ScanEngine::submit()
{
    if (mStaged.empty())
        return;
    if (mWorkers.empty())
        startWorkers();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mJobs.size() < size_t(kMaxQueued))
                break;
        }
        if (!waitForFront() || !drain())
            return;
    }
    std::unique_lock<std::mutex> lock(mMutex);
    bool woke = false;
    for (const auto& staged : mStaged) {
        mJobs.emplace_back();
        Job* job = &mJobs.back();
        job->file = staged.first;
        SizeBucket* bucket = staged.second;
        job->bucket = bucket;
        if (bucket->tail)
            bucket->tail->next = job;
        else
            bucket->head = job;
        bucket->tail = job;
        if (!bucket->scheduled) {
            bucket->scheduled = true;
            mReady.push_back(bucket);
            woke = true;
        }
    }
    mStaged.clear();
    lock.unlock();
    if (woke)
        mWorkReady.notify_all();
}

// Waits until the oldest job is done; false when the scan was stopped instead.
bool ScanEngine::waitForFront()
{
    std::unique_lock<std::mutex> lock(mMutex);
    mJobDone.wait(lock, [this] { return mStopped || mJobs.empty() || mJobs.front().done; });
    return !mStopped && !stopRequested();
}

void ScanEngine::finish()
{
    if (mProgress)
        mProgress->walkDone = true;
    if (!stopRequested())
        submit();
    while (!stopRequested()) {
        if (!drain())
            return;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            if (mJobs.empty()) {
                // The groups are all out; their digests may still be on the way.
                mJobDone.wait(
                    lock, [this] { return mStopped || (mDigestQueue.empty() && mDigesting == 0); });
                return;
            }
        }
        waitForFront();
    }
    handOverFound();
}

// A stopped scan still hands over every duplicate already confirmed, in walk order, those behind
// a file not yet resolved too: a group's first file is resolved before any other of its files.
void ScanEngine::handOverFound()
{
    std::vector<Job> found;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Job& job : mJobs) {
            if (job.done && job.outcome == Outcome::Duplicate)
                found.push_back(job);
        }
    }
    for (const Job& job : found) {
        if (!deliver(job))
            return;
    }
}

bool ScanEngine::drain()
{
    std::vector<Job> ready;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mJobs.empty() && mJobs.front().done) {
            if (mJobs.front().outcome == Outcome::Duplicate)
                ready.push_back(std::move(mJobs.front()));
            mJobs.pop_front();
        }
    }
    for (const Job& job : ready) {
        if (!deliver(job))
            return false;
    }
    return true;
}

bool ScanEngine::deliver(const Job& job)
{
    if (mSink && !mSink(job.groupId, textOf(job.first), textOf(job.file)))
        return false;
    count(&ScanProgress::groups, job.opensGroup ? 1 : 0);
    count(&ScanProgress::duplicates, 1);
    count(&ScanProgress::reclaimableBytes, job.bucket->size);
    return true;
}

const char* ScanEngine::pathOf(const FileRef& file, std::string* buffer) const
{
    buffer->assign(mPaths.at(file.folder));
    buffer->append(mPaths.at(file.name));
    return buffer->c_str();
}

FileName ScanEngine::nameOf(Worker& w, const FileRef& file, std::string* buffer) const
{
    FileName name;
    name.path = pathOf(file, buffer);
    name.name = mPaths.at(file.name);
    // The least recently used folder gives way, never one handed out for the same comparison.
    Worker::OpenFolder* oldest = &w.folders[0];
    for (Worker::OpenFolder& f : w.folders) {
        if (f.fd >= 0 && f.folder == file.folder) {
            f.used = ++w.uses;
            name.folder = f.fd;
            return name;
        }
        if (f.used < oldest->used)
            oldest = &f;
    }
    closeFolder(oldest->fd);
    oldest->folder = file.folder;
    oldest->fd = openFolder(mPaths.at(file.folder));
    oldest->used = ++w.uses;
    name.folder = oldest->fd;
    return name;
}

QString ScanEngine::textOf(const FileRef& file) const
{
    std::string path;
    pathOf(file, &path);
    return decodePath(path.data(), qsizetype(path.size()));
}

// A worker takes every job waiting in one bucket and resolves them in order; the bucket is
// its own until they are done, so its classes need no lock.
void ScanEngine::workerLoop()
{
    Worker w(mStop, mProgress);
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mWorkReady.wait(lock, [this] { return mQuit || !mReady.empty() || digestsDue(); });
        if (mQuit)
            return;
        if (digestsDue()) {
            // A fair share by bytes, so that a few large files are spread over the cores.
            std::vector<PendingDigest> batch;
            const qint64 share = mDigestBytes / mWorkerCount;
            qint64 taken = 0;
            while (!mDigestQueue.empty() && batch.size() < size_t(kDigestBatch) &&
                   (batch.empty() || taken < share)) {
                taken += mDigestQueue.front().size;
                batch.push_back(std::move(mDigestQueue.front()));
                mDigestQueue.pop_front();
            }
            mDigestBytes -= taken;
            if (!mDigestQueue.empty())
                mWorkReady.notify_one();
            ++mDigesting;
            lock.unlock();
            digest(w, batch);
            lock.lock();
            --mDigesting;
            mJobDone.notify_all();
            continue;
        }
        SizeBucket* bucket = mReady.front();
        mReady.pop_front();
        Job* jobs = bucket->head;
        bucket->head = bucket->tail = nullptr;
        lock.unlock();
        bool stopped = false;
        for (Job* job = jobs; job && !stopped; job = job->next) {
            job->outcome = stopRequested() ? Outcome::Stopped : resolve(w, *bucket, *job);
            stopped = job->outcome == Outcome::Stopped;
        }
        lock.lock();
        if (stopped) {
            mStopped = true;
            mJobDone.notify_all();
            return;
        }
        for (Job* job = jobs; job; job = job->next) {
            job->done = true;
            count(&ScanProgress::filesCompared, 1);
            count(&ScanProgress::bytesCompared, bucket->size);
        }
        if (bucket->head)
            mReady.push_back(bucket);
        else
            bucket->scheduled = false;
        for (PendingDigest& found : w.found) {
            mDigestBytes += found.size;
            mDigestQueue.push_back(std::move(found));
        }
        if (bucket->head || !w.found.empty())
            mWorkReady.notify_one();
        w.found.clear();
        mJobDone.notify_all();
    }
}

// Files first, for the results to flow; digests once enough wait to fill the lanes, or
// whenever there is nothing else to do: a core left idle while the walk goes on is better
// spent on a lone digest than saved for a crowded end. Under mMutex.
bool ScanEngine::digestsDue() const
{
    const size_t waiting = mDigestQueue.size();
    return waiting > 0 && (mReady.empty() || waiting >= size_t(kDigestBatch));
}

// Runs the batch through the SIMD lanes: each lane takes the next digest as soon as its own is
// done, and the lanes advance together by as many blocks as all of them have in hand.
void ScanEngine::digest(Worker& w, std::vector<PendingDigest>& batch)
{
    struct Lane
    {
        PendingDigest* item = nullptr;
        Md5 md5;
        std::unique_ptr<InputFile> file;
        bool fromDuplicate = false;
        qint64 offset = 0;
        char* buffer = nullptr;
        const char* at = nullptr;
        qint64 left = 0;
    };
    // The largest first, so that the lanes run side by side for as long as they can.
    std::stable_sort(
        batch.begin(), batch.end(),
        [](const PendingDigest& a, const PendingDigest& b) { return a.size > b.size; });
    const int lanes = Md5::lanes();
    if (w.laneBuffers.empty())
        w.laneBuffers.resize(size_t(lanes * (kLaneChunk + 1)));
    std::vector<Lane> lane(static_cast<size_t>(lanes));
    std::vector<std::pair<QString, DigestEntry>> done;
    std::string path;
    size_t next = 0;

    // Opens the lane's file, the duplicate when the first fails; false when neither reads.
    auto open = [&](Lane& l) {
        for (;;) {
            const FileRef& ref = l.fromDuplicate ? l.item->duplicate : l.item->first;
            l.file = std::make_unique<InputFile>(nameOf(w, ref, &path));
            l.offset = 0;
            l.md5.reset();
            if (l.file->isOpen() && l.file->size() == l.item->size)
                return true;
            if (l.fromDuplicate)
                return false;
            l.fromDuplicate = true;
        }
    };
    // Reads the lane's next chunk; at the end, makes sure the file ends where it should.
    auto fill = [&](Lane& l) {
        for (;;) {
            const qint64 want = qMin(kLaneChunk, l.item->size - l.offset);
            // One byte more at the end tells a file that grew.
            const bool last = l.offset + want == l.item->size;
            const qint64 got = l.file->readAt(l.buffer, want + (last ? 1 : 0), l.offset);
            if (got > 0)
                count(&ScanProgress::bytesRead, got);
            if (got == want) {
                l.offset += got;
                l.at = l.buffer;
                l.left = got;
                return true;
            }
            if (l.fromDuplicate)
                return false;
            l.fromDuplicate = true;
            if (!open(l))
                return false;
        }
    };
    auto load = [&](Lane& l) {
        l.item = nullptr;
        while (next < batch.size()) {
            PendingDigest* item = &batch[next++];
            l.item = item;
            l.fromDuplicate = false;
            l.md5.reset();
            if (!item->bytes.isNull() || item->size == 0) {
                l.file.reset();
                l.at = item->bytes.constData();
                l.left = item->size;
                return true;
            }
            if (open(l) && fill(l))
                return true;
        }
        l.item = nullptr;
        return false;
    };
    for (int i = 0; i < lanes; ++i) {
        lane[size_t(i)].buffer = w.laneBuffers.data() + size_t(i) * size_t(kLaneChunk + 1);
        load(lane[size_t(i)]);
    }
    std::vector<Md5*> digests;
    std::vector<const char*> data;
    for (;;) {
        if (stopRequested())
            return;
        digests.clear();
        data.clear();
        qint64 blocks = std::numeric_limits<qint64>::max();
        for (Lane& l : lane) {
            while (l.item && l.left < 64) {
                l.md5.add(l.at, size_t(l.left));
                l.left = 0;
                if (l.file && l.offset < l.item->size) {
                    if (!fill(l))
                        load(l);
                    continue;
                }
                const QByteArray hex = l.md5.result().toHex();
                done.emplace_back(QString::fromLatin1(hex),
                                  DigestEntry{l.item->groupId, textOf(l.item->first)});
                load(l);
            }
            if (!l.item)
                continue;
            digests.push_back(&l.md5);
            data.push_back(l.at);
            blocks = qMin(blocks, l.left / 64);
        }
        if (digests.empty())
            break;
        if (digests.size() > 1)
            Md5::addBlocks(digests.data(), data.data(), int(digests.size()), size_t(blocks));
        else
            digests[0]->add(data[0], size_t(blocks) * 64);
        for (Lane& l : lane) {
            if (l.item) {
                l.at += blocks * 64;
                l.left -= blocks * 64;
            }
        }
    }
    std::lock_guard<std::mutex> lock(mMutex);
    for (const auto& entry : done)
        if (!mDigests->contains(entry.first))
            mDigests->insert(entry.first, entry.second);
}

ScanEngine::Outcome ScanEngine::resolve(Worker& w, SizeBucket& bucket, Job& job)
{
    if (!bucket.opened) {
        count(&ScanProgress::filesCompared, 1);
        count(&ScanProgress::bytesCompared, bucket.size);
    }
    return bucket.size > kFingerprintFrom ? resolveLarge(w, bucket, job)
                                          : resolveSmall(w, bucket, job);
}

void ScanEngine::addClass(SizeBucket& bucket, const ContentClass& c)
{
    bucket.classes.push_back(c);
    const size_t n = bucket.classes.size();
    if (n <= kIndexFrom)
        return;
    std::vector<quint32>& index = bucket.index;
    if (n * 4 > index.size() * 3) {
        index.assign(index.empty() ? 64 : index.size() * 2, 0);
        const size_t mask = index.size() - 1;
        for (size_t i = 0; i < n; ++i) {
            size_t s = slotOf(bucket.classes[i].key, mask);
            while (index[s] != 0)
                s = (s + 1) & mask;
            index[s] = quint32(i + 1);
        }
        return;
    }
    const size_t mask = index.size() - 1;
    size_t s = slotOf(c.key, mask);
    while (index[s] != 0)
        s = (s + 1) & mask;
    index[s] = quint32(n);
}

void ScanEngine::liveWithKey(const SizeBucket& bucket, quint64 key, std::vector<quint32>* out) const
{
    out->clear();
    const std::vector<ContentClass>& classes = bucket.classes;
    if (bucket.index.empty()) {
        for (size_t i = 0; i < classes.size(); ++i)
            if (classes[i].key == key && !classes[i].dead)
                out->push_back(quint32(i));
        return;
    }
    // Probing finds them in the order they were added, as the plain scan would.
    const size_t mask = bucket.index.size() - 1;
    for (size_t s = slotOf(key, mask); bucket.index[s] != 0; s = (s + 1) & mask) {
        const quint32 i = bucket.index[s] - 1;
        if (classes[i].key == key && !classes[i].dead)
            out->push_back(i);
    }
    std::sort(out->begin(), out->end());
}

void ScanEngine::joinGroup(Worker& w, ContentClass& c, Job& job, const char* bytes)
{
    std::lock_guard<std::mutex> lock(mGroupMutex);
    if (c.group < 0) {
        c.group = qint32(mGroupIds.size());
        mGroupIds.push_back(QUuid::createUuid());
        job.opensGroup = true;
        PendingDigest pending;
        pending.groupId = mGroupIds.back();
        pending.first = c.first;
        pending.duplicate = job.file;
        pending.size = job.bucket->size;
        if (bytes)
            pending.bytes = QByteArray(bytes, int(pending.size));
        w.found.push_back(std::move(pending));
    }
    job.groupId = mGroupIds[size_t(c.group)];
    job.first = c.first;
}

// Small files are read whole, hashed, and compared in memory with the first of the class of
// the same hash; the MD5 of a new group is taken from the bytes already read.
ScanEngine::Outcome ScanEngine::resolveSmall(Worker& w, SizeBucket& bucket, Job& job)
{
    const qint64 size = bucket.size;
    ContentReader& reader = w.reader;
    if (!bucket.opened) {
        bucket.opened = true;
        const int into = w.holding ? 1 - w.heldBuffer : 0;
        switch (reader.readWhole(nameOf(w, bucket.pendingFirst, &w.firstPath), size, into)) {
        case ContentReader::Result::Stopped:
            return Outcome::Stopped;
        case ContentReader::Result::Failed:
            break;
        case ContentReader::Result::Ok:
            ContentClass c;
            c.key = ContentReader::hashBytes(reader.buffer(into), size);
            c.first = bucket.pendingFirst;
            addClass(bucket, c);
            w.holding = true;
            w.held = c.first;
            w.heldBuffer = into;
            break;
        }
    }
    const int mine = w.holding ? 1 - w.heldBuffer : 1;
    switch (reader.readWhole(nameOf(w, job.file, &w.secondPath), size, mine)) {
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Ok:
        break;
    }
    const char* bytes = reader.buffer(mine);
    const quint64 key = ContentReader::hashBytes(bytes, size);
    liveWithKey(bucket, key, &w.candidates);
    const int other = 1 - mine;
    for (const quint32 i : w.candidates) {
        ContentClass& c = bucket.classes[i];
        if (!(w.holding && w.held == c.first && w.heldBuffer == other)) {
            w.holding = false;
            switch (reader.readWhole(nameOf(w, c.first, &w.firstPath), size, other)) {
            case ContentReader::Result::Stopped:
                return Outcome::Stopped;
            case ContentReader::Result::Failed:
                c.dead = true;
                continue;
            case ContentReader::Result::Ok:
                break;
            }
            w.holding = true;
            w.held = c.first;
            w.heldBuffer = other;
        }
        if (std::memcmp(reader.buffer(other), bytes, size_t(size)) == 0) {
            joinGroup(w, c, job, bytes);
            return Outcome::Duplicate;
        }
    }
    ContentClass c;
    c.key = key;
    c.first = job.file;
    addClass(bucket, c);
    w.holding = true;
    w.held = job.file;
    w.heldBuffer = mine;
    return Outcome::Unique;
}

ScanEngine::Outcome ScanEngine::resolveLarge(Worker& w, SizeBucket& bucket, Job& job)
{
    const qint64 size = bucket.size;
    ContentReader& reader = w.reader;
    // Large files go through the reader's buffers in blocks: nothing stays held.
    w.holding = false;
    if (!bucket.opened) {
        bucket.opened = true;
        quint64 key = 0;
        switch (reader.fingerprint(nameOf(w, bucket.pendingFirst, &w.firstPath), size, &key)) {
        case ContentReader::Result::Stopped:
            return Outcome::Stopped;
        case ContentReader::Result::Failed:
            break;
        case ContentReader::Result::Ok:
            ContentClass c;
            c.key = key;
            c.first = bucket.pendingFirst;
            addClass(bucket, c);
            break;
        }
    }
    quint64 key = 0;
    switch (reader.fingerprint(nameOf(w, job.file, &w.secondPath), size, &key)) {
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Ok:
        break;
    }
    return resolveAmong(w, bucket, key, job);
}

// With one candidate, a direct comparison settles it; with more, a hash picks the candidate.
ScanEngine::Outcome ScanEngine::resolveAmong(Worker& w, SizeBucket& bucket, quint64 key, Job& job)
{
    for (;;) {
        std::vector<quint32> candidates;
        liveWithKey(bucket, key, &candidates);
        if (candidates.size() > 1)
            return resolveByHash(w, bucket, job, candidates);
        if (candidates.empty())
            break;
        const Outcome outcome = confirm(w, bucket, candidates[0], job);
        if (outcome != Outcome::Unique)
            return outcome;
        // A first that could not be read is out; look again among the others.
        if (!bucket.classes[candidates[0]].dead)
            break;
    }
    ContentClass c;
    c.key = key;
    c.first = job.file;
    c.hash = job.hash;
    c.hashed = job.hashed;
    addClass(bucket, c);
    return Outcome::Unique;
}

ScanEngine::Outcome ScanEngine::resolveByHash(Worker& w, SizeBucket& bucket, Job& job,
                                              const std::vector<quint32>& candidates)
{
    ContentReader& reader = w.reader;
    const qint64 size = bucket.size;
    switch (reader.hash(nameOf(w, job.file, &w.secondPath), size, &job.hash, true)) {
    case ContentReader::Result::Ok:
        break;
    case ContentReader::Result::Failed:
        return Outcome::Skipped;
    case ContentReader::Result::Stopped:
        return Outcome::Stopped;
    }
    job.hashed = true;
    // Candidates with a known hash first; the others only if none of those matched. At most
    // one class can hold the same bytes, so the order does not change the answer.
    for (const quint32 i : candidates) {
        const ContentClass& c = bucket.classes[i];
        if (c.dead || !c.hashed || c.hash != job.hash)
            continue;
        const Outcome outcome = confirm(w, bucket, i, job);
        if (outcome != Outcome::Unique)
            return outcome;
    }
    for (const quint32 i : candidates) {
        ContentClass& c = bucket.classes[i];
        if (c.dead || c.hashed)
            continue;
        const ContentReader::Result r =
            reader.hash(nameOf(w, c.first, &w.firstPath), size, &c.hash);
        if (r == ContentReader::Result::Stopped)
            return Outcome::Stopped;
        c.hashed = r == ContentReader::Result::Ok;
        c.dead = !c.hashed;
        if (c.dead || c.hash != job.hash)
            continue;
        const Outcome outcome = confirm(w, bucket, i, job);
        if (outcome != Outcome::Unique)
            return outcome;
    }
    ContentClass c;
    c.key = bucket.classes[candidates[0]].key;
    c.first = job.file;
    c.hash = job.hash;
    c.hashed = true;
    addClass(bucket, c);
    return Outcome::Unique;
}

// Compares the file with the class's first, byte for byte. Unique means not this class; if
// the first itself could not be read, the class is marked dead.
ScanEngine::Outcome ScanEngine::confirm(Worker& w, SizeBucket& bucket, quint32 index, Job& job)
{
    ContentClass& c = bucket.classes[index];
    const qint64 size = bucket.size;
    quint64 firstHash = 0;
    switch (w.reader.compare(nameOf(w, c.first, &w.firstPath), nameOf(w, job.file, &w.secondPath),
                             size, c.hashed ? nullptr : &firstHash, &job.hash)) {
    case ContentReader::Match::Equal:
        joinGroup(w, c, job, nullptr);
        return Outcome::Duplicate;
    case ContentReader::Match::Differ:
        // Files of one block were read whole: keep their hashes for the next look-up.
        if (!c.hashed && size <= ContentReader::kBlockSize) {
            c.hash = firstHash;
            c.hashed = true;
            job.hashed = true;
        }
        return Outcome::Unique;
    case ContentReader::Match::FirstFailed:
        c.dead = true;
        return Outcome::Unique;
    case ContentReader::Match::SecondFailed:
        return Outcome::Skipped;
    case ContentReader::Match::Stopped:
        break;
    }
    return Outcome::Stopped;
}

} // namespace tarvik
