// MD5 digests "side by side" where no SIMD kernel is built: one after another.

#include "scan/md5.h"

namespace tarvik {

std::vector<Md5::Kernel> Md5::kernels()
{
    return {Kernel::Serial};
}

void Md5::useKernel(Kernel) {}

int Md5::lanes()
{
    return 1;
}

void Md5::addBlocks(Md5* const* digests, const char* const* data, int count, size_t blocks)
{
    for (int i = 0; i < count; ++i)
        digests[i]->add(data[i], blocks * 64);
}

} // namespace tarvik
