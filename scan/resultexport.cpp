#include "scan/resultexport.h"

#include "scan/outputtarget.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <cstdio>

namespace tarvik {

namespace {

// Text gathers in a buffer of about this size before it goes to the device.
constexpr int kFlushAt = 1 << 20;
// Files written between looks at the stop check.
constexpr int kStopEvery = 1024;
constexpr qint64 kJulianDay1970 = 2440588;

class Writer
{
public:
    Writer(QIODevice* device, const StopCheck& stop) : mDevice(device), mStop(stop)
    {
        mText.reserve(kFlushAt / 2 + 4096);
    }

    QString& text() { return mText; }

    // After each file: hands full buffers on and looks for a stop now and then.
    bool fileDone()
    {
        if (mText.size() >= kFlushAt / 2 && !flush())
            return false;
        if (++mFiles % kStopEvery == 0 && mStop && mStop())
            return mOk = false;
        return mOk;
    }

    bool flush()
    {
        if (mOk && !mText.isEmpty()) {
            const QByteArray bytes = mText.toUtf8();
            mOk = mDevice->write(bytes) == bytes.size();
        }
        // Keeps the reserved room.
        mText.resize(0);
        return mOk;
    }

    bool finish() { return flush() && !(mStop && mStop()); }

private:
    QIODevice* mDevice;
    const StopCheck& mStop;
    QString mText;
    int mFiles = 0;
    bool mOk = true;
};

void addDigits(QString& out, int value, int digits)
{
    for (int unit = digits == 4 ? 1000 : 10; unit; unit /= 10)
        out += QLatin1Char(char('0' + value / unit % 10));
}

// ISO 8601 in UTC to the second, as Qt::ISODate has it, without Qt's allocations for every file.
void addIsoTime(QString& out, const QDateTime& time)
{
    if (!time.isValid())
        return;
    const qint64 secs = time.toSecsSinceEpoch();
    const qint64 days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
    const int rest = int(secs - days * 86400);
    int year = 0, month = 0, day = 0;
    QDate::fromJulianDay(kJulianDay1970 + days).getDate(&year, &month, &day);
    if (year < 0 || year > 9999) {
        out += time.toUTC().toString(Qt::ISODate);
        return;
    }
    addDigits(out, year, 4);
    out += QLatin1Char('-');
    addDigits(out, month, 2);
    out += QLatin1Char('-');
    addDigits(out, day, 2);
    out += QLatin1Char('T');
    addDigits(out, rest / 3600, 2);
    out += QLatin1Char(':');
    addDigits(out, rest / 60 % 60, 2);
    out += QLatin1Char(':');
    addDigits(out, rest % 60, 2);
    out += QLatin1Char('Z');
}

// RFC 4180: quoted only when needed, quotes doubled.
void addCsvField(QString& out, const QString& field)
{
    static const QString special = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (const QChar c : field) {
        if (special.contains(c)) {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out += field;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : field) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

void addJsonHex(QString& out, ushort code)
{
    out += QStringLiteral("\\u") + QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0'));
}

void addJsonString(QString& out, const QString& s)
{
    out += QLatin1Char('"');
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20) {
                addJsonHex(out, c.unicode());
            } else if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
                out += c;
                out += s.at(++i);
            } else if (c.isSurrogate()) {
                // A lone half (possible in Windows names) has no UTF-8 form; escaped, it survives.
                addJsonHex(out, c.unicode());
            } else {
                out += c;
            }
        }
    }
    out += QLatin1Char('"');
}

void addJsonValue(QString& out, const QString& s)
{
    if (s.isEmpty())
        out += QLatin1String("null");
    else
        addJsonString(out, s);
}

bool writeText(Writer& w, const ExportSource& groups)
{
    for (int g = 0; g < groups.groupCount(); ++g) {
        const ExportedGroup group = groups.group(g);
        for (const ExportedFile& file : group.files) {
            w.text() += file.path;
            w.text() += QLatin1Char('\n');
            if (!w.fileDone())
                return false;
        }
        w.text() += QLatin1Char('\n');
    }
    return w.finish();
}

bool writeCsv(Writer& w, const ExportSource& groups)
{
    QString& out = w.text();
    out += QLatin1String("group,md5,size,path,modified\r\n");
    for (int g = 0; g < groups.groupCount(); ++g) {
        const ExportedGroup group = groups.group(g);
        const QString lead =
            QString::number(group.number) + QLatin1Char(',') + group.md5 + QLatin1Char(',') +
            (group.size < 0 ? QString() : QString::number(group.size)) + QLatin1Char(',');
        for (const ExportedFile& file : group.files) {
            out += lead;
            addCsvField(out, file.path);
            out += QLatin1Char(',');
            addIsoTime(out, file.modified);
            out += QLatin1String("\r\n");
            if (!w.fileDone())
                return false;
        }
    }
    return w.finish();
}

