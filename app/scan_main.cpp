// tarvik-scan: the scan of the window without the window, for scripts and terminals.

#include "app/scanflags.h"
#include "scan/folderwalk.h"
#include "scan/resultexport.h"
#include "scan/scanengine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

using namespace tarvik;

enum ExitCode {
    kExitOk = 0,
    kExitWriteFailed = 1,
    kExitUsage = 2,
    kExitBadFolder = 3,
    kExitSignalBase = 128,
};

const char kUsage[] =
    "Usage: tarvik-scan [--filter PATTERNS] [--min-size SIZE] [--max-size SIZE]\n"
    "                   [--exclude PATTERNS]... [--hidden] [--format text|csv|json]\n"
    "                   [--output FILE] FOLDER...\n";

const char kHelp[] =
    "\n"
    "Finds the files with identical content below the folders and writes them as numbered\n"
    "groups. Hidden files and folders are not listed unless asked, links to folders are not\n"
    "followed, and a file reached twice is counted once.\n"
    "\n"
    "  --filter PATTERNS  only names matching one of the comma-separated patterns, case\n"
    "                     ignored, as in the window: --filter '*.jpg, *.png'\n"
    "  --min-size SIZE    only files of at least SIZE: bytes, or with K, M or G for powers\n"
    "                     of 1024 (500K, 20M, 1.5G); --min-size 1 leaves empty files out\n"
    "  --max-size SIZE    only files of at most SIZE\n"
    "  --exclude PATTERNS leave out the files and folders matching one of the comma-\n"
    "                     separated patterns, case ignored; may be given again. A pattern\n"
    "                     without '/' is matched against each name (node_modules, *.tmp),\n"
    "                     one with '/' against the path below the folder given, where * and\n"
    "                     ? stay within one name and ** spans folders (photos/*/thumbs,\n"
    "                     **/build/**); a trailing '/' matches folders only. A matching\n"
    "                     folder is not entered; the folders given are never matched.\n"
    "  --hidden           list hidden files and enter hidden folders too\n"
    "  --format FORMAT    text (the default): the paths of each group one a line, an empty\n"
    "                       line after each group; a name holding a newline is ambiguous\n"
    "                     csv: a header, then group,md5,size,path,modified for each file\n"
    "                     json: {\"groups\": [{number, md5, size, files: [{path, modified}]}]}\n"
    "  --output FILE      write to FILE, replacing it only once complete (default: standard\n"
    "                     output; '-' is standard output too)\n"
    "  -h, --help         show this help\n"
    "  -v, --version      show the version\n"
    "\n"
    "Progress goes to standard error when it is a terminal.\n"
    "\n"
    "Exit codes:\n"
    "  0    the scan ended and its groups were written (finding none is no error)\n"
    "  1    the output could not be written\n"
    "  2    bad command line: unknown option, missing value, unknown format, no folder,\n"
    "       a bad size or pattern\n"
    "  3    a folder does not exist or is not a folder\n"
    "  130  stopped by Ctrl-C (SIGINT), 143 stopped by SIGTERM; FILE was left as it was\n";

std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be lock-free");

extern "C" void onStopSignal(int signal)
{
    gSignal.store(signal);
    // A second Ctrl-C ends the process at once.
    std::signal(signal, SIG_DFL);
}

bool stopped()
{
    return gSignal.load() != 0;
}

int fail(int code, const QString& message)
{
    std::fputs(qPrintable(QStringLiteral("tarvik-scan: ") + message + QLatin1Char('\n')), stderr);
    return code;
}

bool stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

QString amount(qint64 bytes)
{
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    return QString::number(value, 'f', unit ? 1 : 0) + QLatin1Char(' ') +
           QLatin1String(units[unit]);
}

// One line on a terminal's standard error, rewritten a few times a second.
class ProgressLine
{
public:
    explicit ProgressLine(const ScanProgress& progress) : mProgress(progress)
    {
        mThread = std::thread([this] { run(); });
    }

