#include "core/trash.h"

#include <QDir>
#include <QFileInfo>
#include <qt_windows.h>
#include <shellapi.h>

namespace tarvik {

bool moveToRecycleBin(const QString& path)
{
    // A path that is not fully qualified would be deleted for good instead of recycled.
    QString list;
    if (!recycleBinPathList(path, QDir::currentPath(), &list))
        return false;

    SHFILEOPSTRUCTW op;
    ZeroMemory(&op, sizeof(op));
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = reinterpret_cast<const wchar_t*>(list.utf16());
    op.pTo = nullptr;
    // No confirmation, progress or error dialog of the shell's: none of them can let a file
    // be destroyed. Except one: a file that the recycle bin cannot take is still shown to
    // the user with a warning that it would be deleted for good, since without
    // FOF_WANTNUKEWARNING, FOF_NOCONFIRMATION would destroy it without a word.
    op.fFlags = FILEOP_FLAGS(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING |
                             FOF_NOERRORUI | FOF_SILENT);
    // A warning answered "no" aborts the operation and still returns 0.
    if (SHFileOperationW(&op) != 0 || op.fAnyOperationsAborted)
        return false;
    const QFileInfo left(list.left(list.size() - 2));
    return !left.exists() && !left.isSymLink();
}

// The shell finds each file's recycle bin itself.
struct TrashWriter::Places
{
};

TrashWriter::TrashWriter() = default;
TrashWriter::~TrashWriter() = default;

bool TrashWriter::move(const QString& path)
{
    return moveToRecycleBin(path);
}

bool TrashWriter::moveStamped(const QString& path, const FileStamp&)
{
    return moveToRecycleBin(path);
}

} // namespace tarvik
