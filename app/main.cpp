#include "app/failurereport.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/appdirs.h"
#include "core/registry.h"

#include <QApplication>
#include <QFontDatabase>

int main(int argc, char* argv[])
{
    return tarvik::reportingFailure("tarvik", -1, [&] {
        Q_INIT_RESOURCE(resource);

        QCoreApplication::setLibraryPaths(tarvik::pluginSearchPaths(
            QCoreApplication::libraryPaths(), tarvik::executableFolder(argc > 0 ? argv[0] : "")));

        QApplication app(argc, argv);
        app.setStyleSheet(tarvik::readTextFile(QStringLiteral(":/resource/style.css")));
        QFontDatabase::addApplicationFont(QStringLiteral(":/resource/fonts/entypo.ttf"));

        tarvik::createAppDirectories();
        tarvik::Registry::instance();

        tarvik::MainWindow window;
        window.show();
        return app.exec();
    });
}
