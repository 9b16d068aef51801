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

    FileItem(const QString& path, const FileFacts& facts);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

    const FileStamp& stamp() const { return mStamp; }
    bool marked() const { return mMarked; }

private:
    QString createdText() const;
    QString modifiedText() const;
    QString fileName() const;

    QString mPath;
    FileStamp mStamp;
    qint64 mCreatedMs;
    bool mMarked = false;
};

// The stamp of a file row; invalid for a group row.
inline FileStamp stampOf(const QTreeWidgetItem* row)
{
    return row->data(0, FileItem::StampRole).value<FileStamp>();
}

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
