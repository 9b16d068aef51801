// What Save Results costs on a large result: the part in the GUI thread (gathering the rows
// of the tree) and the part in the background (formatting and writing each format).
//
//   bench_export [--files N] [FOLDER]
//
// The tree is made in memory, N file rows in groups of three, with paths of a realistic
// length; the files are written to FOLDER (default: a temporary folder) and removed.

#include "scan/resultexport.h"
#include "core/filestamp.h"
#include "ui/resultsaver.h"
#include "ui/resultwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace tarvik;

namespace {

// Wall time and CPU time since the last call, "1234 ms (CPU 1200 ms)": on a busy machine the
// second says more.
QString lap()
{
    static QElapsedTimer wall;
    static std::clock_t cpu = 0;
    const QString text = QStringLiteral("%1 ms (CPU %2 ms)")
                             .arg(wall.isValid() ? wall.elapsed() : 0)
                             .arg(qint64(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC);
    wall.start();
    cpu = std::clock();
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int files = 1000000;
    if (args.size() >= 2 && args.first() == QLatin1String("--files")) {
        files = args.at(1).toInt();
        args = args.mid(2);
    }
    QTemporaryDir temp;
    const QString folder = args.isEmpty() ? temp.path() : args.first();

    QTreeWidget tree;
    QHash<QUuid, QTreeWidgetItem*> groupItems;
    QHash<QString, DigestEntry> digests;
    FileStamp stamp;
    stamp.valid = true;
    stamp.size = 123456;
    stamp.modifiedNs = qint64(1700000000) * 1000000000;
    QTreeWidgetItem* group = nullptr;
    for (int i = 0; i < files; ++i) {
        if (i % 3 == 0) {
            group =
                new QTreeWidgetItem(QStringList(QStringLiteral("Duplicate group #%1").arg(i / 3)));
            tree.addTopLevelItem(group);
            const QUuid id = QUuid::createUuid();
            groupItems.insert(id, group);
            digests.insert(QString::number(i, 16).rightJustified(32, QLatin1Char('0')),
                           DigestEntry{id, QString()});
        }
        auto* item = new QTreeWidgetItem(group);
        const QString path =
            QStringLiteral("/home/someone/Pictures/2023/holiday, summer/IMG_%1.jpg").arg(i);
        item->setText(0, QFileInfo(path).fileName());
        item->setText(3, path);
        stamp.modifiedNs += 1000000000;
        item->setData(0, ResultWidget::FileStampRole, QVariant::fromValue(stamp));
    }

    lap();
    const GatheredResults gathered = gatherResults(&tree, groupItems, digests, Digests::Complete);
    std::printf("%d files in %d groups\n", files, int(gathered.groups.size()));
    std::printf("gather (GUI thread):       %s\n", qPrintable(lap()));
    const QVector<ExportedGroup> groups = withMd5s(gathered);
    std::printf("look up the MD5s (worker): %s\n", qPrintable(lap()));
    const struct
    {
        const char* name;
        ExportFormat format;
    } formats[] = {
        {"text", ExportFormat::Text}, {"csv", ExportFormat::Csv}, {"json", ExportFormat::Json}};
    for (const auto& f : formats) {
        const QString path = folder + QStringLiteral("/results.") + QLatin1String(f.name);
        QString error;
        lap();
        const bool saved = saveResults(path, groups, f.format, &error);
        std::printf("write %-4s (worker):       %s, %.1f MB%s\n", f.name, qPrintable(lap()),
                    QFileInfo(path).size() / 1048576.0,
                    saved ? "" : qPrintable(QStringLiteral(" FAILED: ") + error));
        QFile::remove(path);
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory: %.0f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