bool writeJson(Writer& w, const ExportSource& groups)
{
    QString& out = w.text();
    out += QLatin1String("{\n  \"groups\": [");
    for (int g = 0; g < groups.groupCount(); ++g) {
        const ExportedGroup group = groups.group(g);
        out += QLatin1String(g ? ",\n    {\n" : "\n    {\n");
        out += QLatin1String("      \"number\": ") + QString::number(group.number);
        out += QLatin1String(",\n      \"md5\": ");
        addJsonValue(out, group.md5);
        out += QLatin1String(",\n      \"size\": ");
        out += group.size < 0 ? QStringLiteral("null") : QString::number(group.size);
        out += QLatin1String(",\n      \"files\": [");
        for (int f = 0; f < group.files.size(); ++f) {
            const ExportedFile& file = group.files.at(f);
            out += QLatin1String(f ? ",\n        {\"path\": " : "\n        {\"path\": ");
            addJsonString(out, file.path);
            if (file.modified.isValid()) {
                out += QLatin1String(", \"modified\": \"");
                addIsoTime(out, file.modified);
                out += QLatin1String("\"}");
            } else {
                out += QLatin1String(", \"modified\": null}");
            }
            if (!w.fileDone())
                return false;
        }
        out += QLatin1String(group.files.isEmpty() ? "]\n    }" : "\n      ]\n    }");
    }
    out += QLatin1String(groups.groupCount() == 0 ? "]\n}\n" : "\n  ]\n}\n");
    return w.finish();
}

} // namespace

bool exportFormatFromName(const QString& name, ExportFormat* format)
{
    const QString n = name.toLower();
    if (n == QLatin1String("text") || n == QLatin1String("txt"))
        *format = ExportFormat::Text;
    else if (n == QLatin1String("csv"))
        *format = ExportFormat::Csv;
    else if (n == QLatin1String("json"))
        *format = ExportFormat::Json;
    else
        return false;
    return true;
}

QHash<QUuid, QString> md5ByGroup(const QHash<QString, DigestEntry>& digests)
{
    QHash<QUuid, QString> md5s;
    md5s.reserve(digests.size());
    for (auto it = digests.constBegin(); it != digests.constEnd(); ++it)
        md5s.insert(it.value().groupId, it.key());
    return md5s;
}

bool writeResults(QIODevice* out, const QVector<ExportedGroup>& groups, ExportFormat format,
                  const StopCheck& stop)
{
    return writeResults(out, ExportedGroups(groups), format, stop);
}

bool writeResults(QIODevice* out, const ExportSource& groups, ExportFormat format,
                  const StopCheck& stop)
{
    Writer writer(out, stop);
    switch (format) {
    case ExportFormat::Text:
        return writeText(writer, groups);
    case ExportFormat::Csv:
        return writeCsv(writer, groups);
    case ExportFormat::Json:
        return writeJson(writer, groups);
    }
    return false;
}

namespace {

bool saveInPlace(QFile* file, const ExportSource& groups, ExportFormat format, QString* error,
                 const StopCheck& stop)
{
    if (writeResults(file, groups, format, stop) && file->flush()) {
        error->clear();
        return true;
    }
    if (stop && stop())
        error->clear();
    else if (file->error() != QFileDevice::NoError)
        *error = file->errorString();
    else // a short write: Qt keeps no reason for it
        *error = QCoreApplication::translate("tarvik::OutputTarget",
                                             "Only a part was written; the reader may have left.");
    return false;
}

bool saveReplacing(const QString& path, const ExportSource& groups, ExportFormat format,
                   QString* error, const StopCheck& stop)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!writeResults(&file, groups, format, stop)) {
        *error = stop && stop() ? QString() : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    error->clear();
    return true;
}

} // namespace

bool saveResults(const QString& path, const QVector<ExportedGroup>& groups, ExportFormat format,
                 QString* error, const StopCheck& stop)
{
    return saveResults(path, ExportedGroups(groups), format, error, stop);
}

bool saveResults(const QString& path, const ExportSource& groups, ExportFormat format,
                 QString* error, const StopCheck& stop)
{
    const OutputTarget target = outputTarget(path);
    switch (target.kind) {
    case OutputTarget::File:
        return saveReplacing(target.path, groups, format, error, stop);
    case OutputTarget::StandardOutput: {
        QFile out;
        if (out.open(stdout, QIODevice::WriteOnly))
            return saveInPlace(&out, groups, format, error, stop);
        *error = out.errorString();
        return false;
    }
    case OutputTarget::Stream: {
        QFile out;
        if (!openStream(target, &out, error, stop))
            return false;
        return withoutPipeSignal([&] { return saveInPlace(&out, groups, format, error, stop); });
    }
    case OutputTarget::Refused:
        break;
    }
    *error = target.problem;
    return false;
}

} // namespace tarvik
