#pragma once

#include <QMenu>

namespace tarvik {

// Placeholder until the project has a home page of its own.
extern const char* const kVendorWebSite;

// The application menu popped up by the pages' menu buttons.
class ToolMenu : public QMenu
{
    Q_OBJECT

public:
    explicit ToolMenu(QWidget* parent = nullptr);

public slots:
    void onOpenAbount();
    void onExit();
};

} // namespace tarvik
