#include "scan/resultcollector.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace tarvik {

quint32 ResultCollector::groupOf(const QUuid& groupId)
{
    auto found = mIndex.constFind(groupId);
    if (found != mIndex.constEnd())
        return found.value();
    const quint32 index = quint32(mGroups.size());
    mGroups.emplace_back();
    mIndex.insert(groupId, index);
    return index;
}

void ResultCollector::append(Group& group, const QString& path)
{
    File file;
    const QByteArray bytes = path.toUtf8();
    PathStore::Ref ref = 0;
    if (!bytes.contains('\0') && QString::fromUtf8(bytes) == path &&
        mPaths.add(bytes.constData(), size_t(bytes.size()), &ref)) {
        file.path = qint64(ref);
    } else {
        mOddPaths.append(path);
        file.path = -qint64(mOddPaths.size());
    }
    const quint32 index = quint32(mFiles.size());
    mFiles.push_back(file);
    if (group.lastFile == kNone)
        group.firstFile = index;
    else
        mFiles[group.lastFile].next = index;
    group.lastFile = index;
}

void ResultCollector::add(const QUuid& groupId, const QString& firstPath, const QString& path)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const quint32 index = groupOf(groupId);
    if (mGroups[index].firstFile == kNone) {
        mOrder.push_back(index);
        append(mGroups[index], firstPath);
    }
    append(mGroups[index], path);
}

void ResultCollector::addDigest(const QUuid& groupId, const QByteArray& md5)
{
    std::lock_guard<std::mutex> lock(mMutex);
    Group& group = mGroups[groupOf(groupId)];
    if (md5.size() != int(sizeof group.md5) || group.digestOrder != kNone)
        return;
    std::memcpy(group.md5, md5.constData(), sizeof group.md5);
    group.digestOrder = mDigests++;
}

void ResultCollector::finish()
{
    // Sorted by MD5, the first to come first: the others with the same MD5 lose theirs.
    std::vector<quint32> known;
    for (quint32 i = 0; i < quint32(mGroups.size()); ++i) {
        if (mGroups[i].digestOrder != kNone)
            known.push_back(i);
    }
    std::sort(known.begin(), known.end(), [this](quint32 a, quint32 b) {
        const int order = std::memcmp(mGroups[a].md5, mGroups[b].md5, sizeof mGroups[a].md5);
        return order != 0 ? order < 0 : mGroups[a].digestOrder < mGroups[b].digestOrder;
    });
    for (size_t i = 1; i < known.size(); ++i) {
        Group& group = mGroups[known[i]];
        if (std::memcmp(group.md5, mGroups[known[i - 1]].md5, sizeof group.md5) == 0)
            group.digestOrder = kNone - 1;
    }
}

QString ResultCollector::path(const File& file) const
{
    if (file.path < 0)
        return mOddPaths.at(int(-file.path - 1));
    return QString::fromUtf8(mPaths.at(PathStore::Ref(file.path)));
}

ExportedGroup ResultCollector::group(int index) const
{
    const Group& found = mGroups[mOrder[size_t(index)]];
    ExportedGroup group;
    group.number = index;
    if (found.digestOrder < kNone - 1)
        group.md5 = QString::fromLatin1(QByteArray::fromRawData(found.md5, 16).toHex());
    for (quint32 f = found.firstFile; f != kNone; f = mFiles[f].next) {
        const QString filePath = path(mFiles[f]);
        const QFileInfo info(filePath);
        if (group.size < 0 && info.isFile())
            group.size = info.size();
        group.files.append({filePath, info.exists() ? info.lastModified() : QDateTime()});
    }
    return group;
}

} // namespace tarvik
