#pragma once

// The 64 steps of MD5 once, for the one-digest code and the SIMD lanes alike: a word is a
// 32-bit integer or a vector of them, one per lane. Internal to the MD5 files.

#include <QtGlobal>
#include <type_traits>
#include <utility>

#if defined(__GNUC__)
#define TARVIK_MD5_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define TARVIK_MD5_INLINE __forceinline
#else
#define TARVIK_MD5_INLINE inline
#endif

namespace tarvik::md5 {

struct Step
{
    quint32 constant;
    int shift;
    int word; // which message word the step adds
};

// Four rounds of sixteen steps: F, G, H, I.
inline constexpr Step kSteps[64] = {
    {0xd76aa478, 7, 0},  {0xe8c7b756, 12, 1},  {0x242070db, 17, 2},  {0xc1bdceee, 22, 3},
    {0xf57c0faf, 7, 4},  {0x4787c62a, 12, 5},  {0xa8304613, 17, 6},  {0xfd469501, 22, 7},
    {0x698098d8, 7, 8},  {0x8b44f7af, 12, 9},  {0xffff5bb1, 17, 10}, {0x895cd7be, 22, 11},
    {0x6b901122, 7, 12}, {0xfd987193, 12, 13}, {0xa679438e, 17, 14}, {0x49b40821, 22, 15},

    {0xf61e2562, 5, 1},  {0xc040b340, 9, 6},   {0x265e5a51, 14, 11}, {0xe9b6c7aa, 20, 0},
    {0xd62f105d, 5, 5},  {0x02441453, 9, 10},  {0xd8a1e681, 14, 15}, {0xe7d3fbc8, 20, 4},
    {0x21e1cde6, 5, 9},  {0xc33707d6, 9, 14},  {0xf4d50d87, 14, 3},  {0x455a14ed, 20, 8},
    {0xa9e3e905, 5, 13}, {0xfcefa3f8, 9, 2},   {0x676f02d9, 14, 7},  {0x8d2a4c8a, 20, 12},

    {0xfffa3942, 4, 5},  {0x8771f681, 11, 8},  {0x6d9d6122, 16, 11}, {0xfde5380c, 23, 14},
    {0xa4beea44, 4, 1},  {0x4bdecfa9, 11, 4},  {0xf6bb4b60, 16, 7},  {0xbebfbc70, 23, 10},
    {0x289b7ec6, 4, 13}, {0xeaa127fa, 11, 0},  {0xd4ef3085, 16, 3},  {0x04881d05, 23, 6},
    {0xd9d4d039, 4, 9},  {0xe6db99e5, 11, 12}, {0x1fa27cf8, 16, 15}, {0xc4ac5665, 23, 2},

    {0xf4292244, 6, 0},  {0x432aff97, 10, 7},  {0xab9423a7, 15, 14}, {0xfc93a039, 21, 5},
    {0x655b59c3, 6, 12}, {0x8f0ccc92, 10, 3},  {0xffeff47d, 15, 10}, {0x85845dd1, 21, 1},
    {0x6fa87e4f, 6, 8},  {0xfe2ce6e0, 10, 15}, {0xa3014314, 15, 6},  {0x4e0811a1, 21, 13},
    {0xf7537e82, 6, 4},  {0xbd3af235, 10, 11}, {0x2ad7d2bb, 15, 2},  {0xeb86d391, 21, 9},
};

// A word of each of two digests, advanced together in general registers: one digest's steps
// wait on each other, and the other's fill the gaps, so that two cost about what one does.
struct WordPair
{
    quint32 x, y;

    TARVIK_MD5_INLINE WordPair operator+(const WordPair& o) const { return {x + o.x, y + o.y}; }
    TARVIK_MD5_INLINE WordPair operator+(quint32 k) const { return {x + k, y + k}; }
    TARVIK_MD5_INLINE WordPair operator&(const WordPair& o) const { return {x & o.x, y & o.y}; }
    TARVIK_MD5_INLINE WordPair operator|(const WordPair& o) const { return {x | o.x, y | o.y}; }
    TARVIK_MD5_INLINE WordPair operator^(const WordPair& o) const { return {x ^ o.x, y ^ o.y}; }
    TARVIK_MD5_INLINE WordPair operator~() const { return {~x, ~y}; }
    TARVIK_MD5_INLINE WordPair operator<<(int s) const { return {x << s, y << s}; }
    TARVIK_MD5_INLINE WordPair operator>>(int s) const { return {x >> s, y >> s}; }
    TARVIK_MD5_INLINE WordPair& operator+=(const WordPair& o)
    {
        x += o.x;
        y += o.y;
        return *this;
    }
};

template <typename Word> TARVIK_MD5_INLINE Word rotl(const Word& x, int s)
{
    return (x << s) | (x >> (32 - s));
}

// Left alone, the compiler adds the message word and the constant after the round function,
// on the chain of dependent steps, which costs a fifth of the speed of the SIMD lanes.
template <typename Word> TARVIK_MD5_INLINE void offChain(Word& word)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // A pair stays in general registers: the compiler would make it a vector, whose steps
    // take longer.
    if constexpr (std::is_same_v<Word, WordPair>)
        asm("" : "+r"(word.x), "+r"(word.y));
    else if constexpr (sizeof(Word) > sizeof(quint32))
        asm("" : "+v"(word));
#else
    Q_UNUSED(word);
#endif
}

// Step I: the message word and the constant are added first, off the chain of dependent
// steps; G's two halves are added rather than or-ed, which lets them run side by side.
template <int I, typename Word, typename Message>
TARVIK_MD5_INLINE void step(Word& a, const Word& b, const Word& c, const Word& d, const Message& m)
{
    constexpr Step s = kSteps[I];
    a += m[s.word] + s.constant;
    offChain(a);
    if constexpr (I < 16) {
        a += d ^ (b & (c ^ d));
    } else if constexpr (I < 32) {
        a += c & ~d;
        a += b & d;
    } else if constexpr (I < 48) {
        a += b ^ c ^ d;
    } else {
        a += c ^ (b | ~d);
    }
    a = rotl(a, s.shift) + b;
}

// Four steps from step I on, the state words taking turns as the one changed.
template <int I, typename Word, typename Message>
TARVIK_MD5_INLINE void fourSteps(Word& a, Word& b, Word& c, Word& d, const Message& m)
{
    step<I>(a, b, c, d, m);
    step<I + 1>(d, a, b, c, m);
    step<I + 2>(c, d, a, b, m);
    step<I + 3>(b, c, d, a, m);
}

template <typename Word, typename Message, size_t... Q>
TARVIK_MD5_INLINE void allSteps(Word& a, Word& b, Word& c, Word& d, const Message& m,
                                std::index_sequence<Q...>)
{
    (fourSteps<int(4 * Q)>(a, b, c, d, m), ...);
}

// One 64-byte block into the state; m[i] gives its i-th message word.
template <typename Word, typename Message>
TARVIK_MD5_INLINE void block(Word& a, Word& b, Word& c, Word& d, const Message& m)
{
    const Word a0 = a, b0 = b, c0 = c, d0 = d;
    allSteps(a, b, c, d, m, std::make_index_sequence<16>());
    a += a0;
    b += b0;
    c += c0;
    d += d0;
}

} // namespace tarvik::md5
