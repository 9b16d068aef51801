#pragma once

#include "scan/scanoptions.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>

namespace tarvik {

// A filter text as the user types it: file-name patterns separated by commas, each without its
// leading blanks. Patterns that cannot be compiled are dropped (they would match nothing but
// warn for every name); a filter left with none lists nothing.
struct NameFilter
{
    explicit NameFilter(const QString& text);

    bool listsNothing() const { return mActive && mPatterns.isEmpty(); }
    const QStringList& patterns() const { return mPatterns; }
    // Whole-name wildcard match, case aside, as the directory iterator matches; a "*" among
    // the patterns lets every name through.
    bool matches(const QString& name) const;
    bool matchesAll() const { return mMatchers.isEmpty(); }

private:
    QStringList mPatterns;
    QVector<QRegularExpression> mMatchers;
    bool mActive = false;
};

// Exclusion patterns, case aside. A pattern without a "/" is matched against the name of each
// file and folder; one with a "/" against its path below the chosen folder, where "*" and "?"
// stay within one name and "**" spans folders ("**/build/**", "photos/*/thumbs"). A leading
// "/" only makes a pattern a path; a trailing "/" restricts it to folders. A pattern ending in
// "/**" names the folder too, since nothing inside it could be listed. The chosen folders
// themselves are never matched.
class ExcludePatterns
{
public:
    explicit ExcludePatterns(const QStringList& patterns);

    // The first pattern that cannot be matched (a set like "[z-a]"), or the empty text.
    static QString invalidPattern(const QStringList& patterns);

    bool isEmpty() const { return mEmpty; }
    // Whether matching needs the path below the chosen folder, not only the name.
    bool usesPaths() const { return mUsesPaths; }
    // path: "/"-separated, below the chosen folder; only read when usesPaths().
    bool excludes(const QString& name, const QString& path, bool folder) const;

private:
    enum Kind { NameAny, NameFolder, PathAny, PathFolder, KindCount };
    QRegularExpression mMatchers[KindCount];
    bool mEmpty = true;
    bool mUsesPaths = false;
};

// Everything that decides what a walk lists, made once per scan.
struct WalkRules
{
    WalkRules(const QString& filter, const ScanOptions& options);

    // Nothing can be listed: an empty folder entry is not walked at all, which spares the disk.
    bool listsNothing() const;

    NameFilter names;
    ExcludePatterns exclude;
    ScanOptions options;
};

} // namespace tarvik
