#pragma once

#include <QCoreApplication>
#include <QSet>
#include <QString>

namespace tarvik {

struct ScanProgress;

// The figures behind the result page's status line and the line's text: groups that still
// hold copies, the duplicate files (every file of a group beyond one), the bytes they take,
// and the marked files and their bytes. Knows no widget: rows are told to it by a key of
// their own, which it never reads.
class ResultTally
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::ResultTally)

public:
    enum class End { Running, Done, Stopped, Failed };

    void reset();

    // A file row of size bytes joined a group that held filesBefore rows.
    void fileAdded(qint64 size, int filesBefore);
    // A file row left a group that held filesBefore rows, itself included, replacedBefore of
    // them replaced (see fileReplaced).
    void fileRemoved(const void* row, qint64 size, int filesBefore, int replacedBefore = 0);
    // A file row of a group of files rows now shares its storage with a kept copy, or is a
    // link to one: it reclaims nothing more. replacedBefore rows of the group were already.
    void fileReplaced(const void* row, qint64 size, int files, int replacedBefore);
    // A file row's mark; telling the same state twice counts once.
    void setMarked(const void* row, qint64 size, bool marked);

    // While a filter narrows the tree: shown of total groups; shown < 0 when none does.
    void setShown(int shown, int total);
    // Said at the end of the line until the next reset, or until replaced; empty for nothing.
    void setNote(const QString& note);

    // From here on the line says how the scan ended, elapsedMs after it began.
    void setEnded(End end, qint64 elapsedMs, const QString& failure = QString());
    bool hasEnded() const { return mEnd != End::Running; }

    int copyGroups() const { return mCopyGroups; }
    qint64 copies() const { return mCopies; }
    qint64 reclaimable() const { return mReclaimable; }
    int markedFiles() const { return mMarked.size(); }
    qint64 markedBytes() const { return mMarkedBytes; }

    // While the scan runs: its live figures; once it has ended: how, and what the tree holds.
    QString text(const ScanProgress& progress, qint64 elapsedMs) const;

private:
    QString foundText() const;
    QString marksText() const;
    // How many files the digest cache spared reading, once there are any.
    QString cacheText(const ScanProgress& p) const;
    // What follows the figures: the marks, the groups shown, the note.
    QString tailText() const;

    int mCopyGroups = 0;
    qint64 mCopies = 0;
    qint64 mReclaimable = 0;
    QSet<const void*> mMarked;
    QSet<const void*> mReplaced;
    qint64 mMarkedBytes = 0;
    End mEnd = End::Running;
    qint64 mEndMs = 0;
    QString mFailure;
    int mShown = -1;
    int mShownOf = 0;
    QString mNote;
};

} // namespace tarvik
