#pragma once

#include "core/filestamp.h"

#include <QString>
#include <QTreeWidgetItem>

namespace tarvik {

// A file row of the duplicate tree. It keeps only the path, the stamp and creation time the scan
// read for it, and the mark; its texts, tooltip and icon are made from them when the view asks,
// without a look at the file system, so a tree of a million rows costs little more than the
// paths themselves and a stalled mount never holds the window. To everyone else it is a
// plain item of the default type: text(3) is the full path, the stamp is its FileStampRole
// data and the mark is its check state.
class FileItem : public QTreeWidgetItem
{
public:
    // Item data role (column 0) holding the FileStamp taken when the row was made.
    static const int StampRole = Qt::UserRole + 1;
    // Item data role (column 0) holding the row's Storage, as an int.
    static const int StorageRole = Qt::UserRole + 3;

    // Whether the file has storage of its own, or was made to share a kept copy's.
    enum Storage { OwnStorage, SharedStorage, HardLink };

    FileItem(const QString& path, const FileFacts& facts);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

    const QString& path() const { return mPath; }
    const FileStamp& stamp() const { return mStamp; }
    qint64 createdMs() const { return mCreatedMs; }
    bool marked() const { return mMarked; }
    // The row's path now names another file, found to be as stamp says, born at createdMs.
    void adopt(const FileStamp& stamp, qint64 createdMs);

private:
    QString createdText() const;
    QString modifiedText() const;
    QString fileName() const;

    QString mPath;
    FileStamp mStamp;
    qint64 mCreatedMs;
    bool mMarked = false;
    quint8 mStorage = OwnStorage;
};

// The stamp of a file row; invalid for a group row. A FileItem's without a trip through
// QVariant, which costs an allocation: rules and Trash Marked ask it of every row.
inline FileStamp stampOf(const QTreeWidgetItem* row)
{
    if (const auto* file = dynamic_cast<const FileItem*>(row))
        return file->stamp();
    return row->data(0, FileItem::StampRole).value<FileStamp>();
}

// The full path of a file row.
inline QString pathOf(const QTreeWidgetItem* row)
{
    if (const auto* file = dynamic_cast<const FileItem*>(row))
        return file->path();
    return row->text(3);
}

inline FileItem::Storage storageOf(const QTreeWidgetItem* row)
{
    return FileItem::Storage(row->data(0, FileItem::StorageRole).toInt());
}

// The file rows of a group whose file shares a kept copy's storage, or is a link to one.
int replacedRows(const QTreeWidgetItem* group);

// A row whose name was just made a hard link to a kept copy takes the stamp of that copy's
// file, provided it is the file of another row of its group as stamped: later actions on the
// row then see the file they expect, and a file that took the name since is still caught.
void adoptLinkedStamp(QTreeWidgetItem* row);

// A file row whose check box is ticked: its file is to go.
inline bool isMarked(const QTreeWidgetItem* row)
{
    if (const auto* file = dynamic_cast<const FileItem*>(row))
        return file->marked();
    return row->checkState(0) == Qt::Checked;
}

// A group row: its text is made from the page's prefix and its number when asked for, so a
// group costs no string of its own. To everyone else it is a plain item with that text.
class GroupItem : public QTreeWidgetItem
{
public:
    // Item data role (column 0) holding the number the group was found under.
    static const int NumberRole = Qt::UserRole + 2;

    GroupItem(const QString& prefix, int number);

    QVariant data(int column, int role) const override;
    int number() const { return mNumber; }

private:
    // First, so that it can sit in the padding at the end of the base class.
    int mNumber;
    QString mPrefix;
};

} // namespace tarvik
