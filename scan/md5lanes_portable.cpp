// MD5 digests side by side where no SIMD kernel is built: two at a time in general registers.

#include "scan/md5.h"

namespace tarvik {

std::vector<Md5::Kernel> Md5::kernels()
{
    return {Kernel::Pairs};
}

void Md5::useKernel(Kernel) {}

int Md5::lanes()
{
    return 2;
}

void Md5::addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    addInPairs(digests, data, count, blocks);
}

} // namespace tarvik
