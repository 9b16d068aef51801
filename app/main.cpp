#include "app/commandline.h"
#include "app/failurereport.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/appdirs.h"
#include "core/registry.h"
#include "core/translators.h"

#include <QApplication>
#include <QFontDatabase>

int main(int argc, char* argv[])
{
    return tarvik::reportingFailure("tarvik", -1, [&] {
        Q_INIT_RESOURCE(resource);

        QCoreApplication::setLibraryPaths(tarvik::pluginSearchPaths(
            QCoreApplication::libraryPaths(), tarvik::executableFolder(argc > 0 ? argv[0] : "")));

        // Help and version need no display.
        QStringList raw;
        for (int i = 0; i < argc; ++i)
            raw << QString::fromLocal8Bit(argv[i]);
        const tarvik::CommandLine early = tarvik::parseCommandLine(raw);
        if (early.action == tarvik::CommandLine::Help ||
            early.action == tarvik::CommandLine::Version) {
            QCoreApplication text(argc, argv);
            tarvik::installTranslators(QLocale::system());
            return tarvik::answerWithoutWindow(early);
        }

        QApplication app(argc, argv);
        tarvik::installTranslators(QLocale::system());
        // Now without the toolkit's own options.
        const tarvik::CommandLine commandLine =
            tarvik::parseCommandLine(QCoreApplication::arguments());
        if (commandLine.action != tarvik::CommandLine::Open)
            return tarvik::answerWithoutWindow(commandLine);
        app.setStyleSheet(tarvik::readTextFile(QStringLiteral(":/resource/style.css")));
        QFontDatabase::addApplicationFont(QStringLiteral(":/resource/fonts/entypo.ttf"));

        tarvik::createAppDirectories();
        tarvik::Registry::instance();

        tarvik::MainWindow window;
        window.show();
        tarvik::openFromCommandLine(window, commandLine);
        return app.exec();
    });
}
