#include "scan/inputfile.h"

#include <QFile>
#include <QFileInfo>

namespace tarvik {

InputFile::InputFile(const QString& path) : mFile(std::make_unique<QFile>(path))
{
    if (!mFile->open(QIODevice::ReadOnly | QIODevice::Unbuffered) || mFile->isSequential())
        mFile.reset();
    else
        mSize = mFile->size();
}

InputFile::InputFile(const FileName& name) : InputFile(QString::fromUtf8(name.path)) {}

InputFile::~InputFile() = default;

bool InputFile::isOpen() const
{
    return mFile != nullptr;
}

void InputFile::expectSequential(qint64) {}

void InputFile::willNeed(qint64, qint64) {}

qint64 InputFile::readAt(char* data, qint64 count, qint64 offset)
{
    if (!mFile->seek(offset))
        return -1;
    qint64 done = 0;
    while (done < count) {
        const qint64 got = mFile->read(data + done, count - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

int openFolder(const char*)
{
    return -1;
}

void closeFolder(int) {}

qint64 InputFile::readSome(char* data, qint64 count, qint64 offset)
{
    return readAt(data, count, offset);
}

bool regularFileId(const QString& path, FileId* id, qint64* size)
{
    const QFileInfo info(path);
    id->canonicalPath = info.canonicalFilePath();
    if (id->canonicalPath.isEmpty() || !info.isFile())
        return false;
    *size = info.size();
    return true;
}

QByteArray encodePath(const QString& path)
{
    return path.toUtf8();
}

QString decodePath(const char* path, qsizetype size)
{
    return QString::fromUtf8(path, int(size));
}

} // namespace tarvik
