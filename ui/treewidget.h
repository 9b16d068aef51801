#pragma once

#include <QSet>
#include <QTreeWidget>

class QKeyEvent;

namespace tarvik {

// The duplicate tree: a plain QTreeWidget that turns the keypad Enter key and the Delete key
// into signals, so the result page can treat them like its buttons.
//
// Qt lays the whole tree out again after any row added at the top level or under an expanded
// row, which at a million rows takes longer than the event loop may wait. Where Qt's own
// view items can be reached, rows appended at the end go into them directly, and rows appended
// to an earlier expanded group are merged in one pass when the layout is released. Those view
// items are Qt's private data: they are used only on the Qt version the program was built
// against, and never when the environment sets TARVIK_TREE_QT_LAYOUT.
class TreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    explicit TreeWidget(QWidget* parent = nullptr);

    // While held, a full relayout Qt asks for waits until releaseLayout(), or layoutNow()
    // after a row was taken out; the tree shows what it showed before until then.
    void holdLayout();
    void releaseLayout();
    void layoutNow();

    // Adds a top-level row shown expanded, with the children it already has.
    void appendExpanded(QTreeWidgetItem* item);

    void doItemsLayout() override;

    bool usesViewItems() const { return mViewItems; }
    // Whether a build with the view items may use them with the Qt of that version.
    static bool viewItemsFit(const char* qtVersion);

signals:
    void enterPress();
    void deletePress();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    // While held, once per pass of the event loop rather than once per row expanded.
    void updateGeometries() override;

private:
    // The first view row that changed, INT_MAX for none yet, -1 where Qt must lay out.
    int appendViewRows(const QModelIndex& parent, int start, int end);
    int rowHeightShown() const;
    void showLateRows();
    void updateGeometriesLater(int changedRow);

    const bool mViewItems;
    bool mLayoutHeld = false;
    bool mLayoutOwed = false;
    bool mGeometriesOwed = false;
    bool mExpandAppended = false;
    // The first view row that moved or appeared since the last update, INT_MAX for none; rows
    // added below what the viewport shows need no repaint.
    int mFirstChangedRow = -1;
    // Top-level rows that had children appended while they were not the last one.
    QSet<int> mLateRows;
};

} // namespace tarvik
