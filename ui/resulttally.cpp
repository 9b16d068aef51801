// The status line's figures and texts.

#include "ui/resulttally.h"

#include "scan/scantypes.h"
#include "ui/sizetext.h"

#include <QLocale>

namespace tarvik {

void ResultTally::reset()
{
    *this = ResultTally();
}

void ResultTally::fileAdded(qint64 size, int filesBefore)
{
    if (filesBefore < 1)
        return;
    if (filesBefore == 1)
        ++mCopyGroups;
    ++mCopies;
    // A file gone before its row was made has no size.
    mReclaimable += qMax<qint64>(0, size);
}

namespace {

// What a group can give back: its size for every file beyond one that still has storage of
// its own.
qint64 groupReclaimable(qint64 size, int files, int replaced)
{
    return qMax<qint64>(0, size) * qMax(0, files - 1 - replaced);
}

} // namespace

void ResultTally::fileRemoved(const void* row, qint64 size, int filesBefore, int replacedBefore)
{
    setMarked(row, size, false);
    const int replacedAfter = replacedBefore - (mReplaced.remove(row) ? 1 : 0);
    if (filesBefore < 2)
        return;
    if (filesBefore == 2)
        --mCopyGroups;
    --mCopies;
    mReclaimable += groupReclaimable(size, filesBefore - 1, replacedAfter) -
                    groupReclaimable(size, filesBefore, replacedBefore);
}

void ResultTally::fileReplaced(const void* row, qint64 size, int files, int replacedBefore)
{
    if (mReplaced.contains(row))
        return;
    mReplaced.insert(row);
    mReclaimable += groupReclaimable(size, files, replacedBefore + 1) -
                    groupReclaimable(size, files, replacedBefore);
}

void ResultTally::setMarked(const void* row, qint64 size, bool marked)
{
    if (marked) {
        if (!mMarked.contains(row)) {
            mMarked.insert(row);
            mMarkedBytes += qMax<qint64>(0, size);
        }
    } else if (mMarked.remove(row)) {
        mMarkedBytes -= qMax<qint64>(0, size);
    }
}

void ResultTally::setShown(int shown, int total)
{
    mShown = shown;
    mShownOf = total;
}

void ResultTally::setNote(const QString& note)
{
    mNote = note;
}

void ResultTally::setEnded(End end, qint64 elapsedMs, const QString& failure)
{
    mEnd = end;
    mEndMs = elapsedMs;
    mFailure = failure;
}

QString ResultTally::foundText() const
{
    return tr("%1, %2, %3 reclaimable")
        .arg(tr("%Ln group(s)", nullptr, mCopyGroups),
             tr("%Ln duplicate file(s)", nullptr, int(mCopies)), compactSize(mReclaimable));
}

QString ResultTally::marksText() const
{
    if (mMarked.isEmpty())
        return QString();
    return tr(" · %Ln marked (%1)", nullptr, mMarked.size()).arg(compactSize(mMarkedBytes));
}

QString ResultTally::tailText() const
{
    QString text = marksText();
    if (mShown >= 0)
        text +=
            tr(" · %1 of %Ln group(s) shown", nullptr, mShownOf).arg(QLocale().toString(mShown));
    if (!mNote.isEmpty())
        text += QStringLiteral(" · ") + mNote;
    return text;
}

QString ResultTally::cacheText(const ScanProgress& p) const
{
    const qint64 files = p.filesFromCache.load();
    if (files == 0)
        return QString();
    return tr(" · %1 from the cache").arg(QLocale().toString(files));
}

QString ResultTally::text(const ScanProgress& p, qint64 elapsedMs) const
{
    const QString elapsed = elapsedText(hasEnded() ? mEndMs : elapsedMs);
    switch (mEnd) {
    case End::Done:
        return tr("Done in %1: ").arg(elapsed) + foundText() + cacheText(p) + tailText();
    case End::Stopped:
        return tr("Stopped after %1: ").arg(elapsed) + foundText() + cacheText(p) + tailText();
    case End::Failed:
        return tr("Failed after %1: %2: ").arg(elapsed, mFailure) + foundText() + cacheText(p) +
               tailText();
    case End::Running:
        break;
    }
    const QLocale locale;
    return tr("Listed %1 (%2) · compared %3 of %4 (%5 of %6) · found %7, %8 · %9")
               .arg(tr("%Ln file(s)", nullptr, int(p.filesListed.load())),
                    compactSize(p.bytesListed.load()), locale.toString(p.filesCompared.load()),
                    locale.toString(p.filesToCompare.load()), compactSize(p.bytesCompared.load()),
                    compactSize(p.bytesToCompare.load()),
                    tr("%Ln group(s)", nullptr, int(p.groups.load())),
                    tr("%Ln duplicate file(s)", nullptr, int(p.duplicates.load())), elapsed) +
           cacheText(p) + tailText();
}

} // namespace tarvik
