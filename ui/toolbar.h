#pragma once

#include <QString>

class QFrame;
class QHBoxLayout;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace tarvik {

// The strip at the top of a page: 16 px around and between its items. The new frame is
// added to the page's layout and its own layout is handed back in toolBarLayout.
QFrame* addToolBar(QWidget* page, QVBoxLayout* pageLayout, QHBoxLayout*& toolBarLayout);

// An image-only tool button; its picture comes from the style sheet, by object name.
QToolButton* makeToolButton(QFrame* toolBar, const QString& objectName, const QString& toolTip);

// The folder dialog, opened where the user last chose a folder; remembers the one chosen.
// Empty when cancelled.
QString askForFolder(QWidget* parent, const QString& caption);

} // namespace tarvik
