// Runs the scan engine and the plain full-read reference on randomized trees: both must
// report the same duplicates, with the same first files, in the same order. The engine's own
// MD5 must give what the toolkit's gives.

#include "scan/md5.h"
#include "scanharness.h"
#include "scanreference.h"
#include "testenv.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QtTest>

using namespace tarvik;
using namespace tarvik::test;

class ScanDiffTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("default.debug=false"); }
    void sameEventsAsTheReference_data();
    void sameEventsAsTheReference();
    void md5AsTheToolkit();
};

void ScanDiffTest::sameEventsAsTheReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("large");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("filter");
    const QStringList one{""};
    const QStringList overlapping{"d1", "", "d2/d3"};
    const QStringList repeated{"d0", "d0", "d3/d1", ""};
    QTest::newRow("overlapping folders") << 3u << 300 << false << overlapping << "";
    QTest::newRow("repeated folders, filtered") << 8u << 500 << false << repeated << "*.txt,,*.JPG";
    QTest::newRow("filtered") << 5u << 300 << false << one << "*.jpg, *.png";
    QTest::newRow("many of few sizes") << 6u << 800 << false << one << "";
    QTest::newRow("large files") << 7u << 80 << true << overlapping << "";
}

void ScanDiffTest::sameEventsAsTheReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, files);
    QFETCH(bool, large);
    QFETCH(QStringList, folders);
    QFETCH(QString, filter);
    const QString root = freshRoot();
    QRandomGenerator rng(seed);

    // Few sizes, so that files of one size but other content are common; some sit on block
    // and fingerprint boundaries. Large files that differ only inside share a fingerprint,
    // and a comparison leaves them unhashed: they take a path of their own.
    QVector<int> sizes{0, 1, 2, 100, 4095, 4096, 4097, 8192, 65536, 65537, 100000, 300000};
    if (large)
        sizes = {1048576, 1048577, 2621440};
    const QStringList exts{".jpg", ".png", ".txt", ".JPG", ""};
    QVector<QByteArray> contents;
    for (int i = 0; i < files; ++i) {
        QString dir;
        for (int d = rng.bounded(4); d > 0; --d)
            dir += QStringLiteral("d%1/").arg(rng.bounded(4));
        const QString path = dir + QStringLiteral("f%1").arg(i) + exts.at(rng.bounded(5));
        const int kind = rng.bounded(100);
        QByteArray content;
        if (kind < 50 && !contents.isEmpty()) {
            // A copy, or one byte changed: the first, the last or any.
            content = contents.at(rng.bounded(contents.size()));
            if (kind >= 30 && !content.isEmpty()) {
                const int where = rng.bounded(3);
                const int at = where == 0   ? 0
                               : where == 1 ? content.size() - 1
                                            : rng.bounded(content.size());
                content[at] = char(content.at(at) ^ (1 + rng.bounded(255)));
            }
        } else if (kind >= 55) {
            const int size = sizes.at(rng.bounded(sizes.size()));
            content.resize((size + 3) & ~3);
            rng.fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
            content.resize(size);
        }
        contents << content;
        QVERIFY(writeFile(root + '/' + path, content));
        // Now and then a link, a hard link or a hidden copy beside it.
        const int extra = rng.bounded(40);
        if (extra < 2)
            QVERIFY(makeTree(root, {extra == 0 ? path + ".lnk->" + root + '/' + path
                                               : path + ".hard=>" + path}));
        else if (extra == 2)
            QVERIFY(writeFile(root + '/' + dir + ".hidden" + QString::number(i), content));
    }

    for (QString& folder : folders)
        folder = root + '/' + folder;
    const QStringList expected = describe(referenceScan(folders, filter), root);
    QVERIFY(expected.size() > files / 10);

    EventSink sink;
    QEventLoop loop;
    DuplicateFinderThread* thread = startScan(&sink, folders, filter, &loop);
    loop.exec();
    QCOMPARE(describe(sink.events, root), expected);
    // Each group under the MD5 of its content, with its identity and first file.
    QHash<QString, DigestEntry> digests;
    for (const SeenEvent& e : qAsConst(sink.events)) {
        QFile file(e.firstPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString md5 = QString::fromLatin1(
            QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
        digests.insert(md5, DigestEntry{e.groupId, e.firstPath});
    }
    QCOMPARE(thread->mDigests.size(), digests.size());
    for (auto it = digests.cbegin(); it != digests.cend(); ++it) {
        QVERIFY2(thread->mDigests.contains(it.key()), qPrintable(it.value().firstPath));
        QCOMPARE(thread->mDigests.value(it.key()).groupId, it.value().groupId);
        QCOMPARE(thread->mDigests.value(it.key()).firstPath, it.value().firstPath);
    }
    delete thread;
}

// Every length up to a few blocks, fed whole and in uneven pieces, then one long random input.
void ScanDiffTest::md5AsTheToolkit()
{
    QRandomGenerator rng(11);
    QByteArray data(4 * 1024 * 1024 + 13, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
    for (int size = 0; size <= 300; ++size) {
        const QByteArray input = data.left(size);
        const QByteArray expected = QCryptographicHash::hash(input, QCryptographicHash::Md5);
        tarvik::Md5 whole;
        whole.add(input.constData(), size_t(size));
        QCOMPARE(whole.result(), expected);
        tarvik::Md5 pieces;
        for (int at = 0, step = 1; at < size; at += step, step = step * 3 % 71 + 1)
            pieces.add(input.constData() + at, size_t(qMin(step, size - at)));
        QCOMPARE(pieces.result(), expected);
    }
    tarvik::Md5 large;
    large.add(data.constData(), size_t(data.size()));
    QCOMPARE(large.result(), QCryptographicHash::hash(data, QCryptographicHash::Md5));

    // Side by side in SIMD lanes, with every kernel the processor has and every number of
    // lanes: whole blocks together, then each one's own tail.
    for (int kernel = 0; kernel < tarvik::Md5::kernels(); ++kernel) {
        tarvik::Md5::useKernel(kernel);
        for (int count = 1; count <= tarvik::Md5::lanes(); ++count) {
            tarvik::Md5 lanes[8];
            tarvik::Md5* digests[8];
            const char* at[8];
            for (int i = 0; i < count; ++i) {
                digests[i] = &lanes[i];
                at[i] = data.constData() + 4099 * i;
            }
            const int blocks = 1 + count * 7;
            tarvik::Md5::addBlocks(digests, at, count, size_t(blocks));
            for (int i = 0; i < count; ++i) {
                const int size = blocks * 64 + i * 9;
                lanes[i].add(at[i] + blocks * 64, size_t(i * 9));
                QCOMPARE(lanes[i].result(), QCryptographicHash::hash(QByteArray(at[i], size),
                                                                     QCryptographicHash::Md5));
            }
        }
    }
    tarvik::Md5::useKernel(-1);
}

TARVIK_TEST_GUILESS_MAIN(ScanDiffTest)
#include "tst_scandiff.moc"
