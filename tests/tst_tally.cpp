// The figures and the text of the result page's status line, without widgets.

#include "scan/scantypes.h"
#include "testenv.h"
#include "ui/resulttally.h"

using namespace tarvik;

Q_DECLARE_METATYPE(tarvik::ResultTally::End)

class TallyTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void text_data();
    void text();
};

void TallyTest::text_data()
{
    QTest::addColumn<QString>("groups"); // each group's files: "size x count"
    // in order: +g.f marks, -g.f unmarks, xg.f removes, rg.f replaces (shared storage, a link);
    // cN: N files came from the cache
    QTest::addColumn<QString>("changes");
    QTest::addColumn<ResultTally::End>("end");
    QTest::addColumn<QString>("text");
    using E = ResultTally::End;
    const QString groups = "1000x3 5000x2 0x2";
    QTest::newRow("done") << groups << "" << E::Done
                          << "Done in 3.2 s: 3 groups, 4 duplicate files, 6.8 KB reclaimable";
    QTest::newRow("a group falls to one, then to none")
        << groups << "x1.1 x1.0" << E::Stopped
        << "Stopped after 3.2 s: 2 groups, 3 duplicate files, 2.0 KB reclaimable";
    QTest::newRow("marks counted once; a removed row's mark goes with it")
        << groups << "+0.1 +0.1 +0.2 +2.1 +1.0 -1.0 x0.2" << E::Done
        << "Done in 3.2 s: 3 groups, 3 duplicate files, 5.9 KB reclaimable · 2 marked (1000 B)";
    QTest::newRow("some from the cache")
        << groups << "c12 +0.1" << E::Done
        << "Done in 3.2 s: 3 groups, 4 duplicate files, 6.8 KB reclaimable · 12 from the cache"
           " · 1 marked (1000 B)";
    QTest::newRow("replaced files reclaim nothing more, whichever row goes")
        << groups << "r0.1 r0.1 r1.1 x0.0 x1.1" << E::Done
        << "Done in 3.2 s: 2 groups, 2 duplicate files, 0 B reclaimable";
    QTest::newRow("failed") << groups << "" << E::Failed
                            << "Failed after 3.2 s: out of memory: 3 groups, 4 duplicate files, "
                               "6.8 KB reclaimable";
    QTest::newRow("files gone before their rows count no bytes")
        << "-1x3"
        << "+0.2" << E::Done
        << "Done in 3.2 s: 1 group, 2 duplicate files, 0 B reclaimable · 1 marked (0 B)";
    QTest::newRow("running") << groups << "+0.1" << E::Running
                             << "Listed 9 files (7.1 KB) · compared 4 of 7 (4.0 KB of 7.0 KB) · "
                                "found 3 groups, 4 duplicate files · 3.2 s · 1 marked (1000 B)";
}

void TallyTest::text()
{
    QFETCH(QString, groups);
    QFETCH(QString, changes);
    QFETCH(ResultTally::End, end);
    ResultTally tally;
    // Set by a previous scan, gone with the reset.
    tally.fileAdded(7, 1);
    tally.setEnded(ResultTally::End::Done, 1);
    tally.reset();
    QVector<qint64> sizes;
    QVector<int> counts;
    QVector<int> replaced;
    QSet<const void*> replacedRows;
    for (const QString& group : groups.split(' ')) {
        sizes << group.section('x', 0, 0).toLongLong();
        counts << group.section('x', 1).toInt();
        replaced << 0;
        for (int f = 0; f < counts.last(); ++f)
            tally.fileAdded(sizes.last(), f);
    }
    ScanProgress progress;
    for (const QString& change : changes.split(' ', Qt::SkipEmptyParts)) {
        if (change.startsWith('c')) {
            progress.filesFromCache = change.mid(1).toLongLong();
            continue;
        }
        const int g = change.mid(1).section('.', 0, 0).toInt();
        const int f = change.section('.', 1).toInt();
        const auto* row = reinterpret_cast<const void*>(quintptr(1000 + 10 * g + f));
        if (change.startsWith('x')) {
            tally.fileRemoved(row, sizes[g], counts[g]--, replaced[g]);
            replaced[g] -= replacedRows.remove(row) ? 1 : 0;
        } else if (change.startsWith('r')) {
            tally.fileReplaced(row, sizes[g], counts[g], replaced[g]);
            if (!replacedRows.contains(row)) {
                replacedRows.insert(row);
                ++replaced[g];
            }
        } else
            tally.setMarked(row, sizes[g], change.startsWith('+'));
    }
    progress.filesListed = 9;
    progress.bytesListed = 7300;
    progress.filesCompared = 4;
    progress.filesToCompare = 7;
    progress.bytesCompared = 4096;
    progress.bytesToCompare = 7168;
    progress.groups = 3;
    progress.duplicates = 4;
    if (end != ResultTally::End::Running)
        tally.setEnded(end, 3200, "out of memory");
    QTEST(tally.text(progress, 3200), "text");
}

TARVIK_TEST_GUILESS_MAIN(TallyTest)
#include "tst_tally.moc"
