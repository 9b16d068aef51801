#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <vector>

namespace tarvik {

// MD5, written for speed: the scan computes one per duplicate group, and on trees of large
// files that is most of its work. Gives exactly what QCryptographicHash::Md5 gives.
class Md5
{
public:
    // The ways addBlocks() can advance several digests.
    enum class Kernel {
        Fastest,    // the last of kernels(), the default
        Pairs,      // two digests at a time in general registers
        Avx2,       // eight lanes
        Avx512,     // eight lanes, each rotate one instruction
        Avx512Wide, // sixteen lanes
    };

    Md5() { reset(); }
    void reset();
    void add(const char* data, size_t size);
    // The 16-byte digest; the object must be reset() before it is used again.
    QByteArray result();

    // How many digests addBlocks() advances at the price of about one: SIMD lanes.
    static int lanes();
    // Fewer digests than this go two at a time through general registers, as fast each as one
    // alone; the lanes take longer over a block, and pay off only when this many share them.
    static constexpr int kLanesFrom = 5;
    // Adds blocks * 64 bytes to each of count digests (at most lanes()), from data[i] for the
    // i-th, side by side. Each must hold no partial block, as after whole blocks only.
    static void addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks);
    bool wholeBlocks() const { return mBuffered == 0; }
    // For tests and benchmarks: the kernels this processor can run, slowest first, and which
    // of them addBlocks() uses.
    static std::vector<Kernel> kernels();
    static void useKernel(Kernel kernel);

private:
    void blocks(const unsigned char* data, size_t count);
    // addBlocks() two digests at a time, the last alone if count is odd.
    static void addInPairs(Md5* const* digests, const char* const* data, int count, size_t blocks);

    quint32 mState[4];
    quint64 mLength = 0;
    unsigned char mBuffer[64];
    size_t mBuffered = 0;
};

} // namespace tarvik
