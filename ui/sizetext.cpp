#include "ui/sizetext.h"

namespace tarvik {

QString sizeToString(qint64 size)
{
    static const char* const units[] = {"B", "KB", "MB", "GB"};
    double value = double(size);
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value *= 0.0009765625;
        ++unit;
    }
    if (unit == 0)
        return QString::number(double(size), 'g', 6) + QLatin1String(" B");
    return QString::number(value * 1024, 'g', 6) + QLatin1Char(' ') +
           QLatin1String(units[unit - 1]);
}

} // namespace tarvik
