#include "core/trash.h"

#include <qt_windows.h>
#include <shellapi.h>
#include <vector>

namespace tarvik {

bool moveToRecycleBin(const QString& path)
{
    // The shell wants a list of paths ended by two NULs.
    std::vector<wchar_t> from(size_t(path.size()) + 2, L'\0');
    path.toWCharArray(from.data());

    SHFILEOPSTRUCTW op;
    ZeroMemory(&op, sizeof(op));
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.pTo = nullptr;
    op.fFlags = FOF_ALLOWUNDO;
    return SHFileOperationW(&op) == 0;
}

} // namespace tarvik
