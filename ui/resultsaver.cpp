#include "ui/resultsaver.h"

#include "core/appsettings.h"
#include "scan/duplicatefinderthread.h"
#include "ui/fileitem.h"
#include "ui/workerthreads.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <memory>

namespace tarvik {

namespace {

// The MD5 of the first file of a group that is still the file its row was made for, read
// whole; a file changed during the read does not count.
QString digestOfUnchanged(const ExportedGroup& group, const QVector<FileStamp>& stamps,
                          const StopCheck& stop)
{
    for (int f = 0; f < group.files.size() && f < stamps.size(); ++f) {
        const QString& path = group.files.at(f).path;
        const FileStamp& stamp = stamps.at(f);
        if (!stamp.valid || FileStamp::of(path) != stamp)
            continue;
        const QString md5 = fileDigest(path, stop);
        if (!md5.isEmpty() && FileStamp::of(path) == stamp)
            return md5;
        if (stop && stop())
            break;
    }
    return QString();
}

} // namespace

GatheredResults gatherResults(const QTreeWidget* tree,
                              const QHash<QUuid, QTreeWidgetItem*>& groupItems,
                              const QHash<QString, DigestEntry>& digests, Digests known)
{
    GatheredResults results;
    results.groupItems = groupItems;
    results.digests = digests;
    results.groups.reserve(tree->topLevelItemCount());
    results.groupKeys.reserve(tree->topLevelItemCount());
    const bool keepStamps = known == Digests::Partial;
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = tree->topLevelItem(g);
        if (groupItem->childCount() == 0)
            continue;
        ExportedGroup group;
        // The number in the label, whatever the order shown.
        const QVariant number = groupItem->data(0, GroupItem::NumberRole);
        group.number = number.isValid() ? number.toInt() : g;
        group.files.reserve(groupItem->childCount());
        QVector<FileStamp> stamps;
        for (int f = 0; f < groupItem->childCount(); ++f) {
            const QTreeWidgetItem* item = groupItem->child(f);
            const FileStamp stamp = stampOf(item);
            QDateTime modified;
            if (stamp.valid) {
                modified = QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / 1000000, Qt::UTC);
                if (group.size < 0)
                    group.size = stamp.size;
            }
            group.files.append({item->text(3), modified});
            if (keepStamps)
                stamps.append(stamp);
        }
        results.groups.append(group);
        results.groupKeys.append(groupItem);
        if (keepStamps)
            results.stamps.append(stamps);
    }
    return results;
}

QVector<ExportedGroup> withMd5s(const GatheredResults& results, const StopCheck& stop)
{
    const QHash<QUuid, QString> md5s = md5ByGroup(results.digests);
    QHash<const void*, QString> md5ByKey;
    md5ByKey.reserve(results.groupItems.size());
    for (auto it = results.groupItems.constBegin(); it != results.groupItems.constEnd(); ++it)
        md5ByKey.insert(it.value(), md5s.value(it.key()));
    QVector<ExportedGroup> groups = results.groups;
    for (int g = 0; g < groups.size(); ++g) {
        groups[g].md5 = md5ByKey.value(results.groupKeys.at(g));
        if (groups[g].md5.isEmpty() && g < results.stamps.size())
            groups[g].md5 = digestOfUnchanged(groups[g], results.stamps.at(g), stop);
    }
    return groups;
}

ResultSaver::ResultSaver(QWidget* page)
    : QObject(page), mPage(page), mThreads(new WorkerThreads(this))
{
}

void ResultSaver::saveAs(const GatheredResults& results)
{
    const QStringList filters = {tr("CSV (*.csv)"), tr("JSON (*.json)"), tr("Text (*.txt)")};
    QString filter = filters.first();
    const QString path = QFileDialog::getSaveFileName(
        mPage, tr("Save Results"),
        QDir(AppSettings::saveFolder()).filePath(QStringLiteral("duplicates.csv")),
        filters.join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    AppSettings::setSaveFolder(QFileInfo(path).absolutePath());
    // A suffix typed by hand says more than a filter left as it was.
    ExportFormat format;
    if (!exportFormatFromName(QFileInfo(path).suffix(), &format)) {
        const int chosen = filters.indexOf(filter);
        format = chosen == 1   ? ExportFormat::Json
                 : chosen == 2 ? ExportFormat::Text
                               : ExportFormat::Csv;
    }
    struct Outcome
    {
        bool saved = false;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    mThreads->start(
        [results, path, format, outcome] {
            const StopCheck stop = [] {
                return QThread::currentThread()->isInterruptionRequested();
            };
            outcome->saved =
                saveResults(path, withMd5s(results, stop), format, &outcome->error, stop);
        },
        [this, path, outcome] {
            if (outcome->saved) {
                emit saved(path);
                return;
            }
            // Not exec(): the page may go while the box is open.
            auto* box = new QMessageBox(
                QMessageBox::Warning, tr("Save Results"),
                tr("The results could not be saved to %1.").arg(QDir::toNativeSeparators(path)),
                QMessageBox::Ok, mPage);
            box->setInformativeText(outcome->error);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
}

} // namespace tarvik
