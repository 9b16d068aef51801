#include "ui/fileitem.h"

#include "ui/sizetext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QLocale>

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

// Looking an icon up asks the desktop's theme; files of one kind share one.
QIcon iconFor(const QFileInfo& info)
{
    static QFileIconProvider provider;
    static QHash<QString, QIcon> bySuffix;
    const QString key = info.exists() ? info.suffix().toLower() : QStringLiteral("/missing");
    auto found = bySuffix.find(key);
    if (found == bySuffix.end())
        found = bySuffix.insert(key, provider.icon(info));
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

FileItem::FileItem(const QString& path, const FileStamp& stamp)
    : QTreeWidgetItem(QTreeWidgetItem::Type), mPath(path), mStamp(stamp)
{
    setFlags(flags() | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
}

QString FileItem::createdText() const
{
    if (!mCreatedRead) {
        mCreatedRead = true;
        // Birth time where the file system keeps one, else the last status change.
        const QFileInfo info(mPath);
        QDateTime created = info.birthTime();
        if (!created.isValid())
            created = info.metadataChangeTime();
        mCreatedMs = created.isValid() ? created.toMSecsSinceEpoch() : -1;
    }
    return mCreatedMs < 0 ? QString() : dateText(QDateTime::fromMSecsSinceEpoch(mCreatedMs));
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
            return QFileInfo(mPath).fileName();
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
            const QString name = QFileInfo(mPath).fileName();
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
            return mStorage != OwnStorage ? storageIcon(mStorage) : iconFor(QFileInfo(mPath));
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
        // A link is the kept copy's file, born when it was.
        mCreatedRead = false;
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
    const QTreeWidgetItem* group = row->parent();
    const FileStamp now = FileStamp::of(row->text(3));
    if (!group || !now.valid)
        return;
    for (int i = 0; i < group->childCount(); ++i) {
        const FileStamp kept = stampOf(group->child(i));
        if (group->child(i) != row && kept.valid && kept.targetDevice == now.targetDevice &&
            kept.targetInode == now.targetInode && kept.size == now.size &&
            kept.modifiedNs == now.modifiedNs) {
            row->setData(0, FileItem::StampRole, QVariant::fromValue(now));
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
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        // Set by hand, the text is the item's own again.
        const QVariant own = QTreeWidgetItem::data(column, role);
        return own.isValid() ? own : QVariant(mPrefix + QString::number(mNumber));
    }
    return QTreeWidgetItem::data(column, role);
}

} // namespace tarvik
