#include "scan/outputtarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarvik {

OutputTarget outputTarget(const QString& path)
{
    if (path == QLatin1String("-"))
        return {OutputTarget::StandardOutput, path, QString()};
    QFileInfo info(path);
    if (info.isSymLink()) {
        if (!info.exists())
            return {OutputTarget::Refused, path,
                    QCoreApplication::translate("tarvik::OutputTarget",
                                                "It is a link to %1, which does not exist.")
                        .arg(QDir::toNativeSeparators(info.symLinkTarget()))};
        info.setFile(info.canonicalFilePath());
    }
    if (info.isDir())
        return {OutputTarget::Refused, path,
                QCoreApplication::translate("tarvik::OutputTarget", "It is a folder.")};
    if (!info.exists() || info.isFile())
        return {OutputTarget::File, info.absoluteFilePath(), QString()};
    return {OutputTarget::Stream, path, QString()};
}

bool openStream(const OutputTarget& target, QFile* file, QString* error, const StopCheck&)
{
    file->setFileName(target.path);
    if (file->open(QIODevice::WriteOnly))
        return true;
    *error = file->errorString();
    return false;
}

bool withoutPipeSignal(const std::function<bool()>& write)
{
    return write();
}

} // namespace tarvik
