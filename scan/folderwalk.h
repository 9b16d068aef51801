#pragma once

#include "scan/scantypes.h"

#include <QStringList>
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

private:
    QStringList mPatterns;
    bool mActive = false;
};

// Hands every file below folder whose name the filter lets through to visit, in the directory
// iterator's order, hidden files and folders left out. False when stopped.
bool walkFolder(const QString& folder, const NameFilter& filter, const StopCheck& stop,
                const std::function<void(const QString&)>& visit);

// One whole scan without a thread of its own: every folder in order, then the engine's finish.
void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop);

} // namespace tarvik
