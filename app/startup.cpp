#include "app/startup.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLatin1String>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <iterator>
#include <qt_windows.h>
#endif

namespace tarvik {

QString readTextFile(const QString& path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    const int length = nul < 0 ? bytes.size() : nul;
    return QLatin1String(bytes.constData(), length);
}

QString executableFolder(const char* argv0)
{
#if defined(Q_OS_WIN)
    wchar_t buffer[32768];
    const DWORD size = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    if (size > 0 && size < std::size(buffer))
        return QFileInfo(QDir::fromNativeSeparators(QString::fromWCharArray(buffer, int(size))))
            .absolutePath();
#elif defined(Q_OS_LINUX)
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!exe.isEmpty() && QFileInfo(exe).isFile())
        return QFileInfo(exe).absolutePath();
#endif
    return executableFolderFromArgv0(QFile::decodeName(argv0));
}

QString executableFolderFromArgv0(const QString& argv0)
{
    if (argv0.isEmpty())
        return QString();
    QString path = argv0;
    if (!argv0.contains(QLatin1Char('/')) && !argv0.contains(QDir::separator())) {
        path = QStandardPaths::findExecutable(argv0);
        if (path.isEmpty())
            return QString();
    }
    return QDir::cleanPath(QFileInfo(path).absolutePath());
}

QStringList pluginSearchPaths(const QStringList& defaultPaths, const QString& executableFolder)
{
    QStringList paths = defaultPaths;
    if (executableFolder.isEmpty())
        return paths;
    const QDir folder(executableFolder);
    for (const char* name : {".", "platforms", "sqldrivers", "imageformats"})
        paths << QDir::cleanPath(folder.absoluteFilePath(QLatin1String(name)));
    return paths;
}

} // namespace tarvik
