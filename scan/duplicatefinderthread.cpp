#include "scan/duplicatefinderthread.h"

#include "core/appdirs.h"
#include "scan/contentreader.h"
#include "scan/scanengine.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QRegExp>
#include <QRegularExpression>
#include <algorithm>

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

namespace {

// A pattern the directory iterator cannot compile matches no name but warns for every name it
// is tried on. Dropping it lists the same files; when none is left, nothing is listed.
void dropBrokenPatterns(QStringList* patterns)
{
    patterns->erase(
        std::remove_if(patterns->begin(), patterns->end(),
                       [](const QString& pattern) {
                           return !QRegularExpression(
                                       QRegularExpression::wildcardToRegularExpression(pattern))
                                       .isValid();
                       }),
        patterns->end());
}

} // namespace

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
            dropBrokenPatterns(&nameFilters);
        }
        // An empty entry would walk the current directory, which nobody chose.
        if (folder.isEmpty() || (!mFilter.isEmpty() && nameFilters.isEmpty()))
            continue;
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
