#include "ui/sortmenu.h"

#include "core/appsettings.h"

#include <QActionGroup>

namespace tarvik {

SortMenu::SortMenu(QWidget* parent) : QMenu(parent), mGroup(new QActionGroup(this))
{
    const struct
    {
        const char* name;
        QString text;
        GroupOrder order;
    } orders[] = {
        {"SortByFoundAction", tr("As Found"), GroupOrder::Found},
        {"SortByWasteAction", tr("Most Space Wasted First"), GroupOrder::Waste},
        {"SortBySizeAction", tr("Largest Files First"), GroupOrder::Size},
        {"SortByCopiesAction", tr("Most Copies First"), GroupOrder::Copies},
        {"SortByPathAction", tr("By Path, A to Z"), GroupOrder::Path},
    };
    const QString remembered = AppSettings::resultOrder();
    mGroup->setExclusive(true);
    for (const auto& order : orders) {
        QAction* action = addAction(order.text);
        action->setObjectName(QLatin1String(order.name));
        action->setData(int(order.order));
        action->setCheckable(true);
        action->setChecked(order.order == GroupOrder::Found ||
                           remembered == QLatin1String(order.name));
        mGroup->addAction(action);
    }
    connect(mGroup, &QActionGroup::triggered, this, &SortMenu::choose);
}

GroupOrder SortMenu::order() const
{
    QAction* checked = mGroup->checkedAction();
    return checked ? GroupOrder(checked->data().toInt()) : GroupOrder::Found;
}

void SortMenu::choose(QAction* action)
{
    AppSettings::setResultOrder(action->objectName());
    emit orderChosen();
}

} // namespace tarvik
