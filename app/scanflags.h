#pragma once

#include "scan/scanoptions.h"

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace tarvik {

// tarvik-scan's flags that shape a scan as the options of the new search page do:
// --min-size, --max-size, --exclude (repeatable) and --hidden.
class ScanFlags
{
public:
    explicit ScanFlags(QCommandLineParser& parser);

    // False with one line naming the flag when a value cannot be read.
    bool read(const QCommandLineParser& parser, ScanOptions* options, QString* error) const;

private:
    QCommandLineOption mMinSize;
    QCommandLineOption mMaxSize;
    QCommandLineOption mExclude;
    QCommandLineOption mHidden;
};

} // namespace tarvik
