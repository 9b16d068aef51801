#include "app/scanflags.h"

#include "scan/walkrules.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tarvik {

ScanFlags::ScanFlags(QCommandLineParser& parser)
    : mMinSize(QStringLiteral("min-size"), QString(), QStringLiteral("SIZE")),
      mMaxSize(QStringLiteral("max-size"), QString(), QStringLiteral("SIZE")),
      mExclude(QStringLiteral("exclude"), QString(), QStringLiteral("PATTERNS")),
      mHidden(QStringLiteral("hidden"))
{
    parser.addOptions({mMinSize, mMaxSize, mExclude, mHidden});
}

bool ScanFlags::read(const QCommandLineParser& parser, ScanOptions* options, QString* error) const
{
    ScanOptions read;
    const auto size = [&](const QCommandLineOption& flag, qint64* bytes) {
        if (!parser.isSet(flag))
            return true;
        // Given, a flag must say something: an empty value is no size either.
        const QString value = parser.value(flag);
        if (!value.trimmed().isEmpty() && parseSize(value, bytes))
            return true;
        *error = QCoreApplication::translate(
                     "tarvik::ScanCommand",
                     "--%1: '%2' is not a size (bytes, or a number with K, M or G: "
                     "500K, 20M, 1.5G)")
                     .arg(flag.names().constFirst(), value);
        return false;
    };
    if (!size(mMinSize, &read.minSize) || !size(mMaxSize, &read.maxSize))
        return false;
    if (read.maxSize != ScanOptions::kNoLimit && read.maxSize < read.minSize) {
        *error = QCoreApplication::translate(
            "tarvik::ScanCommand", "--max-size: below --min-size, nothing would be scanned");
        return false;
    }
    for (const QString& value : parser.values(mExclude)) {
        const QStringList patterns = splitPatterns(value);
        if (patterns.isEmpty()) {
            *error =
                QCoreApplication::translate("tarvik::ScanCommand", "--exclude: no pattern in '%1'")
                    .arg(value);
            return false;
        }
        const QString invalid = ExcludePatterns::invalidPattern(patterns);
        if (!invalid.isEmpty()) {
            *error = QCoreApplication::translate("tarvik::ScanCommand",
                                                 "--exclude: '%1' cannot be used as a pattern")
                         .arg(invalid);
            return false;
        }
        read.exclude << patterns;
    }
    read.hidden = parser.isSet(mHidden);
    *options = read;
    return true;
}

} // namespace tarvik
