#pragma once

#include "scan/scanoptions.h"
#include "scan/scantypes.h"
#include "scan/walkrules.h"

#include <QStringList>
#include <functional>

namespace tarvik {

class ScanEngine;

// Hands every regular file (or link to one) below folder that the rules let through to visit,
// in the directory iterator's order and with its paths; a folder the rules exclude is not
// entered. False when stopped.
bool walkFolder(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                const std::function<void(const QString&)>& visit);

// The same walk through the toolkit's directory iterator alone: what walkFolder is where the
// system offers no faster way, and a yardstick for it everywhere.
bool walkFolderPortable(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                        const std::function<void(const QString&)>& visit);

// The same walk, for the engine: each regular file (links followed) with what listing it
// taught, so that no file is looked up twice by path. False when stopped.
bool walkFolderInto(const QString& folder, const WalkRules& rules, const StopCheck& stop,
                    ScanEngine& engine);

// One whole scan without a thread of its own: every folder in order, then the engine's finish.
void scanFolders(const QStringList& folders, const QString& filter, ScanEngine& engine,
                 const StopCheck& stop, const ScanOptions& options = ScanOptions());

// For tests only: called with each folder just before a walk opens it, so that a test can see
// which folders were read.
using FolderHook = void (*)(const QString& folder);
void setFolderHook(FolderHook hook);

} // namespace tarvik
