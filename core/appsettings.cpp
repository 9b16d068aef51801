#include "core/appsettings.h"

#include "core/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace tarvik::AppSettings {

namespace {

const QString kPath = QStringLiteral("global");

Registry* store()
{
    return Registry::instance();
}

} // namespace

QStringList lastFolders()
{
    // One JSON array: any character a folder name may hold survives, a newline included.
    const QJsonDocument doc = QJsonDocument::fromJson(
        store()->getValue(kPath, QStringLiteral("lastFolders"), "").toUtf8());
    QStringList folders;
    for (const QJsonValue& value : doc.array()) {
        const QString folder = value.toString();
        // Folders that have gone since would only make the next scan find nothing there.
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}

QString lastFilter()
{
    return store()->getValue(kPath, QStringLiteral("lastFilter"), "");
}

OptionTexts lastOptions()
{
    OptionTexts options;
    options.minSize = store()->getValue(kPath, QStringLiteral("lastMinSize"), "");
    options.maxSize = store()->getValue(kPath, QStringLiteral("lastMaxSize"), "");
    options.exclude = store()->getValue(kPath, QStringLiteral("lastExclude"), "");
    options.hidden = store()->getValue(kPath, QStringLiteral("lastHidden"), false);
    options.cache = store()->getValue(kPath, QStringLiteral("lastCache"), true);
    return options;
}

void setLastSearch(const QStringList& folders, const QString& filter, const OptionTexts& options)
{
    const QJsonDocument doc(QJsonArray::fromStringList(folders));
    store()->setValue(kPath, QStringLiteral("lastFolders"),
                      QString::fromUtf8(doc.toJson(QJsonDocument::Compact)));
    store()->setValue(kPath, QStringLiteral("lastFilter"), filter);
    store()->setValue(kPath, QStringLiteral("lastMinSize"), options.minSize);
    store()->setValue(kPath, QStringLiteral("lastMaxSize"), options.maxSize);
    store()->setValue(kPath, QStringLiteral("lastExclude"), options.exclude);
    store()->setValue(kPath, QStringLiteral("lastHidden"), options.hidden);
    store()->setValue(kPath, QStringLiteral("lastCache"), options.cache);
}

QString dialogFolder()
{
    const QString folder = store()->getValue(kPath, QStringLiteral("dialogFolder"), "");
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

void setChosenFolder(const QString& folder)
{
    // The dialog opens beside the folder chosen, where its siblings are.
    QDir parent(QFileInfo(folder).absoluteFilePath());
    if (!parent.cdUp())
        parent.setPath(folder);
    store()->setValue(kPath, QStringLiteral("dialogFolder"), parent.absolutePath());
}

QRect windowGeometry()
{
    const int width = store()->getValue(kPath, QStringLiteral("windowWidth"), 0);
    const int height = store()->getValue(kPath, QStringLiteral("windowHeight"), 0);
    if (width <= 0 || height <= 0)
        return QRect();
    return QRect(store()->getValue(kPath, QStringLiteral("windowX"), 0),
                 store()->getValue(kPath, QStringLiteral("windowY"), 0), width, height);
}

void setWindowGeometry(const QRect& geometry)
{
    store()->setValue(kPath, QStringLiteral("windowX"), geometry.x());
    store()->setValue(kPath, QStringLiteral("windowY"), geometry.y());
    store()->setValue(kPath, QStringLiteral("windowWidth"), geometry.width());
    store()->setValue(kPath, QStringLiteral("windowHeight"), geometry.height());
}

QString resultOrder()
{
    return store()->getValue(kPath, QStringLiteral("resultOrder"), "");
}

void setResultOrder(const QString& name)
{
    store()->setValue(kPath, QStringLiteral("resultOrder"), name);
}

QString saveFolder()
{
    const QString folder = store()->getValue(kPath, QStringLiteral("saveFolder"), "");
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

void setSaveFolder(const QString& folder)
{
    store()->setValue(kPath, QStringLiteral("saveFolder"), folder);
}

QList<int> resultColumnWidths()
{
    QList<int> widths;
    const QString text = store()->getValue(kPath, QStringLiteral("resultColumnWidths"), "");
    for (const QString& width : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = width.toInt(&ok);
        if (!ok || value <= 0)
            return {};
        widths.append(value);
    }
    return widths;
}

void setResultColumnWidths(const QList<int>& widths)
{
    QStringList text;
    for (int width : widths)
        text.append(QString::number(width));
    store()->setValue(kPath, QStringLiteral("resultColumnWidths"), text.join(QLatin1Char(',')));
}

} // namespace tarvik::AppSettings
