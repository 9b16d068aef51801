#pragma once

#include <QString>
#include <QtGlobal>

namespace tarvik {

// Size column text: "1023 B", "1464.84 KB", "5120 MB" (one unit below the largest that
// keeps the number at 1 or more).
QString sizeToString(qint64 size);

} // namespace tarvik

namespace tarvik {

// Status line text: "512 B", "1.5 KB", "2.1 GB": the largest unit that keeps the number at 1 or
// more, one decimal, in the locale's digits.
QString compactSize(qint64 size);

// "0.4 s", "59.9 s", "2 min 05 s".
QString elapsedText(qint64 ms);

} // namespace tarvik
