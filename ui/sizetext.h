#pragma once

#include <QString>
#include <QtGlobal>

namespace tarvik {

// Size column text: "1023 B", "1464.84 KB", "5120 MB" (one unit below the largest that
// keeps the number at 1 or more).
QString sizeToString(qint64 size);

} // namespace tarvik
