#include "ui/sizetext.h"

#include <QLocale>

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

namespace tarvik {

QString compactSize(qint64 size)
{
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    const QLocale locale;
    if (size < 1024)
        return locale.toString(size) + QLatin1String(" B");
    double value = double(size) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return locale.toString(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString elapsedText(qint64 ms)
{
    const QLocale locale;
    if (ms < 60 * 1000)
        return locale.toString(ms / 1000.0, 'f', 1) + QLatin1String(" s");
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1 min %2 s")
        .arg(locale.toString(seconds / 60))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace tarvik
