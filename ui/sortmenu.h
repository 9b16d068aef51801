#pragma once

#include "ui/grouparranger.h"

#include <QMenu>

class QActionGroup;

namespace tarvik {

// The Sort button's menu: one checked order of the groups at a time, remembered between runs.
class SortMenu : public QMenu
{
    Q_OBJECT

public:
    explicit SortMenu(QWidget* parent);

    GroupOrder order() const;

signals:
    void orderChosen();

private slots:
    void choose(QAction* action);

private:
    QActionGroup* mGroup;
};

} // namespace tarvik
