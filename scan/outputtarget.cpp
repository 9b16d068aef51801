#include "scan/outputtarget.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

namespace tarvik {

bool checkOutput(const QString& path, QString* error)
{
    const OutputTarget target = outputTarget(path);
    switch (target.kind) {
    case OutputTarget::StandardOutput:
        return true;
    case OutputTarget::Stream:
        if (QFileInfo(target.path).isWritable())
            return true;
        *error = QCoreApplication::translate("tarvik::OutputTarget", "Permission denied.");
        return false;
    case OutputTarget::File: {
        // Makes the temporary file the save would make, and takes it away again.
        QSaveFile probe(target.path);
        if (!probe.open(QIODevice::WriteOnly)) {
            *error = probe.errorString();
            return false;
        }
        probe.cancelWriting();
        return true;
    }
    case OutputTarget::Refused:
        break;
    }
    *error = target.problem;
    return false;
}

} // namespace tarvik
