#pragma once

#include <QString>

namespace tarvik {

// True means the file has left its place for the recycle bin (or the desktop's trash); false
// means it is still where it was.
bool moveToRecycleBin(const QString& path);

} // namespace tarvik
