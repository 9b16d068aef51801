#pragma once

#include <QTreeWidget>

class QKeyEvent;

namespace tarvik {

// The duplicate tree: a plain QTreeWidget that turns the keypad Enter key and the Delete key
// into signals, so the result page can treat them like its buttons.
class TreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit TreeWidget(QWidget* parent = nullptr);

    // Qt lays the whole tree out again after any row added at the top level, which at a million
    // rows takes longer than adding them. While held, rows go in without that; the tree shows
    // what it showed before until releaseLayout(), or layoutNow() after a row was taken out.
    void holdLayout();
    void releaseLayout();
    void layoutNow();

    void doItemsLayout() override;

signals:
    void enterPress();
    void deletePress();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool mLayoutHeld = false;
    bool mLayoutOwed = false;
};

} // namespace tarvik
