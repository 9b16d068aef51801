#pragma once

// Replacing a marked file while keeping its path: after the same check as before the trash,
// the file shares its storage with a kept copy, or becomes a hard link to one.

#include "core/filelink.h"
#include "scan/markedfileaction.h"

namespace tarvik {

// The file system shares the marked file's storage with a kept copy of its group; its content,
// path, owner, permissions and times stay. The kernel's own comparison stands for the byte
// comparison.
LinkOutcome shareMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel);

// The marked file is replaced by a hard link to a kept copy on its file system, once the two
// have been found equal byte for byte.
LinkOutcome hardLinkMarkedFile(const MarkedTrashTask& task, const StopCheck& cancel);

} // namespace tarvik
