#include "scan/lanedigester.h"

#include "scan/contentreader.h"
#include "scan/inputfile.h"
#include "scan/md5.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace tarvik {

namespace {

// Bytes read for one lane at a time, a whole number of blocks.
constexpr qint64 kLaneChunk = 256 * 1024;

} // namespace

struct LaneDigester::Lane
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

LaneDigester::LaneDigester(const PathStore& paths, FolderHandleCache& folders,
                           const StopCheck& stop, ScanProgress* progress)
    : mPaths(paths), mFolders(folders), mStop(stop), mProgress(progress)
{
}

// Opens the lane's file, the duplicate when the first fails; false when neither reads.
bool LaneDigester::open(Lane& l)
{
    for (;;) {
        const FileName name =
            mFolders.name(l.fromDuplicate ? l.item->duplicate : l.item->first, &mPath);
        ContentReader::aboutToOpen(name);
        l.file = std::make_unique<InputFile>(name);
        l.offset = 0;
        l.md5.reset();
        if (l.file->isOpen() && l.file->size() == l.item->size)
            return true;
        if (l.fromDuplicate)
            return false;
        l.fromDuplicate = true;
    }
}

// Reads the lane's next chunk; at the end, makes sure the file ends where it should.
bool LaneDigester::fill(Lane& l)
{
    for (;;) {
        const qint64 want = qMin(kLaneChunk, l.item->size - l.offset);
        // One byte more at the end tells a file that grew.
        const bool last = l.offset + want == l.item->size;
        const qint64 got = l.file->readAt(l.buffer, want + (last ? 1 : 0), l.offset);
        if (got > 0 && mProgress)
            ScanProgress::add(mProgress->bytesRead, got);
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
}

void LaneDigester::digest(std::vector<PendingDigest>& batch,
                          std::vector<std::pair<QString, DigestEntry>>* done)
{
    // The largest first, so that the lanes run side by side for as long as they can.
    std::stable_sort(
        batch.begin(), batch.end(),
        [](const PendingDigest& a, const PendingDigest& b) { return a.size > b.size; });
    const int lanes = Md5::lanes();
    if (mBuffers.empty())
        mBuffers.resize(size_t(lanes * (kLaneChunk + 1)));
    std::vector<Lane> lane(static_cast<size_t>(lanes));
    size_t next = 0;

    // Gives the lane the next digest of the batch that can be read; false when none is left.
    const auto load = [&](Lane& l) {
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
        lane[size_t(i)].buffer = mBuffers.data() + size_t(i) * size_t(kLaneChunk + 1);
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
                done->emplace_back(QString::fromLatin1(hex),
                                   DigestEntry{l.item->groupId, mPaths.text(l.item->first)});
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
}

} // namespace tarvik
