#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tarvik {

// How a search is shaped besides its folders and name filter; applied by the walk, before any
// read. The defaults list exactly what a search without options lists.
struct ScanOptions
{
    static constexpr qint64 kNoLimit = -1;

    // Inclusive limits in bytes; a minimum of 1 keeps empty files out.
    qint64 minSize = 0;
    qint64 maxSize = kNoLimit;
    // Matched against every file and folder below a chosen folder (see ExcludePatterns).
    QStringList exclude;
    // Hidden files are listed and hidden folders entered.
    bool hidden = false;
    // Not the walk's: whether the scan reads and keeps the digest cache. It changes no result,
    // so it leaves the options at their defaults.
    bool useCache = true;

    bool sizeAllowed(qint64 size) const
    {
        return size >= minSize && (maxSize == kNoLimit || size <= maxSize);
    }
    bool isDefault() const
    {
        return minSize == 0 && maxSize == kNoLimit && exclude.isEmpty() && !hidden;
    }
};

// A size as the user writes it: a number of bytes, or a number with K, M or G for powers of
// 1024 (KB, KiB and the like too; case and blanks do not matter; a fraction only with one of
// them, "1.5M"). The empty text is no limit (kNoLimit). False for anything else: nothing is
// guessed.
bool parseSize(const QString& text, qint64* bytes);

// Comma-separated patterns with the blanks around each removed and empty ones dropped.
QStringList splitPatterns(const QString& text);

} // namespace tarvik
