#pragma once

#include "core/filestamp.h"

#include <QString>
#include <QTreeWidgetItem>

namespace tarvik {

// A file row of the duplicate tree. It keeps only the path, the stamp taken when the row was
// made and the mark; its texts, tooltip and icon are made when the view asks for them, so a
// tree of a million rows costs little more than the paths themselves. To everyone else it is a
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

    FileItem(const QString& path, const FileStamp& stamp);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

    const FileStamp& stamp() const { return mStamp; }
    bool marked() const { return mMarked; }

private:
    QString createdText() const;
    QString modifiedText() const;

    QString mPath;
    FileStamp mStamp;
    bool mMarked = false;
    quint8 mStorage = OwnStorage;
    // Read from the file system the first time it is shown.
    mutable bool mCreatedRead = false;
    mutable qint64 mCreatedMs = 0;
};

// The stamp of a file row; invalid for a group row.
inline FileStamp stampOf(const QTreeWidgetItem* row)
{
    return row->data(0, FileItem::StampRole).value<FileStamp>();
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
    return row->checkState(0) == Qt::Checked;
}

// A group row: its text is made from the page's prefix and its number when asked for, so a
// group costs no string of its own. To everyone else it is a plain item with that text.
class GroupItem : public QTreeWidgetItem
{
public:
    GroupItem(const QString& prefix, int number);

    QVariant data(int column, int role) const override;

private:
    // First, so that it can sit in the padding at the end of the base class.
    int mNumber;
    QString mPrefix;
};

} // namespace tarvik
