#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>

namespace tarvik {

// MD5, written for speed: the scan computes one per duplicate group, and on trees of large
// files that is most of its work. Gives exactly what QCryptographicHash::Md5 gives.
class Md5
{
public:
    Md5() { reset(); }
    void reset();
    void add(const char* data, size_t size);
    // The 16-byte digest; the object must be reset() before it is used again.
    QByteArray result();

private:
    void blocks(const unsigned char* data, size_t count);

    quint32 mState[4];
    quint64 mLength = 0;
    unsigned char mBuffer[64];
    size_t mBuffered = 0;
};

} // namespace tarvik
