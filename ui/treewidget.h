#pragma once

#include <QSet>
#include <QTreeWidget>
#include <QVector>
#include <functional>
#include <memory>

class QKeyEvent;

namespace tarvik {

// The duplicate tree: a plain QTreeWidget that turns the keypad Enter key and the Delete key
// into signals, so the result page can treat them like its buttons.
//
// Qt lays the whole tree out again after any row added at the top level or under an expanded
// row, and after any row taken out; and each row taken out makes the model walk every expanded
// group. At a million rows either takes longer than the event loop may wait, so rows come and
// go here in ways whose cost grows with the rows changed: where Qt's own view items can be
// reached, rows appended at the end go into them directly, rows appended to an earlier
// expanded group are merged in one pass when the layout is released, rows taken out are
// dropped from them in one pass, and groups put in another order or left out are rearranged
// in place, in the model and in them. Those view items are Qt's private data: they are used
// only on the Qt version the program was built against, and never when the environment sets
// TARVIK_TREE_QT_LAYOUT; without them, many rows are taken out, and groups rearranged, by
// taking every group out at once and putting them back, with one layout by Qt.
class TreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    using GroupSet = QSet<const QTreeWidgetItem*>;

    explicit TreeWidget(QWidget* parent = nullptr);
    ~TreeWidget() override;

    // While held, a full relayout Qt asks for waits until releaseLayout(), or layoutNow()
    // after a row was taken out; the tree shows what it showed before until then.
    void holdLayout();
    void releaseLayout();
    void layoutNow();

    // Adds a top-level row shown expanded, with the children it already has.
    void appendExpanded(QTreeWidgetItem* item);

    // Takes these rows, children of top-level rows, out of the tree and deletes them. The
    // current row moves as Qt moves it when a row is taken out.
    void removeRows(const QVector<QTreeWidgetItem*>& rows);

    // Makes groups the top-level rows, in this order, in one removal and one insertion. Rows
    // that were top-level and are not among them are detached, not deleted: they are the
    // caller's. A group shows expanded unless collapsed holds it, and collapsed learns which of
    // the rows shown before were collapsed. The current row stays current where it still shows.
    void setTopLevelItems(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed);

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
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    // While held, once per pass of the event loop rather than once per row expanded.
    void updateGeometries() override;

private slots:
    void onRowsRemoved(const QModelIndex& parent, int start, int end);

private:
    // Up to this many rows go one by one, each a removal of its own.
    static constexpr int kFewRows = 4;

    // Takes every top-level row out, runs whileDetached, and puts groups back.
    void replaceTopLevel(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed,
                         const std::function<void()>& whileDetached);
    void noteCollapsed(GroupSet* collapsed) const;

    // The groups made the top-level rows in place, in treewidget_arrange.cpp; false, with
    // nothing changed, where it cannot.
    bool arrangeViewRows(const QVector<QTreeWidgetItem*>& groups, GroupSet* collapsed);
    void dropSpareRows();
    // The view items' part, in treewidget_viewitems.cpp.
    // The first view row that changed, INT_MAX for none yet, -1 where Qt must lay out.
    int appendViewRows(const QModelIndex& parent, int start, int end);
    // The model finds an item's row by a guess it keeps in the item, else by searching all its
    // siblings: after the top-level rows were put in another order, every guess is set right
    // here, or a pass over the groups would cost groups times groups. False where it cannot.
    bool noteTopLevelRows();
    // The view items say what the tree shows, and may be changed in place.
    bool viewItemsCurrent() const;
    bool removeViewRows(const QVector<QTreeWidgetItem*>& rows);
    int rowHeightShown() const;
    void showLateRows();
    void updateGeometriesLater(int changedRow);

    const bool mViewItems;
    bool mLayoutHeld = false;
    bool mLayoutOwed = false;
    bool mGeometriesOwed = false;
    bool mExpandAppended = false;
    // Rows are being taken out of the view items here, not by Qt.
    bool mPatching = false;
    // Groups appended now that stay collapsed.
    const GroupSet* mCollapsedOnAppend = nullptr;
    // The first view row that moved or appeared since the last update, INT_MAX for none; rows
    // added below what the viewport shows need no repaint.
    int mFirstChangedRow = -1;
    // Top-level rows that had children appended while they were not the last one.
    QSet<int> mLateRows;
    // The view items' buffer from before the last rearrangement, for the next one; dropped
    // when Qt lays the tree out anew.
    struct SpareRows;
    std::unique_ptr<SpareRows> mSpareRows;
};

} // namespace tarvik
