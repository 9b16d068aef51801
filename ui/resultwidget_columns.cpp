// The result tree's columns: their first widths, and the user's, remembered.

#include "core/appsettings.h"
#include "ui/pathdelegate.h"
#include "ui/resultwidget.h"
#include "ui/treewidget.h"

#include <QHeaderView>
#include <QTimer>

namespace tarvik {

namespace {

// Columns but the last, which takes the rest: sized so that at the window's first width of
// 480 px the path shows too.
constexpr int kColumnWidths[] = {160, 76, 92};

} // namespace

void ResultWidget::setUpColumns()
{
    // A long path keeps both ends, where what tells copies apart usually is.
    mTreeWidget->setItemDelegateForColumn(3, new MiddleElideDelegate(mTreeWidget));
    QHeaderView* header = mTreeWidget->header();
    header->setStretchLastSection(true);
    const QList<int> remembered = AppSettings::resultColumnWidths();
    const int count = int(sizeof(kColumnWidths) / sizeof(kColumnWidths[0]));
    for (int c = 0; c < count; ++c)
        mTreeWidget->setColumnWidth(c, remembered.size() == count ? remembered.at(c)
                                                                  : kColumnWidths[c]);
    mColumnsTimer = new QTimer(this);
    mColumnsTimer->setSingleShot(true);
    mColumnsTimer->setInterval(500);
    connect(mColumnsTimer, SIGNAL(timeout()), this, SLOT(saveColumnWidths()));
    // Nothing here sizes them after this: a change is the user's. The last one follows the
    // window.
    connect(header, &QHeaderView::sectionResized, this, [this, count](int column) {
        if (column < count)
            mColumnsTimer->start();
    });
}

void ResultWidget::saveColumnWidths()
{
    QList<int> widths;
    for (int c = 0; c < int(sizeof(kColumnWidths) / sizeof(kColumnWidths[0])); ++c)
        widths.append(mTreeWidget->columnWidth(c));
    AppSettings::setResultColumnWidths(widths);
}

} // namespace tarvik
