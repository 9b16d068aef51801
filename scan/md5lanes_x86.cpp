// Several MD5 digests side by side on x86, one per SIMD lane: the steps of md5steps.h on
// vectors of eight (AVX2, AVX-512) or sixteen (AVX-512) 32-bit words, the kernel chosen at run
// time. Without AVX2, or with fewer digests than pay for the lanes, two at a time in general
// registers.

// The eight-lane kernels are built for AVX2 alone and chosen at run time; the warning about
// passing such vectors by value concerns calls across that boundary, which never happen.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "scan/md5.h"
#include "scan/md5steps.h"

#include <atomic>
#include <cstring>
#include <immintrin.h>

namespace tarvik {

namespace {

typedef quint32 Lanes8 __attribute__((vector_size(32)));
typedef quint32 Lanes16 __attribute__((vector_size(64)));

constexpr int kMaxLanes = 16;

// Every lane's state and data, unused lanes repeating the first, so that a kernel always runs
// all of its lanes.
struct LaneSet
{
    quint32 state[kMaxLanes][4];
    const unsigned char* at[kMaxLanes];
};

template <typename V, int N, typename Load>
__attribute__((always_inline)) inline void laneBlocks(LaneSet& set, size_t blocks, Load load)
{
    quint32 words[4][N];
    for (int l = 0; l < N; ++l)
        for (int i = 0; i < 4; ++i)
            words[i][l] = set.state[l][i];
    V a, b, c, d;
    std::memcpy(&a, words[0], sizeof a);
    std::memcpy(&b, words[1], sizeof b);
    std::memcpy(&c, words[2], sizeof c);
    std::memcpy(&d, words[3], sizeof d);
    const unsigned char* at[N];
    std::memcpy(at, set.at, sizeof at);
    for (; blocks > 0; --blocks) {
        V m[16];
        load(m, at);
        for (int l = 0; l < N; ++l)
            at[l] += 64;
        md5::block(a, b, c, d, m);
    }
    std::memcpy(words[0], &a, sizeof a);
    std::memcpy(words[1], &b, sizeof b);
    std::memcpy(words[2], &c, sizeof c);
    std::memcpy(words[3], &d, sizeof d);
    for (int l = 0; l < N; ++l)
        for (int i = 0; i < 4; ++i)
            set.state[l][i] = words[i][l];
}

// The message words of one block of each lane, turned so that each vector holds one word of
// every lane: 8 x 8 transposes of 32-bit words.
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

__attribute__((target("avx2"))) void blocks8(LaneSet& set, size_t blocks)
{
    laneBlocks<Lanes8, 8>(set, blocks, load8);
}

// The same where the processor rotates a vector in one instruction.
__attribute__((target("avx2,avx512f,avx512vl"))) void blocks8rotate(LaneSet& set, size_t blocks)
{
    laneBlocks<Lanes8, 8>(set, blocks, load8);
}

// Sixteen lanes as two halves of eight, each transposed as above.
__attribute__((target("avx2,avx512f,avx512vl"), always_inline)) inline void
load16(Lanes16* m, const unsigned char** at)
{
    Lanes8 low[16], high[16];
    load8(low, at);
    load8(high, at + 8);
    for (int i = 0; i < 16; ++i) {
        std::memcpy(&m[i], &low[i], sizeof low[i]);
        std::memcpy(reinterpret_cast<char*>(&m[i]) + sizeof low[i], &high[i], sizeof high[i]);
    }
}

// A step's chain of dependent instructions is as long on sixteen lanes as on eight, so the
// second eight come almost free.
__attribute__((target("avx2,avx512f,avx512vl"))) void blocks16(LaneSet& set, size_t blocks)
{
    laneBlocks<Lanes16, 16>(set, blocks, load16);
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

bool haveAvx512()
{
    static const bool have =
        haveAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    return have;
}

std::atomic<Md5::Kernel> gKernel{Md5::Kernel::Fastest};

Md5::Kernel kernelInUse()
{
    const Md5::Kernel kernel = gKernel.load(std::memory_order_relaxed);
    if (kernel != Md5::Kernel::Fastest)
        return kernel;
    return haveAvx512() ? Md5::Kernel::Avx512Wide
           : haveAvx2() ? Md5::Kernel::Avx2
                        : Md5::Kernel::Pairs;
}

} // namespace

std::vector<Md5::Kernel> Md5::kernels()
{
    std::vector<Kernel> list{Kernel::Pairs};
    if (haveAvx2())
        list.push_back(Kernel::Avx2);
    if (haveAvx512()) {
        list.push_back(Kernel::Avx512);
        list.push_back(Kernel::Avx512Wide);
    }
    return list;
}

void Md5::useKernel(Kernel kernel)
{
    gKernel.store(kernel, std::memory_order_relaxed);
}

int Md5::lanes()
{
    switch (kernelInUse()) {
    case Kernel::Fastest:
    case Kernel::Pairs:
        return 2;
    case Kernel::Avx512Wide:
        return 16;
    default:
        return 8;
    }
}

void Md5::addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    if (count < kLanesFrom) {
        addInPairs(digests, data, count, blocks);
        return;
    }
    LaneSet set;
    const Kernel kernel = kernelInUse();
    const int width = kernel == Kernel::Avx512Wide && count > 8 ? 16 : 8;
    for (int l = 0; l < width; ++l) {
        const int from = l < count ? l : 0;
        std::memcpy(set.state[l], digests[from]->mState, sizeof set.state[l]);
        set.at[l] = reinterpret_cast<const unsigned char*>(data[from]);
    }
    if (width == 16)
        blocks16(set, blocks);
    else if (kernel == Kernel::Avx512 || kernel == Kernel::Avx512Wide)
        blocks8rotate(set, blocks);
    else
        blocks8(set, blocks);
    for (int i = 0; i < count; ++i) {
        std::memcpy(digests[i]->mState, set.state[i], sizeof set.state[i]);
        digests[i]->mLength += blocks * 64;
    }
}

} // namespace tarvik
