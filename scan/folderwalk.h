#pragma once

#include "scan/scantypes.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <functional>

namespace tarvik {

class ScanEngine;

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

// Hands every regular file (or link to one) below folder whose name the filter lets through to
// visit, in the directory iterator's order and with its paths, hidden files and folders left
// out. False when stopped.
bool walkFolder(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                const std::function<void(const QString&)>& visit);

// The same walk, for the engine: each regular file (links followed) with what listing it
// taught, so that no file is looked up twice by path. False when stopped.
bool walkFolderInto(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                    ScanEngine& engine);

// One whole scan without a thread of its own: every folder in order, then the engine's finish.
void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop);

} // namespace tarvik
