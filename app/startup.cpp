#include "app/startup.h"

#include <QByteArray>
#include <QFile>
#include <QLatin1String>

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

QStringList pluginSearchPaths(const QStringList& defaultPaths)
{
    QStringList paths = defaultPaths;
    paths << QStringLiteral(".") << QStringLiteral("platforms") << QStringLiteral("sqldrivers")
          << QStringLiteral("imageformats");
    return paths;
}

} // namespace tarvik
