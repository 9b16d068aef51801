// Runs the scan engine and the plain full-read reference on randomized trees: both must
// report the same duplicates, with the same first files, in the same order.

#include "scanharness.h"
#include "scanreference.h"
#include "testenv.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace tarvik::test;

namespace {

QByteArray randomBytes(QRandomGenerator& rng, qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    int i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        const quint32 word = rng.generate();
        memcpy(bytes.data() + i, &word, 4);
    }
    for (; i < bytes.size(); ++i)
        bytes[i] = char(rng.bounded(256));
    return bytes;
}

} // namespace

class ScanDiffTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void sameEventsAsTheReference_data();
    void sameEventsAsTheReference();

private:
    QTemporaryDir mTemp;
};

void ScanDiffTest::sameEventsAsTheReference_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("folders");
    QTest::addColumn<QString>("filter");
    QTest::newRow("small, one folder") << 1u << 60 << 0 << "";
    QTest::newRow("medium, one folder") << 2u << 300 << 0 << "";
    QTest::newRow("medium, overlapping folders") << 3u << 300 << 1 << "";
    QTest::newRow("medium, folder twice and subfolders") << 4u << 300 << 2 << "";
    QTest::newRow("medium, filtered") << 5u << 300 << 0 << "*.jpg, *.png";
    QTest::newRow("many of few sizes") << 6u << 800 << 0 << "";
    QTest::newRow("large files") << 7u << 120 << 1 << "";
    QTest::newRow("another seed") << 8u << 500 << 2 << "*.txt,,*.JPG";
    QTest::newRow("yet another seed") << 9u << 500 << 0 << "";
}

void ScanDiffTest::sameEventsAsTheReference()
{
    QFETCH(quint32, seed);
    QFETCH(int, files);
    QFETCH(int, folders);
    QFETCH(QString, filter);
    const QString root = mTemp.path() + QStringLiteral("/seed") + QString::number(seed);
    QRandomGenerator rng(seed);

    // Few sizes, so that files of one size but other content are common; some sizes sit on
    // block and fingerprint boundaries.
    QVector<qint64> sizes{0, 1, 2, 100, 4095, 4096, 4097, 8192, 65536, 65537, 100000, 300000};
    if (QTest::currentDataTag() == QByteArray("large files"))
        sizes << 1048575 << 1048576 << 1048577 << 2621440 << 3000000;
    const QStringList exts{".jpg", ".png", ".txt", ".JPG", ""};
    QVector<QByteArray> contents;
    QStringList made;
    for (int i = 0; i < files; ++i) {
        QString dir = root;
        const int depth = rng.bounded(4);
        for (int d = 0; d < depth; ++d)
            dir += QStringLiteral("/d%1").arg(rng.bounded(4));
        const QString path = dir + QStringLiteral("/f%1").arg(i) + exts.at(rng.bounded(5));
        const int kind = rng.bounded(100);
        QByteArray content;
        if (kind < 30 && !contents.isEmpty()) {
            content = contents.at(rng.bounded(contents.size()));
        } else if (kind < 50 && !contents.isEmpty()) {
            content = contents.at(rng.bounded(contents.size()));
            if (!content.isEmpty()) {
                const int where = rng.bounded(3);
                const int at = where == 0   ? 0
                               : where == 1 ? content.size() - 1
                                            : rng.bounded(content.size());
                content[at] = char(content.at(at) ^ (1 + rng.bounded(255)));
            }
        } else if (kind < 55) {
            content.clear();
        } else {
            content = randomBytes(rng, sizes.at(rng.bounded(sizes.size())));
        }
        contents << content;
        QVERIFY(writeFile(path, content));
        made << path;
        // Now and then a link or a hidden file beside it.
        const int extra = rng.bounded(40);
        if (extra == 0)
            QVERIFY(QFile::link(path, path + QStringLiteral(".lnk")));
#ifdef Q_OS_UNIX
        else if (extra == 1)
            QCOMPARE(::link(QFile::encodeName(path).constData(),
                            QFile::encodeName(path + QStringLiteral(".hard")).constData()),
                     0);
#endif
        else if (extra == 2)
            QVERIFY(writeFile(dir + QStringLiteral("/.hidden%1").arg(i), content));
    }

    QStringList list{root};
    if (folders == 1)
        list = QStringList{root + "/d1", root, root + "/d2/d3"};
    else if (folders == 2)
        list = QStringList{root + "/d0", root + "/d0", root + "/d3/d1", root + "/"};

    const QVector<SeenEvent> expected = referenceScan(list, filter);
    bool inTime = false;
    const QVector<SeenEvent> actual = runScan(list, filter, &inTime);
    QVERIFY(inTime);
    qInfo("%d files, %d duplicate events", int(made.size()), int(expected.size()));
    QVERIFY(expected.size() > 0 || files < 100);
    QCOMPARE(describe(actual, root), describe(expected, root));
}

TARVIK_TEST_GUILESS_MAIN(ScanDiffTest)
#include "tst_scandiff.moc"
