#include "scan/lanedigester.h"

#include "scan/md5.h"

#include <algorithm>
#include <limits>

namespace tarvik {

namespace {

struct Lane
{
    PendingDigest* item = nullptr;
    Md5 md5;
    const char* at = nullptr;
    qint64 left = 0;
};

} // namespace

LaneDigester::LaneDigester(const PathStore& paths, const StopCheck& stop)
    : mPaths(paths), mStop(stop)
{
}

std::pair<QString, DigestEntry> LaneDigester::entry(const PendingDigest& group) const
{
    return {QString::fromLatin1(group.digest.toHex()),
            DigestEntry{group.groupId, mPaths.text(group.first)}};
}

void LaneDigester::digest(std::vector<PendingDigest>& batch, std::vector<PendingDigest>* done)
{
    // The largest first, so that the lanes run side by side for as long as they can.
    std::stable_sort(
        batch.begin(), batch.end(),
        [](const PendingDigest& a, const PendingDigest& b) { return a.size > b.size; });
    std::vector<Lane> lanes(static_cast<size_t>(Md5::lanes()));
    size_t next = 0;
    const auto load = [&](Lane& l) {
        l.item = next < batch.size() ? &batch[next++] : nullptr;
        l.md5.reset();
        if (l.item) {
            l.at = l.item->bytes.constData();
            l.left = l.item->size;
        }
    };
    for (Lane& l : lanes)
        load(l);
    std::vector<Md5*> digests;
    std::vector<const char*> data;
    for (;;) {
        if (stopRequested())
            return;
        digests.clear();
        data.clear();
        qint64 blocks = std::numeric_limits<qint64>::max();
        for (Lane& l : lanes) {
            while (l.item && l.left < 64) {
                l.md5.add(l.at, size_t(l.left));
                l.item->digest = l.md5.result();
                l.item->bytes.clear();
                done->push_back(std::move(*l.item));
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
        for (Lane& l : lanes) {
            if (l.item) {
                l.at += blocks * 64;
                l.left -= blocks * 64;
            }
        }
    }
}

} // namespace tarvik
