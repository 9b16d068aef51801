#include "ui/pathindex.h"

#include <QByteArrayMatcher>

namespace tarvik {

namespace {

constexpr int kBlockBytes = 1 << 20;

// The byte of a lower-cased ASCII unit, -1 for any other.
inline int asciiLower(ushort unit)
{
    if (unit >= 0x80)
        return -1;
    return ushort(unit - 'A') < 26 ? unit + ('a' - 'A') : unit;
}

} // namespace

void PathIndex::clear()
{
    mBlocks.clear();
    mKept.clear();
    mGroups = 0;
}

void PathIndex::add(int group, const QString& path)
{
    if (group < 0)
        return;
    if (group >= mGroups) {
        mGroups = group + 1;
        mKept.resize(mGroups);
    }
    const int size = path.size();
    if (size >= kBlockBytes) {
        mKept[group] = Kept::Not;
        return;
    }
    if (mBlocks.empty() || mBlocks.back().text.size() + size + 1 > kBlockBytes) {
        mBlocks.emplace_back();
        mBlocks.back().text.reserve(kBlockBytes);
    }
    Block& block = mBlocks.back();
    const int start = block.text.size();
    block.text.resize(start + size + 1);
    char* out = block.text.data() + start;
    const QChar* units = path.constData();
    for (int i = 0; i < size; ++i) {
        const int byte = asciiLower(units[i].unicode());
        if (byte < 0) {
            block.text.resize(start);
            mKept[group] = Kept::Not;
            return;
        }
        out[i] = char(byte);
    }
    // A separator no typed text holds.
    out[size] = '\0';
    block.ends.append(start + size);
    block.groups.append(group);
    if (mKept.at(group) == Kept::Unknown)
        mKept[group] = Kept::All;
}

QVector<bool> PathIndex::candidates(const QString& text, int groups) const
{
    QVector<bool> maybe(groups, true);
    QByteArray needle(text.size(), Qt::Uninitialized);
    for (int i = 0; i < text.size(); ++i) {
        const int byte = asciiLower(text.at(i).unicode());
        // Beyond ASCII, a character may match an ASCII one case ignored (the Kelvin sign a k).
        if (byte < 0 || byte == 0)
            return maybe;
        needle[i] = char(byte);
    }
    if (needle.isEmpty())
        return maybe;
    for (int g = 0; g < qMin(groups, mGroups); ++g)
        maybe[g] = mKept.at(g) != Kept::All;
    const QByteArrayMatcher matcher(needle);
    for (const Block& block : mBlocks) {
        const char* const text = block.text.constData();
        const int size = block.text.size();
        int path = 0;
        for (int hit = matcher.indexIn(text, size); hit >= 0;
             hit = matcher.indexIn(text, size, block.ends.at(path) + 1)) {
            while (block.ends.at(path) < hit)
                ++path;
            const int group = block.groups.at(path);
            if (group < groups)
                maybe[group] = true;
        }
    }
    return maybe;
}

} // namespace tarvik
