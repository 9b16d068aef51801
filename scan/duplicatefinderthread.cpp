#include "scan/duplicatefinderthread.h"

#include "core/appdirs.h"
#include "scan/contentreader.h"
#include "scan/scanengine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QRegExp>

namespace tarvik {

QString fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    QByteArray block(int(ContentReader::kBlockSize), Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return QString();
        if (got == 0)
            break;
        hash.addData(block.constData(), int(got));
    }
    return QString::fromLatin1(hash.result().toHex());
}

DuplicateFinderThread::DuplicateFinderThread(QObject* parent) : QThread(parent) {}

DuplicateFinderThread::~DuplicateFinderThread()
{
    requestInterruption();
    wait();
}

void DuplicateFinderThread::run()
{
    ScanEngine engine(this, parent(), &mDigests);
    mEngine = &engine;
    walk();
    engine.finish();
    mEngine = nullptr;
}

void DuplicateFinderThread::walk()
{
    for (const QString& folder : qAsConst(mFolders)) {
        if (isInterruptionRequested())
            return;
        debugLog(QStringLiteral("mFilter: ") + mFilter);
        QDirIterator::IteratorFlags flags = QDirIterator::Subdirectories;
        QStringList nameFilters;
        if (mFilter.isEmpty()) {
            debugLog(QStringLiteral("mFilter: NO"));
        } else {
            debugLog(QStringLiteral("mFilter: YES"));
            nameFilters = mFilter.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
            const QRegExp leadingBlanks(QStringLiteral("^\\s+"), Qt::CaseSensitive,
                                        QRegExp::RegExp);
            for (QString& part : nameFilters)
                part.replace(leadingBlanks, QString());
        }
        QDirIterator it(folder, nameFilters, QDir::Files, flags);
        while (it.hasNext()) {
            if (isInterruptionRequested())
                return;
            processFile(it.next());
        }
    }
}

void DuplicateFinderThread::processFile(const QString& path)
{
    mEngine->addFile(path);
}

} // namespace tarvik
