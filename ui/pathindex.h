#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <vector>

namespace tarvik {

// The paths of the groups' files, kept apart from the rows for the path filter: narrowing a
// million rows by reading each row's path from the row itself costs a cache miss or two a row,
// more than the rest of the narrowing. Paths of ASCII characters are kept lower-cased, one after
// the other, and searched as bytes; a group with any other path is always a candidate, since
// case beyond ASCII is left to the exact match on the rows.
class PathIndex
{
public:
    void clear();
    // Notes a path of a file of the group numbered group, counted from 0 in the order found.
    void add(int group, const QString& path);

    // For each of the groups numbered 0 to groups - 1, whether it may have a path holding text,
    // case ignored. Every group that has one is among them; a group whose matching row has gone
    // may be too. A group with no path noted here is always a candidate.
    QVector<bool> candidates(const QString& text, int groups) const;

private:
    // Paths go into blocks of a fixed size, each path whole in one block, so that the index
    // never holds twice its size while it grows.
    struct Block
    {
        QByteArray text;
        // Where each path ends in text, and its group.
        QVector<int> ends;
        QVector<int> groups;
    };

    // Whether every path of a group is kept here.
    enum class Kept : char { Unknown, All, Not };

    std::vector<Block> mBlocks;
    QVector<Kept> mKept;
    int mGroups = 0;
};

} // namespace tarvik
