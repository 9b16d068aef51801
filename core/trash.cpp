#include "core/trash.h"

#include <QStringList>

namespace tarvik {

namespace {

// One file or folder name that Windows takes as written.
bool plainName(const QString& name)
{
    if (name.isEmpty() || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 32 || QStringLiteral(":*?<>\"|").contains(c))
            return false;
    return true;
}

bool isDriveLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

// "C:\" or "\\server\share\" at the start of a backslashed path, with the rest after it; empty
// when the path has no such root. "\\.\" and "\\?\" lead to devices, not shares.
QString fullRoot(const QString& path, QString* rest)
{
    if (path.size() >= 3 && isDriveLetter(path[0]) && path.midRef(1, 2) == QLatin1String(":\\")) {
        *rest = path.mid(3);
        return path.left(3);
    }
    if (!path.startsWith(QLatin1String("\\\\")))
        return QString();
    QStringList parts = path.mid(2).split(QLatin1Char('\\'));
    if (parts.size() < 2 || !plainName(parts[0]) || !plainName(parts[1]))
        return QString();
    const QString root =
        QStringLiteral("\\\\") + parts[0] + QLatin1Char('\\') + parts[1] + QLatin1Char('\\');
    parts.erase(parts.begin(), parts.begin() + 2);
    *rest = parts.join(QLatin1Char('\\'));
    return root;
}

QString backslashed(const QString& path)
{
    return QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

} // namespace

bool recycleBinPathList(const QString& path, const QString& workingDirectory, QString* list)
{
    if (path.isEmpty())
        return false;
    const QString native = backslashed(path);
    QString rest;
    QString root = fullRoot(native, &rest);
    if (root.isEmpty()) {
        // Only a plainly relative path may be joined: "C:x" and "\x" hang on a drive's own
        // current folder or on the current drive, which the shell would guess.
        if (native.startsWith(QLatin1Char('\\')) ||
            (native.size() > 1 && native[1] == QLatin1Char(':')))
            return false;
        root = fullRoot(backslashed(workingDirectory), &rest);
        if (root.isEmpty())
            return false;
        rest += QLatin1Char('\\') + native;
    }
    QStringList names;
    for (const QString& name : rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String("."))
            continue;
        if (name != QLatin1String("..")) {
            if (!plainName(name))
                return false;
            names.append(name);
        } else if (names.isEmpty()) {
            return false; // above the root: no file that was meant
        } else {
            names.removeLast();
        }
    }
    if (names.isEmpty())
        return false; // the root itself
    *list = root + names.join(QLatin1Char('\\')) + QChar() + QChar();
    return true;
}

TrashOutcome trashIfUnchanged(const QString& path, const FileStamp& stamp)
{
    return TrashWriter().moveIfUnchanged(path, stamp);
}

TrashOutcome TrashWriter::moveIfUnchanged(const QString& path, const FileStamp& stamp)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.valid)
        return TrashOutcome::Gone;
    if (now != stamp)
        return TrashOutcome::ChangedSince;
    // A failure is not taken at its word: the shell may report one after the file has left.
    if (moveStamped(path, stamp) || !FileStamp::of(path).sameEntry(stamp))
        return TrashOutcome::Moved;
    return TrashOutcome::Refused;
}

} // namespace tarvik
