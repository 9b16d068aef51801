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

signals:
    void enterPress();
    void deletePress();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tarvik
