#include "scan/contentclasses.h"

#include <algorithm>

namespace tarvik {

namespace {

// Sizes with more classes than this find them through an index instead of a scan.
constexpr size_t kIndexFrom = 16;

size_t slotOf(quint64 key, size_t mask)
{
    return size_t((key * 0x9e3779b97f4a7c15ull) >> 24) & mask;
}

} // namespace

qint64 ContentClasses::liveWithToken(quint64 token) const
{
    const auto it = mTokens.find(token);
    if (it == mTokens.end() || mClasses[it->second].dead)
        return -1;
    return it->second;
}

void ContentClasses::setToken(quint32 i, quint64 token)
{
    mClasses[i].token = token;
    if (token)
        mTokens[token] = i;
}

void ContentClasses::add(const ContentClass& c)
{
    mClasses.push_back(c);
    if (c.token)
        mTokens[c.token] = quint32(mClasses.size() - 1);
    const size_t n = mClasses.size();
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
