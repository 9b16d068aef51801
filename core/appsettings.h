#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace tarvik {

// What the application remembers between runs, kept in Registry::instance() under "global".
// A store that cannot be read or written only means that the defaults are used.
namespace AppSettings {

// The options of a search as the new search page shows them, sizes as the user typed them.
struct OptionTexts
{
    QString minSize;
    QString maxSize;
    QString exclude;
    bool hidden = false;
    bool cache = true;
};

// The folders of the last search started that still exist, its filter and its options.
QStringList lastFolders();
QString lastFilter();
OptionTexts lastOptions();
void setLastSearch(const QStringList& folders, const QString& filter,
                   const OptionTexts& options = OptionTexts());

// Where the folder dialog opens: the folder the user last chose one in, else the home folder.
QString dialogFolder();
void setChosenFolder(const QString& folder);

// An invalid rectangle until the user has moved or resized the window.
QRect windowGeometry();
void setWindowGeometry(const QRect& geometry);

// The object name of the result page's sort order last chosen; empty for none.
QString resultOrder();
void setResultOrder(const QString& name);

// Where Save Results opens: the folder last saved to, else the home folder.
QString saveFolder();
void setSaveFolder(const QString& folder);

// The widths of the result tree's columns the user set, empty for none.
QList<int> resultColumnWidths();
void setResultColumnWidths(const QList<int>& widths);

} // namespace AppSettings

} // namespace tarvik
