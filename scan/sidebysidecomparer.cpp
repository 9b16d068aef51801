#include "scan/sidebysidecomparer.h"

#include "scan/inputfile.h"

#include <cstring>

namespace tarvik {

SideBySideComparer::SideBySideComparer(FolderHandleCache& folders, const StopCheck& stop,
                                       ScanProgress* progress)
    : mFolders(folders), mStop(stop), mProgress(progress)
{
}

void SideBySideComparer::finish(Comparison& c, ContentReader::Match match)
{
    c.done = true;
    c.match = match;
    if (match == ContentReader::Match::Equal && c.wantDigest)
        c.digest = c.md5.result();
    c.a.reset();
    c.b.reset();
}

bool SideBySideComparer::open(Comparison& c)
{
    FileName name = mFolders.name(c.first, &mPath);
    ContentReader::aboutToOpen(name);
    c.a = std::make_unique<InputFile>(name);
    if (!c.a->isOpen() || c.a->size() != c.size) {
        finish(c, ContentReader::Match::FirstFailed);
        return false;
    }
    name = mFolders.name(c.second, &mPath);
    ContentReader::aboutToOpen(name);
    c.b = std::make_unique<InputFile>(name);
    if (!c.b->isOpen() || c.b->size() != c.size) {
        finish(c, ContentReader::Match::SecondFailed);
        return false;
    }
    // Both are read to the end unless they differ; asking for it up front lets the disk work
    // on every pair of the lanes at once.
    c.a->expectSequential(c.size);
    c.b->expectSequential(c.size);
    c.a->willNeed(0, kStep * 4);
    c.b->willNeed(0, kStep * 4);
    c.md5.reset();
    return true;
}

// Reads want bytes at offset, and at the end one more, which must not be there.
qint64 SideBySideComparer::read(InputFile& file, char* into, qint64 want, qint64 offset, bool last)
{
    const qint64 got = file.readAt(into, want + (last ? 1 : 0), offset);
    if (got > 0 && mProgress)
        ScanProgress::add(mProgress->bytesRead, got);
    return got;
}

bool SideBySideComparer::compareBlock(Comparison& c, char* first)
{
    const qint64 want = qMin(kStep, c.size - c.offset);
    const bool last = c.offset + want == c.size;
    if (read(*c.a, first, want, c.offset, last) != want) {
        finish(c, ContentReader::Match::FirstFailed);
        return false;
    }
    if (read(*c.b, mSecondBlock.get(), want, c.offset, last) != want) {
        finish(c, ContentReader::Match::SecondFailed);
        return false;
    }
    if (std::memcmp(first, mSecondBlock.get(), size_t(want)) != 0) {
        finish(c, ContentReader::Match::Differ);
        return false;
    }
    c.offset += want;
    return true;
}

// Whole blocks in the lanes, as many as every piece left has, until none has a whole block
// left; then the last bytes of the files that end here, one by one.
void SideBySideComparer::digest(std::vector<Piece>& pieces)
{
    std::vector<Md5*> lanes;
    std::vector<const char*> data;
    for (;;) {
        lanes.clear();
        data.clear();
        qint64 blocks = kStep;
        for (const Piece& p : pieces) {
            if (p.size < 64)
                continue;
            lanes.push_back(p.md5);
            data.push_back(p.at);
            blocks = qMin(blocks, p.size / 64);
        }
        if (lanes.empty())
            break;
        Md5::addBlocks(lanes.data(), data.data(), int(lanes.size()), size_t(blocks));
        for (Piece& p : pieces) {
            if (p.size >= 64) {
                p.at += blocks * 64;
                p.size -= blocks * 64;
            }
        }
    }
    for (const Piece& p : pieces) {
        if (p.size > 0)
            p.md5->add(p.at, size_t(p.size));
    }
}

void SideBySideComparer::advance(Comparison* const* list, int count, int steps)
{
    Q_ASSERT(count <= Md5::lanes());
    if (!mSecondBlock) {
        mSecondBlock.reset(new char[size_t(kStep + 1)]);
        mFirstBlocks.reset(new char[size_t(Md5::lanes()) * size_t(kStep + 1)]);
    }
    // Opened together, so that their first reads are under way together.
    for (int i = 0; i < count; ++i) {
        if (!list[i]->done && !list[i]->a)
            open(*list[i]);
    }
    std::vector<Piece> pieces;
    for (int step = 0; step < steps; ++step) {
        if (stopRequested()) {
            for (int i = 0; i < count; ++i) {
                if (!list[i]->done)
                    finish(*list[i], ContentReader::Match::Stopped);
            }
            return;
        }
        pieces.clear();
        for (int i = 0; i < count; ++i) {
            Comparison& c = *list[i];
            if (c.done)
                continue;
            char* first = mFirstBlocks.get() + size_t(i) * size_t(kStep + 1);
            const qint64 from = c.offset;
            if (compareBlock(c, first) && c.wantDigest)
                pieces.push_back({&c.md5, first, c.offset - from});
        }
        digest(pieces);
        bool running = false;
        for (int i = 0; i < count; ++i) {
            Comparison& c = *list[i];
            if (!c.done && c.offset == c.size)
                finish(c, ContentReader::Match::Equal);
            running = running || !c.done;
        }
        if (!running)
            return;
    }
}

} // namespace tarvik
