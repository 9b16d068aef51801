#include "scan/cachejournal.h"

#include <QDir>
#include <algorithm>
#include <cstring>

namespace tarvik {

namespace {

bool openUnnamed(QTemporaryFile& file, const QString& folder)
{
    file.setFileTemplate(folder + QStringLiteral("/digests.bin.scan-XXXXXX"));
    if (!file.open())
        return false;
#ifdef Q_OS_UNIX
    // Gone with the process, however it ends.
    QFile::remove(file.fileName());
#endif
    return true;
}

} // namespace

bool CacheJournal::open(const QString& folder)
{
    const bool here =
        QDir().mkpath(folder) && openUnnamed(mBases, folder) && openUnnamed(mLearnt, folder);
    if (!here) {
        mBases.close();
        mLearnt.close();
        mFolder = QDir::tempPath();
        if (!openUnnamed(mBases, mFolder) || !openUnnamed(mLearnt, mFolder))
            mFailed = true;
    }
    mBaseBuffer.reserve(kBuffer);
    mEntries.reserve(kBuffer);
    return !mFailed;
}

bool CacheJournal::writeOut(QTemporaryFile& file, const void* data, size_t bytes)
{
    if (!mFailed && file.write(static_cast<const char*>(data), qint64(bytes)) != qint64(bytes))
        mFailed = true;
    return !mFailed;
}

void CacheJournal::begin(const CacheRecord& base)
{
    mBaseBuffer.push_back(base);
    ++mCount;
    if (mBaseBuffer.size() == kBuffer) {
        writeOut(mBases, mBaseBuffer.data(), mBaseBuffer.size() * sizeof(CacheRecord));
        mBaseBuffer.clear();
    }
}

void CacheJournal::note(quint32 fact, Kind kind, const void* value, size_t size)
{
    Entry e{fact, kind, {}};
    std::memcpy(e.value, value, std::min(size, sizeof e.value));
    std::lock_guard<std::mutex> hold(mMutex);
    mEntries.push_back(e);
    if (mEntries.size() == kBuffer) {
        writeOut(mLearnt, mEntries.data(), mEntries.size() * sizeof(Entry));
        mEntries.clear();
    }
}

// As the scan's own record of a file changed when it learnt: bytes read that disagree with the
// record make the record's token and MD5 worthless.
void CacheJournal::apply(CacheRecord& r, const Entry& e)
{
    switch (e.kind) {
    case Key: {
        quint64 key;
        std::memcpy(&key, e.value, sizeof key);
        const bool hasKey = r.flags & CacheRecord::HasKey;
        if (hasKey && r.key == key)
            return;
        if (hasKey) {
            r.token = 0;
            r.flags &= ~quint32(CacheRecord::HasMd5);
        }
        r.key = key;
        r.flags |= CacheRecord::HasKey;
        return;
    }
    case Token:
        std::memcpy(&r.token, e.value, sizeof r.token);
        return;
    case Md5:
        std::memcpy(r.md5, e.value, sizeof r.md5);
        r.flags |= CacheRecord::HasMd5;
        return;
    }
}

namespace {

// A part sorted in memory at a time: the journal's records never all are.
constexpr quint32 kPart = 1u << 16;
constexpr size_t kPartBuffer = 1024;

bool inCacheOrder(const CacheRecord& a, const CacheRecord& b)
{
    if (a.device != b.device || a.inode != b.inode)
        return CacheRecord::before(a, b);
    return a.ctimeNs != b.ctimeNs ? a.ctimeNs < b.ctimeNs : a.mtimeNs < b.mtimeNs;
}

} // namespace

// The files numbered from + 1 on, as many as a part holds, with what was learnt of them.
bool CacheJournal::replay(quint32 from, std::vector<CacheRecord>* records)
{
    records->resize(std::min(kPart, mCount - from));
    const qint64 bytes = qint64(records->size() * sizeof(CacheRecord));
    if (!mBases.seek(qint64(from) * qint64(sizeof(CacheRecord))) ||
        mBases.read(reinterpret_cast<char*>(records->data()), bytes) != bytes || !mLearnt.seek(0))
        return false;
    std::vector<Entry> chunk(kBuffer * 16);
    for (;;) {
        const qint64 got = mLearnt.read(reinterpret_cast<char*>(chunk.data()),
                                        qint64(chunk.size() * sizeof(Entry)));
        if (got < 0 || got % qint64(sizeof(Entry)) != 0)
            return false;
        if (got == 0)
            return true;
        for (size_t i = 0; i < size_t(got) / sizeof(Entry); ++i) {
            const Entry& e = chunk[i];
            if (e.fact == 0 || e.fact > mCount)
                return false;
            if (e.fact > from && e.fact - from <= records->size())
                apply((*records)[e.fact - from - 1], e);
        }
    }
}

bool CacheJournal::sort(const std::function<void(CacheRecord&)>& visit)
{
    writeOut(mBases, mBaseBuffer.data(), mBaseBuffer.size() * sizeof(CacheRecord));
    {
        std::lock_guard<std::mutex> hold(mMutex);
        writeOut(mLearnt, mEntries.data(), mEntries.size() * sizeof(Entry));
        std::vector<Entry>().swap(mEntries);
    }
    std::vector<CacheRecord>().swap(mBaseBuffer);
    if (mFailed || !mBases.flush() || !mLearnt.flush() || !openUnnamed(mSorted, mFolder))
        return false;
    std::vector<CacheRecord> part;
    for (quint32 from = 0; from < mCount; from += kPart) {
        if (!replay(from, &part))
            return false;
        for (CacheRecord& r : part)
            visit(r);
        std::sort(part.begin(), part.end(), inCacheOrder);
        mPartStarts.push_back(quint64(from));
        if (!writeOut(mSorted, part.data(), part.size() * sizeof(CacheRecord)))
            return false;
    }
    mPartStarts.push_back(mCount);
    mBases.close();
    mLearnt.close();
    return mSorted.flush();
}

bool CacheJournal::readAt(quint64 index, CacheRecord* records, size_t count) const
{
    // Cursors read one after another, never at once.
    auto& file = const_cast<QTemporaryFile&>(mSorted);
    const qint64 bytes = qint64(count * sizeof(CacheRecord));
    return file.seek(qint64(index * sizeof(CacheRecord))) &&
           file.read(reinterpret_cast<char*>(records), bytes) == bytes;
}

CacheJournal::Cursor::Cursor(const CacheJournal* journal) : mJournal(journal)
{
    for (size_t i = 0; i + 1 < journal->mPartStarts.size(); ++i) {
        Part part;
        part.pos = journal->mPartStarts[i];
        part.end = journal->mPartStarts[i + 1];
        fill(part);
        if (!part.done())
            mParts.push_back(std::move(part));
    }
    choose();
}

void CacheJournal::Cursor::fill(Part& part)
{
    part.start = part.pos;
    part.buffer.resize(size_t(std::min<quint64>(kPartBuffer, part.end - part.pos)));
    // A part that cannot be read on ends early: the cache then keeps less.
    if (!part.buffer.empty() && !mJournal->readAt(part.pos, part.buffer.data(), part.buffer.size()))
        part.end = part.pos;
}

void CacheJournal::Cursor::choose()
{
    mCurrent = -1;
    for (size_t i = 0; i < mParts.size(); ++i) {
        if (!mParts[i].done() &&
            (mCurrent < 0 || inCacheOrder(mParts[i].at(), mParts[size_t(mCurrent)].at())))
            mCurrent = qint64(i);
    }
}

void CacheJournal::Cursor::next()
{
    Part& part = mParts[size_t(mCurrent)];
    if (++part.pos == part.start + part.buffer.size() && !part.done())
        fill(part);
    choose();
}

} // namespace tarvik
