// tarvik-scan: the scan of the window without the window, for scripts and terminals.

#include "app/failurereport.h"
#include "app/scanflags.h"
#include "core/translators.h"
#include "scan/folderwalk.h"
#include "scan/outputtarget.h"
#include "scan/resultcollector.h"
#include "scan/resultexport.h"
#include "scan/scancache.h"
#include "scan/scanengine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

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
    kExitFailed = 4,
    kExitSignalBase = 128,
};

// The command's texts, for translators.
struct ScanCommand
{
    Q_DECLARE_TR_FUNCTIONS(tarvik::ScanCommand)
};

QString helpText()
{
    return ScanCommand::tr(
        "Usage: tarvik-scan [--filter PATTERNS] [--min-size SIZE] [--max-size SIZE]\n"
        "                   [--exclude PATTERNS]... [--hidden] [--format text|csv|json]\n"
        "                   [--output FILE] [--no-cache] FOLDER...\n"
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
        "                     json: {\"groups\": [{number, md5, size, files: [{path, "
        "modified}]}]}\n"
        "  --output FILE      write to FILE (default: standard output; '-' is standard output\n"
        "                       too). A file is replaced only once complete, and a link to one\n"
        "                       stays a link; a device or named pipe is written into, never\n"
        "                       replaced; a folder, a link to nothing and a disk are refused\n"
        "  --no-cache         neither read nor keep the digest cache that makes a rescan of\n"
        "                       unchanged files fast (kept with the window's, in\n"
        "                       ~/.local/share/tarvik/Cache)\n"
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
        "  4    the scan or the writing failed for another reason, such as memory running out\n"
        "  130  stopped by Ctrl-C (SIGINT), 143 stopped by SIGTERM; FILE was left as it was\n");
}

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

// What the command line asks for.
struct Options
{
    QStringList folders;
    QString filter;
    ExportFormat format = ExportFormat::Text;
    QString output = QStringLiteral("-");
    ScanOptions shape;
};

