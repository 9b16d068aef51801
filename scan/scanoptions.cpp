#include "scan/scanoptions.h"

#include <QRegularExpression>
#include <limits>

namespace tarvik {

namespace {

// Beyond nine places a fraction of a gigabyte is below one byte.
constexpr int kMaxFractionDigits = 9;

} // namespace

bool parseSize(const QString& text, qint64* bytes)
{
    const QString size = text.trimmed();
    if (size.isEmpty()) {
        *bytes = ScanOptions::kNoLimit;
        return true;
    }
    // ASCII digits only: \d would take any script's digits.
    static const QRegularExpression form(
        QStringLiteral("^([0-9]+)(?:\\.([0-9]{1,%1}))?\\s*(?:([kmg])(?:i?b)?|b)?$")
            .arg(kMaxFractionDigits),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(size);
    if (!match.hasMatch())
        return false;
    const QString unit = match.captured(3).toLower();
    const QString fraction = match.captured(2);
    if (unit.isEmpty() && !fraction.isEmpty())
        return false;
    const int shift = unit.isEmpty()               ? 0
                      : unit == QLatin1String("k") ? 10
                      : unit == QLatin1String("m") ? 20
                                                   : 30;
    const qint64 factor = qint64(1) << shift;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    bool ok = false;
    const qint64 whole = match.captured(1).toLongLong(&ok);
    if (!ok || whole > kMax / factor)
        return false;
    qint64 part = 0;
    if (!fraction.isEmpty()) {
        qint64 scale = 1;
        for (int i = 0; i < fraction.size(); ++i)
            scale *= 10;
        // Under 10^9 times at most 2^30: no overflow. Whole bytes, rounded down.
        part = fraction.toLongLong() * factor / scale;
    }
    if (whole * factor > kMax - part)
        return false;
    *bytes = whole * factor + part;
    return true;
}

QStringList splitPatterns(const QString& text)
{
    QStringList patterns;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty())
            patterns << pattern;
    }
    return patterns;
}

} // namespace tarvik
