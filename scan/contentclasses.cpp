#include "scan/contentclasses.h"

#include <algorithm>

namespace tarvik {

namespace {

// Sizes with more classes than this find them through an index instead of a scan.
constexpr size_t kIndexFrom = 16;
// Asks indexToken() for the index of the tokens met so far.
constexpr quint32 kNoClass = 0xffffffffu;

size_t slotOf(quint64 key, size_t mask)
{
    return size_t((key * 0x9e3779b97f4a7c15ull) >> 24) & mask;
}

} // namespace

qint64 ContentClasses::liveWithToken(quint64 token) const
{
    qint64 found = -1;
    if (mTokened == 0)
        return -1;
    if (mTokenIndex.empty()) {
        for (size_t i = mClasses.size(); i-- > 0 && found < 0;) {
            if (mClasses[i].token == token)
                found = qint64(i);
        }
    } else {
        const size_t mask = mTokenIndex.size() - 1;
        for (size_t s = slotOf(token, mask); mTokenIndex[s] != 0; s = (s + 1) & mask) {
            const quint32 i = mTokenIndex[s] - 1;
            if (mClasses[i].token == token && qint64(i) > found)
                found = i;
        }
    }
    return found < 0 || mClasses[size_t(found)].dead ? -1 : found;
}

void ContentClasses::indexToken(quint32 i)
{
    if (i != kNoClass)
        ++mTokened;
    if (mClasses.size() <= kIndexFrom && mTokenIndex.empty())
        return;
    if (i == kNoClass || mTokened * 4 > mTokenIndex.size() * 3) {
        size_t width = std::max<size_t>(64, mTokenIndex.size());
        while (mTokened * 4 > width * 3)
            width *= 2;
        mTokenIndex.assign(width, 0);
        const size_t mask = mTokenIndex.size() - 1;
        for (size_t c = 0; c < mClasses.size(); ++c) {
            if (!mClasses[c].token)
                continue;
            size_t s = slotOf(mClasses[c].token, mask);
            while (mTokenIndex[s] != 0)
                s = (s + 1) & mask;
            mTokenIndex[s] = quint32(c + 1);
        }
        return;
    }
    const size_t mask = mTokenIndex.size() - 1;
    size_t s = slotOf(mClasses[i].token, mask);
    while (mTokenIndex[s] != 0)
        s = (s + 1) & mask;
    mTokenIndex[s] = i + 1;
}

void ContentClasses::setToken(quint32 i, quint64 token)
{
    mClasses[i].token = token;
    if (token)
        indexToken(i);
}

void ContentClasses::add(const ContentClass& c)
{
    mClasses.push_back(c);
    const size_t n = mClasses.size();
    if (c.token)
        indexToken(quint32(n - 1));
    else if (n == kIndexFrom + 1 && mTokened)
        indexToken(kNoClass);
    if (n <= kIndexFrom)
        return;
    if (n * 4 > mIndex.size() * 3) {
        mIndex.assign(mIndex.empty() ? 64 : mIndex.size() * 2, 0);
        const size_t mask = mIndex.size() - 1;
        for (size_t i = 0; i < n; ++i) {
            size_t s = slotOf(mClasses[i].key, mask);
            while (mIndex[s] != 0)
                s = (s + 1) & mask;
            mIndex[s] = quint32(i + 1);
        }
        return;
    }
    const size_t mask = mIndex.size() - 1;
    size_t s = slotOf(c.key, mask);
    while (mIndex[s] != 0)
        s = (s + 1) & mask;
    mIndex[s] = quint32(n);
}

void ContentClasses::liveWithKey(quint64 key, std::vector<quint32>* out) const
{
    out->clear();
    if (mIndex.empty()) {
        for (size_t i = 0; i < mClasses.size(); ++i)
            if (mClasses[i].key == key && !mClasses[i].dead)
                out->push_back(quint32(i));
        return;
    }
    // In the order they were added, as the plain scan gives them.
    const size_t mask = mIndex.size() - 1;
    for (size_t s = slotOf(key, mask); mIndex[s] != 0; s = (s + 1) & mask) {
        const quint32 i = mIndex[s] - 1;
        if (mClasses[i].key == key && !mClasses[i].dead)
            out->push_back(i);
    }
    std::sort(out->begin(), out->end());
}

} // namespace tarvik
