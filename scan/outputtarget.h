#pragma once

// Where a result file goes: what its path names, and how it may be written without ever
// replacing what is not a plain file (a device, a pipe, a link).

#include "scan/scantypes.h"

#include <QString>

class QFile;

namespace tarvik {

struct OutputTarget
{
    enum Kind {
        // "-": the process's standard output.
        StandardOutput,
        // A plain file or nothing yet: written beside it and renamed over it once complete.
        File,
        // A character device or a named pipe (a terminal, /dev/null): written into as it is.
        Stream,
        // Not to be written: a folder, a link to nothing, a disk, a socket.
        Refused,
    };

    Kind kind = Refused;
    // For File, the file to replace or create, links resolved; else the path as given.
    QString path;
    // For Refused, why.
    QString problem;
};

// Looks at path without opening it. A symbolic link is followed to what it names; the link
// itself is never replaced.
OutputTarget outputTarget(const QString& path);

// Opens a Stream target for writing at its end. A named pipe without a reader is waited for
// until stop says so. On failure error says why (empty when stopped).
bool openStream(const OutputTarget& target, QFile* file, QString* error, const StopCheck& stop);

// Runs write, in which a reader gone from a pipe fails the write instead of ending the
// process with SIGPIPE.
bool withoutPipeSignal(const std::function<bool()>& write);

// Whether path can be written, found out without leaving anything behind and without opening
// a pipe or device (a reader would see its end of file). On failure error says why.
bool checkOutput(const QString& path, QString* error);

} // namespace tarvik
