#include "scan/md5.h"

#include <cstring>

namespace tarvik {

namespace {

inline quint32 rotl(quint32 x, int s)
{
    return (x << s) | (x >> (32 - s));
}

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

// The message word and the constant are added to a first, off the chain of dependent steps;
// G's two halves are added rather than or-ed, which lets them run side by side.
#define MD5_F(a, b, c, d, m, k, s)                                                                 \
    a += (m) + (k) + ((d) ^ ((b) & ((c) ^ (d))));                                                  \
    a = rotl(a, s) + (b)
#define MD5_G(a, b, c, d, m, k, s)                                                                 \
    a += (m) + (k) + ((c) & ~(d));                                                                 \
    a += (b) & (d);                                                                                \
    a = rotl(a, s) + (b)
#define MD5_H(a, b, c, d, m, k, s)                                                                 \
    a += (m) + (k) + ((b) ^ (c) ^ (d));                                                            \
    a = rotl(a, s) + (b)
#define MD5_I(a, b, c, d, m, k, s)                                                                 \
    a += (m) + (k) + ((c) ^ ((b) | ~(d)));                                                         \
    a = rotl(a, s) + (b)

void Md5::blocks(const unsigned char* p, size_t count)
{
    quint32 a = mState[0], b = mState[1], c = mState[2], d = mState[3];
    for (; count > 0; --count, p += 64) {
        const quint32 m0 = load(p), m1 = load(p + 4), m2 = load(p + 8), m3 = load(p + 12),
                      m4 = load(p + 16), m5 = load(p + 20), m6 = load(p + 24), m7 = load(p + 28),
                      m8 = load(p + 32), m9 = load(p + 36), m10 = load(p + 40), m11 = load(p + 44),
                      m12 = load(p + 48), m13 = load(p + 52), m14 = load(p + 56),
                      m15 = load(p + 60);
        const quint32 aa = a, bb = b, cc = c, dd = d;

        MD5_F(a, b, c, d, m0, 0xd76aa478, 7);
        MD5_F(d, a, b, c, m1, 0xe8c7b756, 12);
        MD5_F(c, d, a, b, m2, 0x242070db, 17);
        MD5_F(b, c, d, a, m3, 0xc1bdceee, 22);
        MD5_F(a, b, c, d, m4, 0xf57c0faf, 7);
        MD5_F(d, a, b, c, m5, 0x4787c62a, 12);
        MD5_F(c, d, a, b, m6, 0xa8304613, 17);
        MD5_F(b, c, d, a, m7, 0xfd469501, 22);
        MD5_F(a, b, c, d, m8, 0x698098d8, 7);
        MD5_F(d, a, b, c, m9, 0x8b44f7af, 12);
        MD5_F(c, d, a, b, m10, 0xffff5bb1, 17);
        MD5_F(b, c, d, a, m11, 0x895cd7be, 22);
        MD5_F(a, b, c, d, m12, 0x6b901122, 7);
        MD5_F(d, a, b, c, m13, 0xfd987193, 12);
        MD5_F(c, d, a, b, m14, 0xa679438e, 17);
        MD5_F(b, c, d, a, m15, 0x49b40821, 22);

        MD5_G(a, b, c, d, m1, 0xf61e2562, 5);
        MD5_G(d, a, b, c, m6, 0xc040b340, 9);
        MD5_G(c, d, a, b, m11, 0x265e5a51, 14);
        MD5_G(b, c, d, a, m0, 0xe9b6c7aa, 20);
        MD5_G(a, b, c, d, m5, 0xd62f105d, 5);
        MD5_G(d, a, b, c, m10, 0x02441453, 9);
        MD5_G(c, d, a, b, m15, 0xd8a1e681, 14);
        MD5_G(b, c, d, a, m4, 0xe7d3fbc8, 20);
        MD5_G(a, b, c, d, m9, 0x21e1cde6, 5);
        MD5_G(d, a, b, c, m14, 0xc33707d6, 9);
        MD5_G(c, d, a, b, m3, 0xf4d50d87, 14);
        MD5_G(b, c, d, a, m8, 0x455a14ed, 20);
        MD5_G(a, b, c, d, m13, 0xa9e3e905, 5);
        MD5_G(d, a, b, c, m2, 0xfcefa3f8, 9);
        MD5_G(c, d, a, b, m7, 0x676f02d9, 14);
        MD5_G(b, c, d, a, m12, 0x8d2a4c8a, 20);

        MD5_H(a, b, c, d, m5, 0xfffa3942, 4);
        MD5_H(d, a, b, c, m8, 0x8771f681, 11);
        MD5_H(c, d, a, b, m11, 0x6d9d6122, 16);
        MD5_H(b, c, d, a, m14, 0xfde5380c, 23);
        MD5_H(a, b, c, d, m1, 0xa4beea44, 4);
        MD5_H(d, a, b, c, m4, 0x4bdecfa9, 11);
        MD5_H(c, d, a, b, m7, 0xf6bb4b60, 16);
        MD5_H(b, c, d, a, m10, 0xbebfbc70, 23);
        MD5_H(a, b, c, d, m13, 0x289b7ec6, 4);
        MD5_H(d, a, b, c, m0, 0xeaa127fa, 11);
        MD5_H(c, d, a, b, m3, 0xd4ef3085, 16);
        MD5_H(b, c, d, a, m6, 0x04881d05, 23);
        MD5_H(a, b, c, d, m9, 0xd9d4d039, 4);
        MD5_H(d, a, b, c, m12, 0xe6db99e5, 11);
        MD5_H(c, d, a, b, m15, 0x1fa27cf8, 16);
        MD5_H(b, c, d, a, m2, 0xc4ac5665, 23);

        MD5_I(a, b, c, d, m0, 0xf4292244, 6);
        MD5_I(d, a, b, c, m7, 0x432aff97, 10);
        MD5_I(c, d, a, b, m14, 0xab9423a7, 15);
        MD5_I(b, c, d, a, m5, 0xfc93a039, 21);
        MD5_I(a, b, c, d, m12, 0x655b59c3, 6);
        MD5_I(d, a, b, c, m3, 0x8f0ccc92, 10);
        MD5_I(c, d, a, b, m10, 0xffeff47d, 15);
        MD5_I(b, c, d, a, m1, 0x85845dd1, 21);
        MD5_I(a, b, c, d, m8, 0x6fa87e4f, 6);
        MD5_I(d, a, b, c, m15, 0xfe2ce6e0, 10);
        MD5_I(c, d, a, b, m6, 0xa3014314, 15);
        MD5_I(b, c, d, a, m13, 0x4e0811a1, 21);
        MD5_I(a, b, c, d, m4, 0xf7537e82, 6);
        MD5_I(d, a, b, c, m11, 0xbd3af235, 10);
        MD5_I(c, d, a, b, m2, 0x2ad7d2bb, 15);
        MD5_I(b, c, d, a, m9, 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    mState[0] = a;
    mState[1] = b;
    mState[2] = c;
    mState[3] = d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

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

// Several digests side by side, one per SIMD lane: the same steps as above on vectors of eight
// (or four) 32-bit words. Where the compiler has no vector extensions, one lane after another.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARVIK_MD5_LANES 1
#endif

#ifdef TARVIK_MD5_LANES
#include <immintrin.h>
#endif

namespace tarvik {

#ifdef TARVIK_MD5_LANES

namespace {

// The eight-lane kernel is built for AVX2 alone and chosen at run time; the warning about
// passing such vectors by value concerns calls across that boundary, which never happen.
#pragma GCC diagnostic ignored "-Wpsabi"

template <typename V> __attribute__((always_inline)) inline V vrotl(V x, int s)
{
    return (x << s) | (x >> (32 - s));
}

#define LANE_F(a, b, c, d, i, k, s)                                                                \
    a += m[i] + quint32(k) + ((d) ^ ((b) & ((c) ^ (d))));                                          \
    a = vrotl(a, s) + (b)
#define LANE_G(a, b, c, d, i, k, s)                                                                \
    a += m[i] + quint32(k) + ((c) & ~(d));                                                         \
    a += (b) & (d);                                                                                \
    a = vrotl(a, s) + (b)
#define LANE_H(a, b, c, d, i, k, s)                                                                \
    a += m[i] + quint32(k) + ((b) ^ (c) ^ (d));                                                    \
    a = vrotl(a, s) + (b)
#define LANE_I(a, b, c, d, i, k, s)                                                                \
    a += m[i] + quint32(k) + ((c) ^ ((b) | ~(d)));                                                 \
    a = vrotl(a, s) + (b)

template <typename V, int N, typename Load>
__attribute__((always_inline)) inline void laneBlocks(quint32 (*state)[4], const unsigned char** p,
                                                      int count, size_t blocks, Load load)
{
    V a, b, c, d;
    for (int l = 0; l < N; ++l) {
        const int from = l < count ? l : 0;
        a[l] = state[from][0];
        b[l] = state[from][1];
        c[l] = state[from][2];
        d[l] = state[from][3];
    }
    const unsigned char* at[N];
    for (int l = 0; l < N; ++l)
        at[l] = p[l < count ? l : 0];
    for (; blocks > 0; --blocks) {
        V m[16];
        load(m, at);
        for (int l = 0; l < N; ++l)
            at[l] += 64;
        const V aa = a, bb = b, cc = c, dd = d;

        LANE_F(a, b, c, d, 0, 0xd76aa478, 7);
        LANE_F(d, a, b, c, 1, 0xe8c7b756, 12);
        LANE_F(c, d, a, b, 2, 0x242070db, 17);
        LANE_F(b, c, d, a, 3, 0xc1bdceee, 22);
        LANE_F(a, b, c, d, 4, 0xf57c0faf, 7);
        LANE_F(d, a, b, c, 5, 0x4787c62a, 12);
        LANE_F(c, d, a, b, 6, 0xa8304613, 17);
        LANE_F(b, c, d, a, 7, 0xfd469501, 22);
        LANE_F(a, b, c, d, 8, 0x698098d8, 7);
        LANE_F(d, a, b, c, 9, 0x8b44f7af, 12);
        LANE_F(c, d, a, b, 10, 0xffff5bb1, 17);
        LANE_F(b, c, d, a, 11, 0x895cd7be, 22);
        LANE_F(a, b, c, d, 12, 0x6b901122, 7);
        LANE_F(d, a, b, c, 13, 0xfd987193, 12);
        LANE_F(c, d, a, b, 14, 0xa679438e, 17);
        LANE_F(b, c, d, a, 15, 0x49b40821, 22);

        LANE_G(a, b, c, d, 1, 0xf61e2562, 5);
        LANE_G(d, a, b, c, 6, 0xc040b340, 9);
        LANE_G(c, d, a, b, 11, 0x265e5a51, 14);
        LANE_G(b, c, d, a, 0, 0xe9b6c7aa, 20);
        LANE_G(a, b, c, d, 5, 0xd62f105d, 5);
        LANE_G(d, a, b, c, 10, 0x02441453, 9);
        LANE_G(c, d, a, b, 15, 0xd8a1e681, 14);
        LANE_G(b, c, d, a, 4, 0xe7d3fbc8, 20);
        LANE_G(a, b, c, d, 9, 0x21e1cde6, 5);
        LANE_G(d, a, b, c, 14, 0xc33707d6, 9);
        LANE_G(c, d, a, b, 3, 0xf4d50d87, 14);
        LANE_G(b, c, d, a, 8, 0x455a14ed, 20);
        LANE_G(a, b, c, d, 13, 0xa9e3e905, 5);
        LANE_G(d, a, b, c, 2, 0xfcefa3f8, 9);
        LANE_G(c, d, a, b, 7, 0x676f02d9, 14);
        LANE_G(b, c, d, a, 12, 0x8d2a4c8a, 20);

        LANE_H(a, b, c, d, 5, 0xfffa3942, 4);
        LANE_H(d, a, b, c, 8, 0x8771f681, 11);
        LANE_H(c, d, a, b, 11, 0x6d9d6122, 16);
        LANE_H(b, c, d, a, 14, 0xfde5380c, 23);
        LANE_H(a, b, c, d, 1, 0xa4beea44, 4);
        LANE_H(d, a, b, c, 4, 0x4bdecfa9, 11);
        LANE_H(c, d, a, b, 7, 0xf6bb4b60, 16);
        LANE_H(b, c, d, a, 10, 0xbebfbc70, 23);
        LANE_H(a, b, c, d, 13, 0x289b7ec6, 4);
        LANE_H(d, a, b, c, 0, 0xeaa127fa, 11);
        LANE_H(c, d, a, b, 3, 0xd4ef3085, 16);
        LANE_H(b, c, d, a, 6, 0x04881d05, 23);
        LANE_H(a, b, c, d, 9, 0xd9d4d039, 4);
        LANE_H(d, a, b, c, 12, 0xe6db99e5, 11);
        LANE_H(c, d, a, b, 15, 0x1fa27cf8, 16);
        LANE_H(b, c, d, a, 2, 0xc4ac5665, 23);

        LANE_I(a, b, c, d, 0, 0xf4292244, 6);
        LANE_I(d, a, b, c, 7, 0x432aff97, 10);
        LANE_I(c, d, a, b, 14, 0xab9423a7, 15);
        LANE_I(b, c, d, a, 5, 0xfc93a039, 21);
        LANE_I(a, b, c, d, 12, 0x655b59c3, 6);
        LANE_I(d, a, b, c, 3, 0x8f0ccc92, 10);
        LANE_I(c, d, a, b, 10, 0xffeff47d, 15);
        LANE_I(b, c, d, a, 1, 0x85845dd1, 21);
        LANE_I(a, b, c, d, 8, 0x6fa87e4f, 6);
        LANE_I(d, a, b, c, 15, 0xfe2ce6e0, 10);
        LANE_I(c, d, a, b, 6, 0xa3014314, 15);
        LANE_I(b, c, d, a, 13, 0x4e0811a1, 21);
        LANE_I(a, b, c, d, 4, 0xf7537e82, 6);
        LANE_I(d, a, b, c, 11, 0xbd3af235, 10);
        LANE_I(c, d, a, b, 2, 0x2ad7d2bb, 15);
        LANE_I(b, c, d, a, 9, 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    for (int l = 0; l < count; ++l) {
        state[l][0] = a[l];
        state[l][1] = b[l];
        state[l][2] = c[l];
        state[l][3] = d[l];
    }
}

#undef LANE_F
#undef LANE_G
#undef LANE_H
#undef LANE_I

typedef quint32 Lanes4 __attribute__((vector_size(16)));
typedef quint32 Lanes8 __attribute__((vector_size(32)));

// The message words of one block of each lane, turned so that each vector holds one word of
// every lane: 4 x 4 (or 8 x 8) transposes of 32-bit words.
void blocks4(quint32 (*state)[4], const unsigned char** p, int count, size_t blocks)
{
    laneBlocks<Lanes4, 4>(state, p, count, blocks, [](Lanes4* m, const unsigned char** at) {
        for (int i = 0; i < 4; ++i) {
            const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at[0] + 16 * i));
            const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at[1] + 16 * i));
            const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at[2] + 16 * i));
            const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at[3] + 16 * i));
            const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpackhi_epi32(r0, r1);
            const __m128i t2 = _mm_unpacklo_epi32(r2, r3), t3 = _mm_unpackhi_epi32(r2, r3);
            m[4 * i] = Lanes4(_mm_unpacklo_epi64(t0, t2));
            m[4 * i + 1] = Lanes4(_mm_unpackhi_epi64(t0, t2));
            m[4 * i + 2] = Lanes4(_mm_unpacklo_epi64(t1, t3));
            m[4 * i + 3] = Lanes4(_mm_unpackhi_epi64(t1, t3));
        }
    });
}

__attribute__((target("avx2"), always_inline)) inline void load8(Lanes8* m,
                                                                 const unsigned char** at)
{
    for (int i = 0; i < 2; ++i) {
        __m256i r[8];
        for (int l = 0; l < 8; ++l)
            r[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at[l] + 32 * i));
        __m256i u[8];
        for (int h = 0; h < 8; h += 4) {
            const __m256i t0 = _mm256_unpacklo_epi32(r[h], r[h + 1]);
            const __m256i t1 = _mm256_unpackhi_epi32(r[h], r[h + 1]);
            const __m256i t2 = _mm256_unpacklo_epi32(r[h + 2], r[h + 3]);
            const __m256i t3 = _mm256_unpackhi_epi32(r[h + 2], r[h + 3]);
            u[h] = _mm256_unpacklo_epi64(t0, t2);
            u[h + 1] = _mm256_unpackhi_epi64(t0, t2);
            u[h + 2] = _mm256_unpacklo_epi64(t1, t3);
            u[h + 3] = _mm256_unpackhi_epi64(t1, t3);
        }
        for (int j = 0; j < 4; ++j) {
            m[8 * i + j] = Lanes8(_mm256_permute2x128_si256(u[j], u[j + 4], 0x20));
            m[8 * i + j + 4] = Lanes8(_mm256_permute2x128_si256(u[j], u[j + 4], 0x31));
        }
    }
}

