#include "app/commandline.h"

#include "app/mainwindow.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>

namespace tarvik {

namespace {

QString helpText()
{
    return QCoreApplication::translate(
        "tarvik::CommandLine",
        "Usage: tarvik [--scan] [FOLDER...]\n"
        "\n"
        "Finds the files with identical content below the folders you choose, in a "
        "window.\n"
        "\n"
        "  FOLDER...      start on the new search page with these folders instead of\n"
        "                 the remembered ones; a folder that does not exist is named\n"
        "                 and left out\n"
        "  --scan         start scanning the folders at once\n"
        "  -h, --help     show this help\n"
        "  -v, --version  show the version\n"
        "\n"
        "Without a folder the window opens on its first page, offering the last search.\n"
        "Size limits, exclusions and hidden files are options of the new search page;\n"
        "tarvik-scan scans without a window and takes them as flags (tarvik-scan "
        "--help).\n");
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption scan(QStringLiteral("scan"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({scan, help, version});
    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = CommandLine::Bad;
        line.error = parser.errorText();
        return line;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        line.action = parser.isSet(help) ? CommandLine::Help : CommandLine::Version;
        return line;
    }
    line.scan = parser.isSet(scan);
    for (const QString& folder : parser.positionalArguments())
        line.folders << QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (line.scan && line.folders.isEmpty()) {
        line.action = CommandLine::Bad;
        line.error = QCoreApplication::translate("tarvik::CommandLine", "--scan needs a folder");
    }
    return line;
}

QString versionLine(const QString& program)
{
    return program + QLatin1Char(' ') + QStringLiteral(TARVIK_VERSION);
}

int answerWithoutWindow(const CommandLine& commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Open:
        return -1;
    case CommandLine::Help:
        std::fputs(qPrintable(helpText()), stdout);
        return 0;
    case CommandLine::Version:
        std::fputs(qPrintable(versionLine(QStringLiteral("tarvik")) + QLatin1Char('\n')), stdout);
        return 0;
    case CommandLine::Bad:
        break;
    }
    std::fputs(qPrintable(QStringLiteral("tarvik: ") + commandLine.error + QLatin1Char('\n')),
               stderr);
    return 2;
}

void openFromCommandLine(MainWindow& window, const CommandLine& commandLine)
{
    QStringList folders, missing;
    for (const QString& folder : commandLine.folders)
        (QFileInfo(folder).isDir() ? folders : missing) << folder;
    if (!missing.isEmpty())
        QMessageBox::warning(&window, window.windowTitle(),
                             QCoreApplication::translate(
                                 "tarvik::CommandLine",
                                 "Left out, as no such folder exists:", nullptr, missing.size()) +
                                 QLatin1Char('\n') + missing.join(QLatin1Char('\n')));
    if (!folders.isEmpty())
        window.openFolders(folders, commandLine.scan);
}

} // namespace tarvik
