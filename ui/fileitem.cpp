#include "ui/fileitem.h"

#include "ui/sizetext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QLocale>
#include <QMimeDatabase>

namespace tarvik {

namespace {

QString dateText(const QDateTime& time)
{
    static const QString format = QLocale().dateTimeFormat(QLocale::ShortFormat);
    return time.isValid() ? time.toString(format) : QString();
}

QString pageText(const char* source)
{
    return QCoreApplication::translate("tarvik::ResultWidget", source);
}

// By the name alone: the provider, given a file, would look at the file system, and the
// theme's icons go by kind anyway. Files of one kind share one.
QIcon iconFor(const QString& name, bool present)
{
    static QFileIconProvider provider;
    static QMimeDatabase mimes;
    static QHash<QString, QIcon> bySuffix;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString key = !present  ? QStringLiteral("/missing")
                        : dot > 0 ? name.mid(dot + 1).toLower()
                                  : QString();
    auto found = bySuffix.find(key);
    if (found == bySuffix.end()) {
        QIcon icon = provider.icon(QFileIconProvider::File);
        if (present) {
            const QMimeType mime = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
            icon =
                QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), icon));
        }
        found = bySuffix.insert(key, icon);
    }
    return found.value();
}

// What a replaced file's row says of its storage in its tooltip.
QString storageLine(quint8 storage)
{
    return storage == FileItem::HardLink ? pageText("Storage: a hard link to a kept copy")
                                         : pageText("Storage: shared with a kept copy");
}

QIcon storageIcon(quint8 storage)
{
    static const QIcon linked(QStringLiteral(":/resource/row_linked.png"));
    static const QIcon shared(QStringLiteral(":/resource/row_shared.png"));
    return storage == FileItem::HardLink ? linked : shared;
}

} // namespace

FileItem::FileItem(const QString& path, const FileFacts& facts)
    : QTreeWidgetItem(QTreeWidgetItem::Type), mPath(path), mStamp(facts.stamp),
      mCreatedMs(facts.createdMs)
{
    setFlags(flags() | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
}

void FileItem::adopt(const FileStamp& stamp, qint64 createdMs)
{
    mStamp = stamp;
    mCreatedMs = createdMs;
    emitDataChanged();
}

QString FileItem::createdText() const
{
    return mCreatedMs < 0 ? QString() : dateText(QDateTime::fromMSecsSinceEpoch(mCreatedMs));
}

QString FileItem::fileName() const
{
    return mPath.mid(mPath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FileItem::modifiedText() const
{
    return mStamp.valid ? dateText(QDateTime::fromMSecsSinceEpoch(mStamp.modifiedNs / 1000000))
                        : QString();
}

QVariant FileItem::data(int column, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case 0:
            return fileName();
        case 1:
            return sizeToString(qMax<qint64>(0, mStamp.size));
        case 2:
            return createdText();
        case 3:
            return mPath;
        }
        break;
    case Qt::CheckStateRole:
        if (column == 0)
            return mMarked ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::ToolTipRole:
        if (column == 0) {
            const QString name = fileName();
            return pageText("File: ") + name + QLatin1Char('\n') + pageText("Size: ") +
                   sizeToString(qMax<qint64>(0, mStamp.size)) + QLatin1Char('\n') +
                   pageText("Created: ") + createdText() + QLatin1Char('\n') +
                   pageText("Modified: ") + modifiedText() + QLatin1Char('\n') +
                   pageText("Location: ") + mPath +
                   (mStorage != OwnStorage ? QLatin1Char('\n') + storageLine(mStorage) : QString());
        }
        break;
    case Qt::DecorationRole:
        if (column == 0)
            return mStorage != OwnStorage ? storageIcon(mStorage)
                                          : iconFor(fileName(), mStamp.valid);
        break;
    case StampRole:
        if (column == 0)
            return QVariant::fromValue(mStamp);
        break;
    case StorageRole:
        if (column == 0)
            return int(mStorage);
        break;
    }
    return QTreeWidgetItem::data(column, role);
}

void FileItem::setData(int column, int role, const QVariant& value)
{
    if (column == 0 && role == Qt::CheckStateRole) {
        const bool marked = value.toInt() == Qt::Checked;
        if (marked != mMarked) {
            mMarked = marked;
            emitDataChanged();
        }
        return;
    }
    if (column == 0 && role == StampRole) {
        mStamp = value.value<FileStamp>();
        return;
    }
    if (column == 0 && role == StorageRole) {
        mStorage = quint8(value.toInt());
        emitDataChanged();
        return;
    }
    QTreeWidgetItem::setData(column, role, value);
}

int replacedRows(const QTreeWidgetItem* group)
{
    int replaced = 0;
    for (int i = 0; i < group->childCount(); ++i) {
        if (storageOf(group->child(i)) != FileItem::OwnStorage)
            ++replaced;
    }
    return replaced;
}

void adoptLinkedStamp(QTreeWidgetItem* row)
{
    auto* linked = dynamic_cast<FileItem*>(row);
    const QTreeWidgetItem* group = row->parent();
    if (!linked || !group)
        return;
    const FileStamp now = FileStamp::of(linked->text(3));
    for (int i = 0; now.valid && i < group->childCount(); ++i) {
        const auto* kept = dynamic_cast<const FileItem*>(group->child(i));
        if (!kept || kept == linked)
            continue;
        const FileStamp& was = kept->stamp();
        if (was.valid && was.targetDevice == now.targetDevice &&
            was.targetInode == now.targetInode && was.size == now.size &&
            was.modifiedNs == now.modifiedNs) {
            // A link is the kept copy's file, born when it was.
            linked->adopt(now, kept->createdMs());
            return;
        }
    }
}

GroupItem::GroupItem(const QString& prefix, int number)
    : QTreeWidgetItem(QTreeWidgetItem::Type), mNumber(number), mPrefix(prefix)
{
}

QVariant GroupItem::data(int column, int role) const
{
    if (column == 0 && role == NumberRole)
        return mNumber;
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        // Set by hand, the text is the item's own again.
        const QVariant own = QTreeWidgetItem::data(column, role);
        return own.isValid() ? own : QVariant(mPrefix + QString::number(mNumber));
    }
    return QTreeWidgetItem::data(column, role);
}

} // namespace tarvik
