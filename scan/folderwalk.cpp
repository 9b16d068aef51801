#include "scan/folderwalk.h"

#include "scan/scanengine.h"

#include <QDirIterator>
#include <QRegExp>
#include <QRegularExpression>
#include <algorithm>

namespace tarvik {

NameFilter::NameFilter(const QString& text) : mActive(!text.isEmpty())
{
    if (!mActive)
        return;
    mPatterns = text.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QRegExp leadingBlanks(QStringLiteral("^\\s+"), Qt::CaseSensitive, QRegExp::RegExp);
    for (QString& part : mPatterns)
        part.replace(leadingBlanks, QString());
    mPatterns.erase(
        std::remove_if(mPatterns.begin(), mPatterns.end(),
                       [](const QString& pattern) {
                           return !QRegularExpression(
                                       QRegularExpression::wildcardToRegularExpression(pattern))
                                       .isValid();
                       }),
        mPatterns.end());
}

bool walkFolder(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                const std::function<void(const QString&)>& visit)
{
    // An empty entry would walk the current directory, which nobody chose.
    if (folder.isEmpty() || filter.listsNothing())
        return !stop();
    QDirIterator it(folder, filter.patterns(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (stop())
            return false;
        visit(it.next());
    }
    return !stop();
}

void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop)
{
    const NameFilter names(filter);
    for (const QString& folder : folders) {
        if (!walkFolder(folder, names, stop,
                        [&engine](const QString& path) { engine.addFile(path); }))
            return;
    }
    engine.finish();
}

} // namespace tarvik
