#pragma once

// Compares pairs of large files byte for byte, several pairs side by side, block by block.
// The first file's blocks feed its MD5 as they are compared, the digests of all pairs together
// in SIMD lanes, so that a group's first file is read once: for its comparison.

#include "scan/contentreader.h"
#include "scan/folderhandlecache.h"
#include "scan/md5.h"
#include "scan/pathstore.h"
#include "scan/scantypes.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace tarvik {

// One comparison of a file with the first of a content class, as far as it has gone. It holds
// no thread: whichever worker advances it next goes on from where it stopped.
struct Comparison
{
    FileRef first;
    FileRef second;
    qint64 size = 0;
    // The first file's MD5 is wanted: the pair may open a group.
    bool wantDigest = false;
    // For the resolver that waits on it: the class compared with and the file's fingerprint,
    // unless it was compared before its fingerprint was taken.
    quint32 candidate = 0;
    quint64 key = 0;
    bool keyed = true;

    bool done = false;
    ContentReader::Match match = ContentReader::Match::Equal;
    // The 16-byte MD5 of the first file, once done Equal with wantDigest.
    QByteArray digest;

    qint64 offset = 0;
    std::unique_ptr<InputFile> a;
    std::unique_ptr<InputFile> b;
    Md5 md5;
};

// One per worker thread.
class SideBySideComparer
{
public:
    // Bytes of each file compared in one step.
    static constexpr qint64 kStep = 256 * 1024;

    // All must outlive the comparer; progress may be null.
    SideBySideComparer(FolderHandleCache& folders, const StopCheck& stop, ScanProgress* progress);

    // Advances each comparison by up to steps blocks, side by side, at most Md5::lanes() of
    // them; those that end are marked done with their verdict. A stop ends them all Stopped.
    void advance(Comparison* const* list, int count, int steps);

private:
    // Bytes of one first file just compared, for its MD5.
    struct Piece
    {
        Md5* md5;
        const char* at;
        qint64 size;
    };

    bool open(Comparison& c);
    void digest(std::vector<Piece>& pieces);
    // One block of the comparison into its buffer; false once it has a verdict.
    bool compareBlock(Comparison& c, char* first);
    void finish(Comparison& c, ContentReader::Match match);
    qint64 read(InputFile& file, char* into, qint64 want, qint64 offset, bool last);
    bool stopRequested() const { return mStop && mStop(); }

    FolderHandleCache& mFolders;
    const StopCheck& mStop;
    ScanProgress* mProgress;
    std::string mPath;
    // One block of each first file, for the lanes, and one of the file compared with it;
    // left unset, as reads fill them.
    std::unique_ptr<char[]> mFirstBlocks;
    std::unique_ptr<char[]> mSecondBlock;
};

} // namespace tarvik
