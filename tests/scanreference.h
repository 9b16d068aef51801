#pragma once

// The plain way to find duplicates, kept as the yardstick for the scan engine: every listed
// file is read in full and digested, one after another; a file is met once per scan and an
// unreadable file is passed over.

#include "scanharness.h"

#include <QCryptographicHash>
#include <QRegExp>
#include <QSet>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tarvik::test {

inline QVector<SeenEvent> referenceScan(const QStringList& folders, const QString& filter)
{
    QVector<SeenEvent> events;
    QHash<QByteArray, SeenEvent> digests;
    QSet<QString> visited;
    for (const QString& folder : folders) {
        QStringList patterns;
        if (!filter.isEmpty()) {
            patterns = filter.split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
            for (QString& p : patterns)
                p.replace(QRegExp(QStringLiteral("^\\s+")), QString());
        }
        QDirIterator it(folder, patterns, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
#ifdef Q_OS_UNIX
            struct stat st;
            if (::stat(QFile::encodeName(path).constData(), &st) != 0)
                continue;
            const QString id = QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
#else
            const QString id = QFileInfo(path).canonicalFilePath();
#endif
            if (visited.contains(id))
                continue;
            visited.insert(id);
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QCryptographicHash hash(QCryptographicHash::Md5);
            if (!hash.addData(&file))
                continue;
            const QByteArray digest = hash.result();
            const auto found = digests.constFind(digest);
            if (found == digests.constEnd())
                digests.insert(digest, SeenEvent{QUuid::createUuid(), path, QString()});
            else
                events.append(SeenEvent{found->groupId, found->firstPath, path});
        }
    }
    return events;
}

} // namespace tarvik::test
