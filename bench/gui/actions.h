#pragma once

// What a user does with a finished result page, timed: Trash Marked after a marking rule, the
// marking rules, the per-row Delete, each sort order, the path filter. Reaches the page only
// through its widgets' object names (and its slot "arrange" for a filter without the pause in
// typing), so that the same program builds against an older page and says what it lacks.

#include <QStringList>

class QWidget;

namespace tarvik {
class TreeWidget;
}

// Marks all but the oldest of each group, presses Trash Marked, accepts, and waits for the
// summary; prints the time from the acceptance to the summary and the event-loop gaps.
bool benchTrashMarked(QWidget* page, tarvik::TreeWidget* tree);

// Deletes count files, one row at a time with the Delete key, spread over the tree; prints the
// longest and the median time of one.
void benchDelete(QWidget* page, tarvik::TreeWidget* tree, int count, const char* when);

// "Mark All but the Oldest", then "Clear Marks", rounds times: the time of each with the events
// after it, and the medians.
void benchMarks(QWidget* page, int rounds);

// Each sort order, then back to the order found (when sort); and each filter text, then none;
// rounds times, with the medians at the end.
void benchSortAndFilter(QWidget* page, tarvik::TreeWidget* tree, bool sort,
                        const QStringList& filters, int rounds);
