// Prints the MD5 throughput of one digest at a time and of every SIMD kernel this processor
// has, in MB of input a second: the best of several rounds over data that stays in the cache.
// Seconds are the thread's own CPU time where the system counts it, so that other work on a
// shared machine slows the figures less.
//
//   bench_md5 [ROUNDS]

#include "scan/md5.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr size_t kChunk = 1 << 20;
// Bytes digested in one round, whatever the number of lanes.
constexpr qint64 kRound = qint64(256) << 20;

const char* kernelName(tarvik::Md5::Kernel kernel)
{
    switch (kernel) {
    case tarvik::Md5::Kernel::Fastest:
        break;
    case tarvik::Md5::Kernel::Pairs:
        return "two in general registers";
    case tarvik::Md5::Kernel::Avx2:
        return "AVX2";
    case tarvik::Md5::Kernel::Avx512:
        return "AVX-512";
    case tarvik::Md5::Kernel::Avx512Wide:
        return "AVX-512 wide";
    }
    return "fastest";
}

double seconds()
{
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec now;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0)
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
#endif
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return double(timer.nsecsElapsed()) / 1e9;
}

template <typename Round> double bestRate(int rounds, Round round)
{
    double best = 0;
    for (int i = 0; i < rounds; ++i) {
        const double start = seconds();
        round();
        best = std::max(best, kRound / (seconds() - start) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    using tarvik::Md5;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<char> data(kChunk * 16);
    QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);

    const double one = bestRate(rounds, [&] {
        Md5 md5;
        for (qint64 done = 0; done < kRound; done += kChunk)
            md5.add(data.data(), kChunk);
        md5.result();
    });
    std::printf("one digest: %.0f MB/s\n", one);
    for (const Md5::Kernel kernel : Md5::kernels()) {
        Md5::useKernel(kernel);
        const int lanes = Md5::lanes();
        std::vector<Md5> digests(static_cast<size_t>(lanes));
        std::vector<Md5*> each;
        std::vector<const char*> at;
        for (int i = 0; i < lanes; ++i) {
            each.push_back(&digests[size_t(i)]);
            at.push_back(data.data() + size_t(i) * kChunk);
        }
        const double rate = bestRate(rounds, [&] {
            for (qint64 done = 0; done < kRound; done += qint64(lanes) * qint64(kChunk))
                Md5::addBlocks(each.data(), at.data(), lanes, kChunk / 64);
        });
        std::printf("%s, %d lanes: %.0f MB/s\n", kernelName(kernel), lanes, rate);
    }
    return 0;
}
