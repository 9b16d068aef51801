#include "ui/resultsaver.h"

#include "core/filestamp.h"
#include "ui/resultwidget.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace tarvik {

// One save, written off the GUI thread; it reports in the GUI thread and deletes itself.
class ResultSaveJob : public QThread
{
    Q_OBJECT

public:
    ResultSaveJob(QWidget* page, const QString& path, const GatheredResults& results,
                  ExportFormat format)
        : QThread(page), mPage(page), mPath(path), mResults(results), mFormat(format)
    {
        connect(this, SIGNAL(finished()), this, SLOT(report()));
    }

    // The page is going: the file stays as it was.
    ~ResultSaveJob() override
    {
        requestInterruption();
        wait();
    }

protected:
    void run() override
    {
        mSaved = saveResults(mPath, withMd5s(mResults), mFormat, &mError,
                             [this] { return isInterruptionRequested(); });
        mResults = GatheredResults();
    }

private slots:
    void report()
    {
        if (!mSaved && !isInterruptionRequested()) {
            // Not exec(): the page may go while the box is open, and this job with it.
            auto* box = new QMessageBox(
                QMessageBox::Warning, tr("Save Results"),
                tr("The results could not be saved to %1.").arg(QDir::toNativeSeparators(mPath)),
                QMessageBox::Ok, mPage);
            box->setInformativeText(mError);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        deleteLater();
    }

private:
    QWidget* mPage;
    const QString mPath;
    GatheredResults mResults;
    const ExportFormat mFormat;
    bool mSaved = false;
    QString mError;
};

GatheredResults gatherResults(const QTreeWidget* tree,
                              const QHash<QUuid, QTreeWidgetItem*>& groupItems,
                              const QHash<QString, DigestEntry>& digests)
{
    GatheredResults results;
    results.groupItems = groupItems;
    results.digests = digests;
    results.groups.reserve(tree->topLevelItemCount());
    results.groupKeys.reserve(tree->topLevelItemCount());
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* groupItem = tree->topLevelItem(g);
        if (groupItem->childCount() == 0)
            continue;
        ExportedGroup group;
        // Groups are never taken out of the tree, so the place is the number in the label.
        group.number = g;
        group.files.reserve(groupItem->childCount());
        for (int f = 0; f < groupItem->childCount(); ++f) {
            const QTreeWidgetItem* item = groupItem->child(f);
            const FileStamp stamp = item->data(0, ResultWidget::FileStampRole).value<FileStamp>();
            QDateTime modified;
            if (stamp.valid) {
                modified = QDateTime::fromMSecsSinceEpoch(stamp.modifiedNs / 1000000, Qt::UTC);
                if (group.size < 0)
                    group.size = stamp.size;
            }
            group.files.append({item->text(3), modified});
        }
        results.groups.append(group);
        results.groupKeys.append(groupItem);
    }
    return results;
}

QVector<ExportedGroup> withMd5s(const GatheredResults& results)
{
    const QHash<QUuid, QString> md5s = md5ByGroup(results.digests);
    QHash<const void*, QString> md5ByKey;
    md5ByKey.reserve(results.groupItems.size());
    for (auto it = results.groupItems.constBegin(); it != results.groupItems.constEnd(); ++it)
        md5ByKey.insert(it.value(), md5s.value(it.key()));
    QVector<ExportedGroup> groups = results.groups;
    for (int g = 0; g < groups.size(); ++g)
        groups[g].md5 = md5ByKey.value(results.groupKeys.at(g));
    return groups;
}

void saveResultsAs(QWidget* page, const GatheredResults& results)
{
    const QStringList filters = {ResultSaveJob::tr("CSV (*.csv)"),
                                 ResultSaveJob::tr("JSON (*.json)"),
                                 ResultSaveJob::tr("Text (*.txt)")};
    QString filter = filters.first();
    const QString path =
        QFileDialog::getSaveFileName(page, ResultSaveJob::tr("Save Results"),
                                     QDir::home().filePath(QStringLiteral("duplicates.csv")),
                                     filters.join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return;
    // A suffix typed by hand says more than a filter left as it was.
    ExportFormat format;
    if (!exportFormatFromName(QFileInfo(path).suffix(), &format)) {
        const int chosen = filters.indexOf(filter);
        format = chosen == 1   ? ExportFormat::Json
                 : chosen == 2 ? ExportFormat::Text
                               : ExportFormat::Csv;
    }
    (new ResultSaveJob(page, path, results, format))->start();
}

} // namespace tarvik

#include "resultsaver.moc"