// Fills options from the command line. Otherwise the exit code, its message written.
std::optional<int> parseOptions(const QStringList& arguments, Options* options)
{
    QCommandLineParser parser;
    const QCommandLineOption filterOption(QStringLiteral("filter"), QString(),
                                          QStringLiteral("PATTERNS"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(),
                                          QStringLiteral("FORMAT"), QStringLiteral("text"));
    const QCommandLineOption outputOption(QStringLiteral("output"), QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption noCacheOption(QStringLiteral("no-cache"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(
        QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions(
        {filterOption, formatOption, outputOption, noCacheOption, helpOption, versionOption});
    const ScanFlags scanFlags(parser);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    if (!parser.parse(arguments))
        return fail(kExitUsage, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(helpText()), stdout);
        return kExitOk;
    }
    if (parser.isSet(versionOption)) {
        std::fputs("tarvik-scan " TARVIK_VERSION "\n", stdout);
        return kExitOk;
    }
    QString shapeError;
    if (!scanFlags.read(parser, &options->shape, &shapeError))
        return fail(kExitUsage, shapeError);
    const QString formatName = parser.value(formatOption);
    if (!exportFormatFromName(formatName, &options->format))
        return fail(kExitUsage,
                    ScanCommand::tr("unknown format '%1': use text, csv or json").arg(formatName));
    options->folders = parser.positionalArguments();
    if (options->folders.isEmpty())
        return fail(kExitUsage, ScanCommand::tr("no folder given (see --help)"));
    for (const QString& folder : qAsConst(options->folders)) {
        const QFileInfo info(folder);
        if (!info.exists())
            return fail(kExitBadFolder, ScanCommand::tr("no such folder: '%1'").arg(folder));
        if (!info.isDir())
            return fail(kExitBadFolder, ScanCommand::tr("not a folder: '%1'").arg(folder));
    }
    options->filter = parser.value(filterOption);
    options->shape.useCache = !parser.isSet(noCacheOption);
    if (parser.isSet(outputOption))
        options->output = parser.value(outputOption);
    return std::nullopt;
}

// The scan and the writing of its groups, run on a thread of their own while the main thread
// shows the progress.
struct ScanJob
{
    explicit ScanJob(const Options& given) : options(given) {}

    const Options& options;
    ScanProgress progress;
    std::atomic<bool> writing{false};
    QString cacheWarning;
    bool written = false;
    QString error;
    std::exception_ptr failure;

    void run()
    {
        try {
            const StopCheck stop = [] { return stopped(); };
            ResultCollector collector;
            std::unique_ptr<ScanCache> cache;
            if (options.shape.useCache) {
                // The window's cache: both programs rescan what either has read.
                cache = std::make_unique<ScanCache>(
                    QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/tarvik/Cache"));
                cache->open();
            }
            {
                ScanEngine engine(
                    stop,
                    [&collector](const QUuid& groupId, const QString& firstPath,
                                 const QString& path) {
                        collector.add(groupId, firstPath, path);
                        return true;
                    },
                    [&collector](const QUuid& groupId, const QByteArray& md5) {
                        collector.addDigest(groupId, md5);
                    },
                    &progress);
                engine.setCache(cache.get());
                scanFolders(options.folders, options.filter, engine, stop, options.shape);
            }
            if (stopped())
                return;
            if (cache) {
                cache->save();
                cacheWarning = cache->warning();
                // Its records would only stay beside the results while they are written.
                cache.reset();
            }
            collector.finish();
            writing = true;
            written = saveResults(options.output, collector, options.format, &error, stop);
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

// One line on a terminal's standard error, rewritten a few times a second.
class ProgressLine
{
public:
    explicit ProgressLine(const ScanJob& job) : mJob(job)
    {
        QObject::connect(&mTimer, &QTimer::timeout, &mTimer, [this] {
            std::fputs(qPrintable(QStringLiteral("\r\x1b[K") + text()), stderr);
            std::fflush(stderr);
        });
        mTimer.start(200);
    }

    ~ProgressLine() { std::fputs("\r\x1b[K", stderr); }

private:
    QString text() const
    {
        const ScanProgress& p = mJob.progress;
        const QString found =
            ScanCommand::tr("; %n group(s)", nullptr, int(p.groups.load())) +
            ScanCommand::tr(", %n duplicate(s)", nullptr, int(p.duplicates.load()));
        if (mJob.writing)
            return ScanCommand::tr("writing") + found;
        if (!p.walkDone)
            return ScanCommand::tr("listing: %n file(s), %1", nullptr, int(p.filesListed.load()))
                       .arg(amount(p.bytesListed)) +
                   found;
        return ScanCommand::tr("comparing: %1 of %n file(s), %2 of %3", nullptr,
                               int(p.filesToCompare.load()))
                   .arg(p.filesCompared.load())
                   .arg(amount(p.bytesCompared), amount(p.bytesToCompare)) +
               found;
    }

    const ScanJob& mJob;
    QTimer mTimer;
};

int run(const QStringList& arguments)
{
    Options options;
    if (const std::optional<int> code = parseOptions(arguments, &options))
        return *code;
    // Before a long scan, not after it.
    QString error;
    if (!checkOutput(options.output, &error))
        return fail(kExitWriteFailed,
                    ScanCommand::tr("cannot write '%1': %2").arg(options.output, error));

    ScanJob job(options);
    const std::unique_ptr<QThread> thread(QThread::create([&job] { job.run(); }));
    QObject::connect(thread.get(), &QThread::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    std::unique_ptr<ProgressLine> line;
    if (stderrIsTerminal())
        line = std::make_unique<ProgressLine>(job);
    thread->start();
    if (!thread->isRunning() && !thread->isFinished())
        return fail(kExitFailed, ScanCommand::tr("cannot start the scan's thread"));
    QCoreApplication::exec();
    thread->wait();
    line.reset();
    if (!job.cacheWarning.isEmpty())
        fail(kExitOk, ScanCommand::tr("warning: %1").arg(job.cacheWarning));

    if (job.failure)
        std::rethrow_exception(job.failure);
    // A stop that came once all was written changes nothing.
    if (job.written)
        return kExitOk;
    if (stopped())
        return kExitSignalBase + gSignal.load();
    return fail(kExitWriteFailed,
                ScanCommand::tr("cannot write '%1': %2").arg(options.output, job.error));
}

} // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    return tarvik::reportingFailure("tarvik-scan", kExitFailed, [&] {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("tarvik-scan"));
        installTranslators(QLocale::system());
        return run(QCoreApplication::arguments());
    });
}
