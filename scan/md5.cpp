// One digest at a time; the SIMD kernels are in files of their own.

#include "scan/md5.h"

#include "scan/md5steps.h"

#include <cstring>

namespace tarvik {

namespace {

inline quint32 load(const unsigned char* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

inline void store(unsigned char* p, quint32 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
    p[2] = uchar(v >> 16);
    p[3] = uchar(v >> 24);
}

} // namespace

// The message words straight from the input, each read where a step needs it.
struct InputWords
{
    const unsigned char* p;
    quint32 operator[](int i) const { return load(p + 4 * i); }
};

void Md5::blocks(const unsigned char* p, size_t count)
{
    quint32 a = mState[0], b = mState[1], c = mState[2], d = mState[3];
    for (; count > 0; --count, p += 64)
        md5::block(a, b, c, d, InputWords{p});
    mState[0] = a;
    mState[1] = b;
    mState[2] = c;
    mState[3] = d;
}

namespace {

struct PairWords
{
    const unsigned char* p;
    const unsigned char* q;
    md5::WordPair operator[](int i) const { return {load(p + 4 * i), load(q + 4 * i)}; }
};

} // namespace

void Md5::addInPairs(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    int i = 0;
    for (; i + 1 < count; i += 2) {
        Md5& one = *digests[i];
        Md5& two = *digests[i + 1];
        md5::WordPair a{one.mState[0], two.mState[0]}, b{one.mState[1], two.mState[1]},
            c{one.mState[2], two.mState[2]}, d{one.mState[3], two.mState[3]};
        PairWords m{reinterpret_cast<const unsigned char*>(data[i]),
                    reinterpret_cast<const unsigned char*>(data[i + 1])};
        for (size_t n = blocks; n > 0; --n, m.p += 64, m.q += 64)
            md5::block(a, b, c, d, m);
        const md5::WordPair state[4] = {a, b, c, d};
        for (int w = 0; w < 4; ++w) {
            one.mState[w] = state[w].x;
            two.mState[w] = state[w].y;
        }
        one.mLength += blocks * 64;
        two.mLength += blocks * 64;
    }
    if (i < count)
        digests[i]->add(data[i], blocks * 64);
}

void Md5::reset()
{
    mState[0] = 0x67452301;
    mState[1] = 0xefcdab89;
    mState[2] = 0x98badcfe;
    mState[3] = 0x10325476;
    mLength = 0;
    mBuffered = 0;
}

void Md5::add(const char* data, size_t size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    mLength += size;
    if (mBuffered > 0) {
        const size_t take = qMin(size, 64 - mBuffered);
        std::memcpy(mBuffer + mBuffered, p, take);
        mBuffered += take;
        p += take;
        size -= take;
        if (mBuffered < 64)
            return;
        blocks(mBuffer, 1);
        mBuffered = 0;
    }
    blocks(p, size / 64);
    p += size & ~size_t(63);
    size &= 63;
    std::memcpy(mBuffer, p, size);
    mBuffered = size;
}

QByteArray Md5::result()
{
    const quint64 bits = mLength * 8;
    mBuffer[mBuffered++] = 0x80;
    if (mBuffered > 56) {
        std::memset(mBuffer + mBuffered, 0, 64 - mBuffered);
        blocks(mBuffer, 1);
        mBuffered = 0;
    }
    std::memset(mBuffer + mBuffered, 0, 56 - mBuffered);
    store(mBuffer + 56, quint32(bits));
    store(mBuffer + 60, quint32(bits >> 32));
    blocks(mBuffer, 1);
    QByteArray digest(16, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(digest.data());
    for (int i = 0; i < 4; ++i)
        store(out + 4 * i, mState[i]);
    return digest;
}

} // namespace tarvik
