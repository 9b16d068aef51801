#pragma once

#include <QString>
#include <QStringList>

namespace tarvik {

class MainWindow;

// What the window's command line asks for: folders to search, or only a text to print.
struct CommandLine
{
    enum Action { Open, Help, Version, Bad };
    Action action = Open;
    // Made absolute against the current folder, as the shell meant them.
    QStringList folders;
    bool scan = false;
    // One line, for Bad.
    QString error;
};

// arguments: the program's, its name first.
CommandLine parseCommandLine(const QStringList& arguments);

// The help or version text, or the error of a bad command line, with its exit code; -1 when
// the command line asks for the window. Needs no display.
int answerWithoutWindow(const CommandLine& commandLine);

// "tarvik 1.2.3" for program "tarvik": the project's version.
QString versionLine(const QString& program);

// Opens the folders given on the new search page, starting the scan with --scan; folders that
// do not exist are named in a message box and left out. Nothing at all given: nothing changes.
void openFromCommandLine(MainWindow& window, const CommandLine& commandLine);

} // namespace tarvik