    ~ProgressLine()
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mDone = true;
        }
        mWake.notify_all();
        mThread.join();
        std::fputs("\r\x1b[K", stderr);
    }

    void setWriting() { mWriting = true; }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mMutex);
        while (!mWake.wait_for(lock, std::chrono::milliseconds(200), [this] { return mDone; })) {
            std::fputs(qPrintable(QStringLiteral("\r\x1b[K") + text()), stderr);
            std::fflush(stderr);
        }
    }

    QString text() const
    {
        const ScanProgress& p = mProgress;
        const QString found = QStringLiteral("; %1 groups, %2 duplicates")
                                  .arg(p.groups.load())
                                  .arg(p.duplicates.load());
        if (mWriting)
            return QStringLiteral("writing") + found;
        if (!p.walkDone)
            return QStringLiteral("listing: %1 files, %2")
                       .arg(p.filesListed.load())
                       .arg(amount(p.bytesListed)) +
                   found;
        return QStringLiteral("comparing: %1 of %2 files, %3 of %4")
                   .arg(p.filesCompared.load())
                   .arg(p.filesToCompare.load())
                   .arg(amount(p.bytesCompared), amount(p.bytesToCompare)) +
               found;
    }

    const ScanProgress& mProgress;
    std::atomic<bool> mWriting{false};
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mDone = false;
    std::thread mThread;
};

int run(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption filterOption(QStringLiteral("filter"), QString(),
                                          QStringLiteral("PATTERNS"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    const QCommandLineOption outputOption(QStringLiteral("output"), QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(
        QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({filterOption, formatOption, outputOption, helpOption, versionOption});
    const ScanFlags scanFlags(parser);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    if (!parser.parse(arguments))
        return fail(kExitUsage, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (parser.isSet(versionOption)) {
        std::fputs("tarvik-scan " TARVIK_VERSION "\n", stdout);
        return kExitOk;
    }
    ScanOptions options;
    QString optionError;
    if (!scanFlags.read(parser, &options, &optionError))
        return fail(kExitUsage, optionError);
    ExportFormat format = ExportFormat::Text;
    const QString formatName = parser.value(formatOption);
    if (!exportFormatFromName(formatName, &format))
        return fail(kExitUsage,
                    QStringLiteral("unknown format '%1': use text, csv or json").arg(formatName));
    const QStringList folders = parser.positionalArguments();
    if (folders.isEmpty())
        return fail(kExitUsage, QStringLiteral("no folder given (see --help)"));
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (!info.exists())
            return fail(kExitBadFolder, QStringLiteral("no such folder: '%1'").arg(folder));
        if (!info.isDir())
            return fail(kExitBadFolder, QStringLiteral("not a folder: '%1'").arg(folder));
    }
    const QString output = parser.value(outputOption);
    const bool toFile = parser.isSet(outputOption) && output != QLatin1String("-");
    if (toFile) {
        // Before a long scan, not after it; the probe leaves nothing behind.
        QSaveFile probe(output);
        if (!probe.open(QIODevice::WriteOnly))
            return fail(kExitWriteFailed,
                        QStringLiteral("cannot write '%1': %2").arg(output, probe.errorString()));
        probe.cancelWriting();
    }

    ResultCollector collector;
    QHash<QString, DigestEntry> digests;
    ScanProgress progress;
    std::unique_ptr<ProgressLine> line;
    if (stderrIsTerminal())
        line = std::make_unique<ProgressLine>(progress);
    const StopCheck stop = [] { return stopped(); };
    {
        ScanEngine engine(
            stop,
            [&collector](const QUuid& groupId, const QString& firstPath, const QString& path) {
                collector.add(groupId, firstPath, path);
                return true;
            },
            &digests, &progress);
        scanFolders(folders, parser.value(filterOption), engine, stop, options);
    }
    if (stopped())
        return kExitSignalBase + gSignal.load();

    if (line)
        line->setWriting();
    const QVector<ExportedGroup> groups = collector.groups(digests);
    QString error;
    bool written = false;
    if (toFile) {
        written = saveResults(output, groups, format, &error, stop);
    } else {
        QFile out;
        written = out.open(stdout, QIODevice::WriteOnly) &&
                  writeResults(&out, groups, format, stop) && out.flush();
        error = out.errorString();
    }
    line.reset();
    // A stop that came once all was written changes nothing.
    if (written)
        return kExitOk;
    if (stopped())
        return kExitSignalBase + gSignal.load();
    return fail(
        kExitWriteFailed,
        QStringLiteral("cannot write '%1': %2").arg(toFile ? output : QStringLiteral("-"), error));
}

} // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvik-scan"));
    return run(QCoreApplication::arguments());
}
