#pragma once

// The plain way to find duplicates, the yardstick for the scan engine: every listed file is
// read in full and digested, one after another; a file is met once per scan, an unreadable
// file and an empty folder entry are passed over. SHA-256, so that files which only share
// their MD5 stay apart. Also the forms in which two scans compare.

#include "testenv.h"

#include <QCryptographicHash>
#include <QDirIterator>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace tarvik::test {

// Two different 128-byte blocks with one MD5, the pair published with the first MD5 collision
// attack. Equal suffixes keep the collision.
inline const QByteArray kCollisionA =
    QByteArray::fromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab58712467eab4004583eb8fb7f89"
                        "55ad340609f4b30283e488832571415a085125e8f7cdc99fd91dbdf280373c5b"
                        "d8823e3156348f5bae6dacd436c919c6dd53e2b487da03fd02396306d248cda0"
                        "e99f33420f577ee8ce54b67080a80d1ec69821bcb6a8839396f9652b6ff72a70");
inline const QByteArray kCollisionB =
    QByteArray::fromHex("d131dd02c5e6eec4693d9a0698aff95c2fcab50712467eab4004583eb8fb7f89"
                        "55ad340609f4b30283e4888325f1415a085125e8f7cdc99fd91dbd7280373c5b"
                        "d8823e3156348f5bae6dacd436c919c6dd53e23487da03fd02396306d248cda0"
                        "e99f33420f577ee8ce54b67080280d1ec69821bcb6a8839396f965ab6ff72a70");

// Of the options, only hidden files and sizes: a test removes what its exclusions leave out.
inline QVector<SeenEvent> referenceScan(const QStringList& folders, const QString& filter,
                                        const ScanOptions& options = ScanOptions())
{
    QVector<SeenEvent> events;
    QHash<QByteArray, SeenEvent> digests;
    QSet<QString> visited;
    QStringList patterns;
    if (!filter.isEmpty())
        patterns = filter.split(QLatin1Char(','))
                       .replaceInStrings(QRegExp(QStringLiteral("^\\s+")), QString());
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        QDirIterator it(folder, patterns,
                        QDir::Files | (options.hidden ? QDir::Hidden : QDir::Files),
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const qint64 size = QFileInfo(path).size();
            if (size < options.minSize || (options.maxSize >= 0 && size > options.maxSize))
                continue;
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
            // Read to the end whatever size the file claims.
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            QByteArray block(65536, Qt::Uninitialized);
            qint64 got = file.open(QIODevice::ReadOnly) ? 0 : -1;
            while (got >= 0 && (got = file.read(block.data(), block.size())) > 0)
                hash.addData(block.constData(), int(got));
            if (got < 0)
                continue;
            const auto found = digests.constFind(hash.result());
            if (found == digests.constEnd())
                digests.insert(hash.result(), SeenEvent{QUuid::createUuid(), path, QString()});
            else
                events.append(SeenEvent{found->groupId, found->firstPath, path});
        }
    }
    return events;
}

// A path relative to root; relative paths are taken from the current folder.
inline QString fromRoot(const QString& root, const QString& path)
{
    return QDir(root).relativeFilePath(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

// The events in order, with identities numbered as they appear, so that two runs compare.
inline QStringList describe(const QVector<SeenEvent>& events, const QString& root)
{
    QHash<QUuid, int> numbers;
    QStringList out;
    for (const SeenEvent& e : events) {
        const int n = numbers.value(e.groupId, numbers.size());
        numbers.insert(e.groupId, n);
        out << QStringLiteral("%1 %2 %3")
                   .arg(n)
                   .arg(fromRoot(root, e.firstPath), fromRoot(root, e.duplicatePath));
    }
    return out;
}

// Each group as its sorted files, the groups sorted and joined by "|".
inline QString groupsOf(const QVector<SeenEvent>& events, const QString& root)
{
    QHash<QUuid, QStringList> members;
    for (const SeenEvent& e : events) {
        QStringList& group = members[e.groupId];
        if (group.isEmpty())
            group << fromRoot(root, e.firstPath);
        group << fromRoot(root, e.duplicatePath);
    }
    QStringList out;
    for (QStringList group : qAsConst(members)) {
        group.sort();
        out << group.join(QLatin1Char(' '));
    }
    out.sort();
    return out.join(QLatin1Char('|'));
}

} // namespace tarvik::test