__attribute__((target("avx2"))) void blocks8(quint32 (*state)[4], const unsigned char** p,
                                             int count, size_t blocks)
{
    laneBlocks<Lanes8, 8>(state, p, count, blocks, load8);
}

// The same where the processor rotates a vector in one instruction.
__attribute__((target("avx2,avx512f,avx512vl"))) void
blocks8rotate(quint32 (*state)[4], const unsigned char** p, int count, size_t blocks)
{
    laneBlocks<Lanes8, 8>(state, p, count, blocks, load8);
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

bool haveRotate()
{
    static const bool have =
        haveAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return have;
}

int gKernel = -1;

} // namespace

int Md5::kernels()
{
    return haveRotate() ? 3 : haveAvx2() ? 2 : 1;
}

void Md5::useKernel(int kernel)
{
    gKernel = kernel;
}

int Md5::lanes()
{
    const int kernel = gKernel < 0 ? kernels() - 1 : gKernel;
    return kernel > 0 ? 8 : 4;
}

void Md5::addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    quint32 state[8][4];
    const unsigned char* p[8];
    for (int i = 0; i < count; ++i) {
        std::memcpy(state[i], digests[i]->mState, sizeof state[i]);
        p[i] = reinterpret_cast<const unsigned char*>(data[i]);
    }
    const int kernel = gKernel < 0 ? kernels() - 1 : gKernel;
    if (kernel == 2 && count > 1)
        blocks8rotate(state, p, count, blocks);
    else if (kernel >= 1 && count > 4)
        blocks8(state, p, count, blocks);
    else
        blocks4(state, p, count, blocks);
    for (int i = 0; i < count; ++i) {
        std::memcpy(digests[i]->mState, state[i], sizeof state[i]);
        digests[i]->mLength += blocks * 64;
    }
}

#else

int Md5::kernels()
{
    return 1;
}

void Md5::useKernel(int) {}

int Md5::lanes()
{
    return 1;
}

void Md5::addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    for (int i = 0; i < count; ++i)
        digests[i]->add(data[i], blocks * 64);
}

#endif

} // namespace tarvik
